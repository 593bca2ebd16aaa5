// The graphical driver in process on Qt's offscreen platform: widgets follow
// the models, what a person does goes through the models, scripts play the
// user, and the host window owns the dialog.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "Platform/Forms/Forms.h"
#include "Platform/FormsQt/FormsQt.h"

using namespace Forms;

namespace {

class TQtEnvironment : public testing::Environment {
public:
    void SetUp() override
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "FormsQtTest";
        static char* argv[] = {name, nullptr};
        app_ = new QApplication(argc, argv);
    }
    void TearDown() override { delete app_; }

private:
    QApplication* app_ = nullptr;
};

const auto* const environment = testing::AddGlobalTestEnvironment(new TQtEnvironment);

} // namespace

// The host's window: answers the driver's two calls through test code.
class THostWindow : public QWidget {
    Q_OBJECT
public:
    std::function<QString(QWidget*)> Shown;
    std::function<void(QWidget*)> Closing;
    Q_INVOKABLE QString dialogShown(QWidget* dialog) { return Shown ? Shown(dialog) : QString(); }
    Q_INVOKABLE void dialogClosing(QWidget* dialog)
    {
        if (Closing) Closing(dialog);
    }
};

namespace {

class TTestForm : public TForm {
public:
    TLabel lbSource{*this, "lbSource", "Source data"};
    TButtonEdit edSource{*this, "edSource"};
    TEdit edRefDB{*this, "edRefDB"};
    TComboBox cbMode{*this, "cbMode"};
    TRadioGroup rgLocation{*this, "rgLocation", " Source location "};
    TCheckGroup cgFields{*this, "cgFields", "Use fields"};
    TGroupBox gbRange{*this, "gbRange", "Date range"};
    TCheckBox cbZip{*this, "cbZip", "make ZIP"};
    TDateEdit dtMin{*this, "dtMin"};
    TButtonPair bteMin{*this, "bteMin"};
    TSpinEdit seDelta{*this, "seDelta"};
    TLabel lbProgress{*this, "lbProgress", "Progress"};
    TMemo mProgress{*this, "mProgress"};
    TButton btnFail{*this, "btnFail", "&Fail"};
    TDialogButtons dbtRun{*this, "dbtRun", "Run", "Close"};
    TStatusPane psInfo{*this, "psInfo"};
    TProgressPane psProgress{*this, "psProgress"};
    TOpenDialog dlgSource{*this, "dlgSource"};

    std::vector<std::string> log;
    int refuseClose = 0;

    TTestForm()
    {
        SetCaption("Test dialog");
        SetClientWidth(394);
        SetClientHeight(300);
        lbSource.SetBold(true);
        edRefDB.SetReadOnly(true);
        edRefDB.SetText("/ref/DB.mdb");
        cbMode.SetItems({"all", "only new", "only known"});
        cbMode.SetItemIndex(2);
        rgLocation.SetItems({"Internet resource", "Local data file"});
        rgLocation.SetColumns(2);
        rgLocation.SetItemIndex(0);
        cgFields.SetItems({"Callsign", "Name", "QSL via", "Grid", "Aka"});
        cgFields.SetColumns(3);
        cgFields.SetItemChecked(0, true);
        cgFields.SetItemLocked("Callsign", true);
        cgFields.SetItemBold("Name", true);
        cgFields.SetItemEnabled("Aka", false);
        for (TControl* c : std::initializer_list<TControl*>{&cbZip, &dtMin, &bteMin, &seDelta})
            c->SetParent(&gbRange);
        seDelta.SetRange(0, 9);
        seDelta.SetValue(2);
        mProgress.SetReadOnly(true);
        dlgSource.InitialDir = "/data";
        psInfo.SetText("Ready");

        edSource.OnChange = [this] { log.push_back("edSource=" + edSource.Text()); };
        edSource.Button().OnClick = [this] {
            if (dlgSource.Execute()) edSource.SetText(dlgSource.FileName);
        };
        cbMode.OnChange = [this] { log.push_back("cbMode=" + cbMode.Text()); };
        rgLocation.OnChanging = [this](int index, bool&) { log.push_back("rgLocation->" + std::to_string(index)); };
        cgFields.OnChange = [this](int index) {
            log.push_back("cgFields[" + std::to_string(index) + "]=" + (cgFields.ItemChecked(index) ? "1" : "0"));
        };
        cbZip.OnClick = [this] { log.push_back(std::string("cbZip=") + (cbZip.Checked() ? "1" : "0")); };
        dtMin.OnChange = [this] { log.push_back("dtMin=" + dtMin.Text()); };
        bteMin.AltBtn().OnClick = [this] { dtMin.SetDate(IncMonth(dtMin.Date().value_or(0), -12)); };
        seDelta.OnChange = [this] { log.push_back("seDelta=" + seDelta.Text()); };
        btnFail.OnClick = [] { throw EInOutError("disk full"); };
        dbtRun.Ok().OnClick = [this] {
            TBusyCursor busy(*this);
            dbtRun.Ok().SetEnabled(false);
            mProgress.Append("   abc");
            ProcessMessages();
            mProgress.Append(" def\r\n");
            psProgress.SetPercent(100);
            log.push_back("run");
        };
        dbtRun.Cancel().OnClick = [this] { Close(); };
    }

    void FormActivate() override { log.push_back("activate"); }
    void FormClose(TCloseAction& action) override
    {
        log.push_back("close");
        if (refuseClose > 0) {
            --refuseClose;
            action = TCloseAction::caNone;
        }
    }
};

template <class T> T* Find(QWidget* dialog, const char* name)
{
    T* widget = dialog->findChild<T*>(QString::fromUtf8(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
}

// Shows the form through a host window; the hooks run with the dialog up.
struct TShow {
    THostWindow host;
    TQtModalDriver driver{&host};
    TModalResult result = mrNone;

    TModalResult Run(TTestForm& form)
    {
        form.SetDriver(&driver);
        result = form.ShowModal();
        form.SetDriver(nullptr);
        return result;
    }
};

// A click where a person would aim: the middle of a button, the box of a
// check box or radio button.
void Click(QWidget* widget)
{
    ASSERT_NE(widget, nullptr);
    const bool box = qobject_cast<QCheckBox*>(widget) || qobject_cast<QRadioButton*>(widget);
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(box ? 6 : widget->width() / 2, widget->height() / 2));
}

QAbstractButton* Item(QWidget* dialog, const char* group, const QString& caption)
{
    for (QAbstractButton* button : Find<QWidget>(dialog, group)->findChildren<QAbstractButton*>())
        if (button->text() == caption) return button;
    ADD_FAILURE() << "no item " << caption.toStdString();
    return nullptr;
}

std::string WriteScript(const std::string& name, const std::string& text)
{
    const std::string path = testing::TempDir() + name;
    std::ofstream(path) << text;
    return path;
}

} // namespace

TEST(QtDriver, EachControlIsShownAsItsNaturalWidget)
{
    TTestForm form;
    TShow show;
    bool seen = false;
    show.host.Shown = [&](QWidget* dialog) {
        seen = true;
        EXPECT_EQ(dialog->windowTitle(), "Test dialog");
        EXPECT_EQ(dialog->size(), QSize(394, 300));
        EXPECT_TRUE(dialog->isModal());
        EXPECT_TRUE(Find<QLabel>(dialog, "lbSource")->font().bold());

        auto* refDB = Find<QLineEdit>(dialog, "edRefDB");
        EXPECT_TRUE(refDB->isReadOnly());
        EXPECT_EQ(refDB->text(), "/ref/DB.mdb");
        EXPECT_EQ(refDB->palette().color(QPalette::Base), refDB->palette().color(QPalette::ToolTipBase));
        auto* source = Find<QWidget>(dialog, "edSource");
        EXPECT_EQ(source->findChildren<QLineEdit*>().size(), 1);
        EXPECT_TRUE(source->findChild<QToolButton*>()->isVisible());

        auto* mode = Find<QComboBox>(dialog, "cbMode");
        EXPECT_EQ(mode->count(), 3);
        EXPECT_EQ(mode->currentText(), "only known");
        EXPECT_TRUE(Item(dialog, "rgLocation", "Internet resource")->isChecked());
        EXPECT_FALSE(Item(dialog, "rgLocation", "Local data file")->isChecked());

        QAbstractButton* callsign = Item(dialog, "cgFields", "Callsign");
        EXPECT_TRUE(callsign->isChecked());
        EXPECT_TRUE(callsign->testAttribute(Qt::WA_TransparentForMouseEvents));
        EXPECT_EQ(callsign->palette().color(QPalette::Base), callsign->palette().color(QPalette::Button));
        EXPECT_TRUE(Item(dialog, "cgFields", "Name")->font().bold());
        EXPECT_FALSE(Item(dialog, "cgFields", "Grid")->font().bold());
        EXPECT_FALSE(Item(dialog, "cgFields", "Aka")->isEnabled());

        // The group holds its children.
        auto* range = Find<QWidget>(dialog, "gbRange");
        EXPECT_TRUE(range->isAncestorOf(Find<QWidget>(dialog, "dtMin")));
        EXPECT_TRUE(range->isAncestorOf(Find<QWidget>(dialog, "seDelta")));
        auto* delta = Find<QDoubleSpinBox>(dialog, "seDelta");
        EXPECT_EQ(delta->value(), 2);
        EXPECT_EQ(delta->maximum(), 9);

        auto* memo = Find<QPlainTextEdit>(dialog, "mProgress");
        EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
        EXPECT_TRUE(memo->isReadOnly());
        EXPECT_EQ(Find<QProgressBar>(dialog, "psProgress")->width(), 150);
        EXPECT_EQ(Find<QLabel>(dialog, "psInfo")->text(), "Ready");
        // Every control lies inside the client area.
        for (QWidget* child : dialog->findChildren<QWidget*>()) {
            if (child->isVisible() && child->parentWidget() == dialog) {
                EXPECT_TRUE(dialog->rect().contains(child->geometry())) << child->objectName().toStdString();
            }
        }
        if (const char* dir = std::getenv("HAM_SCREENSHOT_DIR"))
            dialog->grab().save(QString::fromUtf8(dir) + "/FormsQtTest.png");
        Click(Find<QPushButton>(dialog, "dbtRun.cancel"));
        return QString();
    };
    EXPECT_EQ(show.Run(form), mrCancel);
    EXPECT_TRUE(seen);
    EXPECT_EQ(form.log, (std::vector<std::string>{"activate", "close"}));
}

TEST(QtDriver, WhatThePersonDoesGoesThroughTheModelsAndRefusalsAreUndone)
{
    TTestForm form;
    TShow show;
    show.host.Shown = [&](QWidget* dialog) {
        auto* source = Find<QWidget>(dialog, "edSource")->findChild<QLineEdit*>();
        QTest::keyClicks(source, "/x");
        EXPECT_EQ(form.edSource.Text(), "/x");

        Click(Item(dialog, "rgLocation", "Local data file"));
        EXPECT_EQ(form.rgLocation.ItemIndex(), 1);
        // A locked item keeps its state whatever reaches it.
        Item(dialog, "cgFields", "Callsign")->click();
        EXPECT_TRUE(form.cgFields.ItemChecked(0));
        EXPECT_TRUE(Item(dialog, "cgFields", "Callsign")->isChecked());
        Click(Item(dialog, "cgFields", "Grid"));
        EXPECT_TRUE(form.cgFields.ItemChecked("Grid"));
        Click(Find<QCheckBox>(dialog, "cbZip"));
        EXPECT_TRUE(form.cbZip.Checked());
        emit Find<QComboBox>(dialog, "cbMode")->activated(0);
        EXPECT_EQ(form.cbMode.ItemIndex(), 0);

        auto* date = Find<QWidget>(dialog, "dtMin")->findChild<QLineEdit*>();
        QTest::keyClicks(date, "2024-02-29");
        QTest::keyClick(date, Qt::Key_Return);
        EXPECT_EQ(form.dtMin.Text(), "2024-02-29");
        date->clear();
        QTest::keyClicks(date, "2024-13-40");
        QTest::keyClick(date, Qt::Key_Return);
        EXPECT_EQ(form.dtMin.Text(), "2024-02-29");
        EXPECT_EQ(date->text(), "2024-02-29");
        QToolButton* calendar = Find<QWidget>(dialog, "bteMin")->findChildren<QToolButton*>().at(1);
        Click(calendar);
        EXPECT_EQ(date->text(), "2023-02-28");

        auto* delta = Find<QDoubleSpinBox>(dialog, "seDelta");
        delta->stepUp();
        EXPECT_EQ(form.seDelta.Value(), 3);

        // Code that changes a model shows at once, even while a handler runs.
        form.cbZip.SetCaption("make ZIP archive");
        EXPECT_EQ(Find<QCheckBox>(dialog, "cbZip")->text(), "make ZIP archive");
        form.gbRange.SetEnabled(false);
        EXPECT_FALSE(Find<QWidget>(dialog, "dtMin")->isEnabled());

        auto* run = Find<QPushButton>(dialog, "dbtRun.ok");
        Click(run);
        EXPECT_FALSE(run->isEnabled());
        EXPECT_EQ(Find<QPlainTextEdit>(dialog, "mProgress")->toPlainText(), "   abc def\n");
        EXPECT_EQ(Find<QProgressBar>(dialog, "psProgress")->value(), 100);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        Click(Find<QPushButton>(dialog, "dbtRun.cancel"));
        return QString();
    };
    show.Run(form);
    const std::vector<std::string> expected{"activate",         "edSource=/", "edSource=/x", "rgLocation->1",
                                            "cgFields[3]=1",    "cbZip=1",    "cbMode=all",  "dtMin=2024-02-29",
                                            "dtMin=2023-02-28", "seDelta=3",  "run",         "close"};
    EXPECT_EQ(form.log, expected);
}

TEST(QtDriver, ScriptPlaysTheUserAndItsEndClosesTheDialog)
{
    TTestForm form;
    TShow show;
    const std::string script = WriteScript("qt-actions.txt", "click edSource.button\n"
                                                             "/data/DB.zip\n"
                                                             "select cbMode only new\n"
                                                             "check cgFields Aka\n"
                                                             "click Fail\n"
                                                             "click Run\n");
    QString memoAtClose;
    int progressAtClose = -1;
    show.host.Shown = [&](QWidget*) { return QString::fromStdString(script); };
    show.host.Closing = [&](QWidget* dialog) {
        memoAtClose = Find<QPlainTextEdit>(dialog, "mProgress")->toPlainText();
        progressAtClose = Find<QProgressBar>(dialog, "psProgress")->value();
    };
    testing::internal::CaptureStderr();
    show.Run(form);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(form.edSource.Text(), "/data/DB.zip");
    EXPECT_EQ(form.cbMode.ItemIndex(), 1);
    EXPECT_NE(err.find("line 4: item 'Aka' of 'cgFields' is disabled"), std::string::npos) << err;
    EXPECT_NE(err.find("Error: disk full"), std::string::npos) << err;
    EXPECT_EQ(memoAtClose, "   abc def\n");
    EXPECT_EQ(progressAtClose, 100);
    EXPECT_EQ(form.log.back(), "close");
}

TEST(QtDriver, TheFormDecidesWhetherTheWindowCloses)
{
    TTestForm form;
    form.refuseClose = 1;
    TShow show;
    int closings = 0;
    show.host.Closing = [&](QWidget*) { ++closings; };
    show.host.Shown = [&](QWidget* dialog) {
        dialog->close();
        EXPECT_EQ(closings, 0);
        EXPECT_TRUE(dialog->isVisible());
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_EQ(closings, 1);
        return QString();
    };
    EXPECT_EQ(show.Run(form), mrCancel);
    EXPECT_EQ(std::count(form.log.begin(), form.log.end(), "close"), 2);
}

TEST(QtDriver, ACloseDuringARunTakesEffectWhenTheRunHasFinished)
{
    TTestForm form;
    int rounds = 0;
    form.dbtRun.Ok().OnClick = [&] {
        // Long work that lets the window breathe; the person presses Close meanwhile.
        for (rounds = 0; rounds < 20; ++rounds) {
            form.mProgress.Append("x\r\n");
            form.psProgress.SetPercent((rounds + 1) * 5);
            form.ProcessMessages();
        }
        form.log.push_back(form.ModalResult() == mrCancel ? "run, close asked" : "run");
    };
    TShow show;
    show.host.Shown = [&](QWidget* dialog) {
        // Both clicks arrive through the dialog's own event loop.
        QTimer::singleShot(0, dialog, [dialog] { Click(Find<QPushButton>(dialog, "dbtRun.ok")); });
        QTimer::singleShot(0, dialog, [dialog] { Click(Find<QPushButton>(dialog, "dbtRun.cancel")); });
        return QString();
    };
    EXPECT_EQ(show.Run(form), mrCancel);
    EXPECT_EQ(rounds, 20);
    EXPECT_EQ(form.log, (std::vector<std::string>{"activate", "run, close asked", "close"}));
}

TEST(QtDriver, TheHostWindowIsFoundByItsHandleAndOwnsTheDialog)
{
    THostWindow host;
    host.setProperty(HostHandleProperty, 77u);
    host.show();
    EXPECT_EQ(TQtModalDriver::FindHostWindow(77), &host);
    EXPECT_EQ(TQtModalDriver::FindHostWindow(78), nullptr);
    // The host disables its window while a dialog is up; the dialog stays usable.
    host.setEnabled(false);
    TTestForm form;
    TQtModalDriver driver(std::uint32_t(77));
    host.Shown = [&](QWidget* dialog) {
        EXPECT_EQ(dialog->parentWidget(), &host);
        EXPECT_TRUE(dialog->isEnabled());
        return QString::fromStdString(WriteScript("qt-close.txt", "close\n"));
    };
    form.SetDriver(&driver);
    EXPECT_EQ(form.ShowModal(), mrCancel);
    form.SetDriver(nullptr);
    EXPECT_TRUE(TQtModalDriver::Available());
}

#include "FormsQtTest.moc"
