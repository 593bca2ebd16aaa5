#include "Host/gui/MainWindow.h"

#include "Host/Host.h"
#include "Host/HostObjects.h"
#include "Host/gui/CallbookModel.h"
#include "Platform/FormsQt/FormsQt.h"
#include "Platform/FormsQt/QtWidgets.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QHeaderView>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QUrl>
#include <QVBoxLayout>

#include <iostream>
#include <map>

namespace {

constexpr int LogTailLines = 500;

// Where a plug-in's command goes, by the kind it reports.
QString MenuOfKind(std::int32_t kind)
{
    switch (kind) {
    case 0:
        return QStringLiteral("&Export");
    case 1:
        return QStringLiteral("&Logbook");
    case 2:
        return QStringLiteral("&Import");
    default:
        return QStringLiteral("&Plug-ins");
    }
}

void Print(const QString& text)
{
    std::cout << text.toStdString() << std::endl;
}

} // namespace

TMainWindow::TMainWindow(const std::filesystem::path& profile) : profile_(profile)
{
    setWindowTitle(QStringLiteral("hamhost - ") + QString::fromStdString(profile.string()));
    setWindowIcon(QIcon(Forms::Gui::LogoPicture(64)));
    resize(900, 600);

    auto* splitter = new QSplitter(Qt::Vertical, this);
    auto* top = new QWidget(splitter);
    auto* topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(4, 4, 4, 0);
    callbookTitle_ = new QLabel(top);
    QFont bold = callbookTitle_->font();
    bold.setBold(true);
    callbookTitle_->setFont(bold);
    table_ = new QTableView(top);
    table_->setObjectName(QStringLiteral("callbook"));
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
    topLayout->addWidget(callbookTitle_);
    topLayout->addWidget(table_, 1);

    auto* bottom = new QWidget(splitter);
    auto* bottomLayout = new QVBoxLayout(bottom);
    bottomLayout->setContentsMargins(4, 0, 4, 4);
    auto* logTitle = new QLabel(QStringLiteral("Host log"), bottom);
    logTitle->setFont(bold);
    log_ = new QPlainTextEdit(bottom);
    log_->setObjectName(QStringLiteral("hostLog"));
    log_->setReadOnly(true);
    log_->setLineWrapMode(QPlainTextEdit::NoWrap);
    log_->setUndoRedoEnabled(false);
    log_->setMaximumBlockCount(20000);
    bottomLayout->addWidget(logTitle);
    bottomLayout->addWidget(log_, 1);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    setCentralWidget(splitter);

    auto* file = menuBar()->addMenu(QStringLiteral("&File"));
    file->addAction(QStringLiteral("&Reload callbook"), this, [this] { ReloadCallbook(); });
    openErrors_ =
        file->addAction(QStringLiteral("Open &error file of the last run"), this, [this] { OpenErrorFiles(); });
    openErrors_->setEnabled(false);
    file->addSeparator();
    file->addAction(QStringLiteral("E&xit"), this, [this] { close(); });
    statusBar()->showMessage(QStringLiteral("Profile: ") + QString::fromStdString(profile.string()));
    LoadLogTail();
}

std::uint32_t TMainWindow::Handle()
{
    // The native window's id; the property lets plug-in dialogs find us.
    std::uint32_t handle = static_cast<std::uint32_t>(winId());
    if (handle == 0) handle = 1;
    setProperty(Forms::HostHandleProperty, QVariant::fromValue<qulonglong>(handle));
    return handle;
}

void TMainWindow::Attach(THost& host)
{
    host_ = &host;
    callbook_ = new TCallbookModel(host.Connection(), this);
    table_->setModel(callbook_);
    ReloadCallbook();

    std::map<QString, QMenu*> menus;
    for (const TMenuCommand& command : host.Menu()) {
        const QString menuName = MenuOfKind(command.Item->Kind);
        QMenu*& menu = menus[menuName];
        if (!menu) menu = menuBar()->addMenu(menuName);
        const QString caption = QString::fromStdString(command.Item->Caption);
        QAction* action = menu->addAction(caption, this, [this, caption] { RunCommand(caption); });
        action->setStatusTip(QString::fromStdString(command.Item->Hint));
        action->setEnabled(command.Item->Enabled);
        if (Script.Active)
            Print(QStringLiteral("Menu: ") + QString(menuName).remove(u'&') + QStringLiteral(" > ") + caption);
    }
    if (menus.empty()) menuBar()->addMenu(QStringLiteral("&Plug-ins"))->setEnabled(false);
}

int TMainWindow::RunCommand(const QString& caption)
{
    if (!host_) return -1;
    try {
        const int result = host_->Run(caption.toStdString());
        // Where the run's refused records went: in the log pane, and openable
        // from the File menu.
        errorFiles_ = host_->LastRunErrorFiles();
        openErrors_->setEnabled(!errorFiles_.empty());
        for (const fs::path& file : errorFiles_) {
            const QString url = QUrl::fromLocalFile(QString::fromStdString(file.string())).toString();
            log_->appendPlainText(QStringLiteral("Errors of this run: ") + url);
            if (Script.Active) Print(QStringLiteral("Error file: ") + url);
        }
        return result;
    } catch (const std::exception& error) {
        Message("hamhost", error.what());
        return -1;
    }
}

void TMainWindow::OpenErrorFiles()
{
    for (const fs::path& file : errorFiles_)
        QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

void TMainWindow::ReloadCallbook()
{
    if (!callbook_) return;
    callbook_->Reload();
    callbookTitle_->setText(QStringLiteral("Callbook: %1 stations").arg(callbook_->TotalRows()));
}

int TMainWindow::CallbookRows()
{
    if (!callbook_) return 0;
    while (callbook_->canFetchMore({}))
        callbook_->fetchMore({});
    return callbook_->rowCount();
}

void TMainWindow::LoadLogTail()
{
    QFile file(QString::fromStdString((profile_ / "host.log").string()));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    if (lines.size() > LogTailLines) lines = lines.mid(lines.size() - LogTailLines);
    log_->setPlainText(lines.join(u'\n'));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void TMainWindow::AppendLog(const std::string& line)
{
    log_->appendPlainText(QString::fromStdString(line));
    log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void TMainWindow::Command(const std::string& name, const std::string&)
{
    if (name == "REFRESH") {
        ++refreshes_;
        ReloadCallbook();
    }
}

void TMainWindow::Modal(bool begin)
{
    modalDepth_ += begin ? 1 : -1;
    if (modalDepth_ < 0) modalDepth_ = 0;
    // The main window waits while a plug-in's dialog is up.
    setEnabled(modalDepth_ == 0);
}

void TMainWindow::Message(const std::string& caption, const std::string& text)
{
    if (Script.Active) {
        std::cerr << caption << ": " << text << std::endl;
        return;
    }
    QWidget* parent = QApplication::activeModalWidget();
    QMessageBox::information(parent ? parent : this, QString::fromStdString(caption), QString::fromStdString(text));
}

QString TMainWindow::dialogShown(QWidget* dialog)
{
    if (!Script.Active) return {};
    Print(QStringLiteral("Dialog: ") + dialog->windowTitle());
    Print(QStringLiteral("Client size: %1x%2").arg(dialog->width()).arg(dialog->height()));
    const QPoint offset = dialog->frameGeometry().center() - frameGeometry().center();
    Print(QStringLiteral("Centre offset: %1,%2").arg(offset.x()).arg(offset.y()));
    Print(QStringLiteral("Owner: %1, %2")
              .arg(dialog->parentWidget() == this ? QStringLiteral("main window") : QStringLiteral("none"))
              .arg(isEnabled() ? QStringLiteral("enabled") : QStringLiteral("disabled")));
    // The highest value the bar shows during the run (a run may end by resetting it).
    progressPeak_ = -1;
    if (auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("psProgress"))) {
        progressPeak_ = bar->value();
        connect(bar, &QProgressBar::valueChanged, this,
                [this](int value) { progressPeak_ = std::max(progressPeak_, value); });
    }
    if (!Script.Screenshot.isEmpty()) {
        if (!dialog->grab().save(Script.Screenshot))
            std::cerr << "hamhost-gui: cannot write " << Script.Screenshot.toStdString() << std::endl;
    }
    return Script.Actions;
}

void TMainWindow::dialogClosing(QWidget* dialog)
{
    if (!Script.Active) return;
    if (auto* bar = dialog->findChild<QProgressBar*>(QStringLiteral("psProgress")))
        Print(QStringLiteral("Progress: %1 (highest %2)").arg(bar->value()).arg(progressPeak_));
    if (auto* memo = dialog->findChild<QPlainTextEdit*>(QStringLiteral("mProgress")))
        for (const QString& line : memo->toPlainText().split(u'\n', Qt::SkipEmptyParts))
            Print(QStringLiteral("Memo: ") + line);
    if (!Script.FinalScreenshot.isEmpty()) {
        if (!dialog->grab().save(Script.FinalScreenshot))
            std::cerr << "hamhost-gui: cannot write " << Script.FinalScreenshot.toStdString() << std::endl;
    }
}
