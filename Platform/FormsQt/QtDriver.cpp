#include "Platform/FormsQt/FormsQt.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPointer>

#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <iostream>
#include <vector>

#include "Platform/Forms/FileDialogs.h"
#include "Platform/FormsQt/QtSession.h"
#include "Platform/FormsQt/QtText.h"

namespace Forms {

namespace {

using namespace Forms::Gui;

// Qt keeps process-wide state and is not made to be unloaded and loaded
// again: once a plug-in has brought it in, it stays until the process ends,
// whatever the host does with the plug-in.
void KeepLoaded(const void* symbol)
{
    Dl_info info{};
    if (dladdr(symbol, &info) && info.dli_fname) dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
}

const bool qtKeptLoaded = [] {
    KeepLoaded(reinterpret_cast<const void*>(&qVersion));
    KeepLoaded(reinterpret_cast<const void*>(&QGuiApplication::platformName));
    KeepLoaded(reinterpret_cast<const void*>(&QApplication::style));
    return true;
}();

} // namespace

constexpr std::chrono::milliseconds PumpInterval{16};

struct TQtModalDriver::TImpl {
    QPointer<QWidget> Owner;
    std::chrono::steady_clock::time_point LastPump{};
    std::optional<std::uint32_t> HostHandle;
    std::vector<TQtSession*> Sessions;
    int BusyDepth = 0;

    TQtSession* Find(const TForm& form) const
    {
        for (auto it = Sessions.rbegin(); it != Sessions.rend(); ++it)
            if (&(*it)->Form() == &form) return *it;
        return nullptr;
    }
};

// --- the driver ------------------------------------------------------------------

TQtModalDriver::TQtModalDriver(QWidget* owner) : impl_(std::make_unique<TImpl>())
{
    impl_->Owner = owner;
}

TQtModalDriver::TQtModalDriver(std::uint32_t hostHandle) : impl_(std::make_unique<TImpl>())
{
    impl_->HostHandle = hostHandle;
}

TQtModalDriver::~TQtModalDriver()
{
    while (impl_->BusyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --impl_->BusyDepth;
    }
}

bool TQtModalDriver::Available()
{
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

QWidget* TQtModalDriver::FindHostWindow(std::uint32_t handle)
{
    if (!Available() || handle == 0) return nullptr;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        const QVariant value = window->property(HostHandleProperty);
        if (value.isValid() && value.toULongLong() == handle) return window;
    }
    return nullptr;
}

void TQtModalDriver::RunModal(TForm& form)
{
    if (!Available()) throw EInvalidOperation("No graphical application to show '" + form.Caption() + "'");
    QWidget* owner = impl_->Owner;
    if (!owner && impl_->HostHandle) owner = FindHostWindow(*impl_->HostHandle);
    const int busyBefore = impl_->BusyDepth;
    TQtSession session(*this, form, owner);
    impl_->Sessions.push_back(&session);
    struct TPop {
        TImpl& impl;
        int busyBefore;
        ~TPop()
        {
            impl.Sessions.pop_back();
            // A busy cursor left on by the dialog does not outlive it.
            while (impl.BusyDepth > busyBefore) {
                QApplication::restoreOverrideCursor();
                --impl.BusyDepth;
            }
        }
    } pop{*impl_, busyBefore};
    session.Run();
}

void TQtModalDriver::ProcessMessages(TForm&)
{
    // A run calls this for every record; drawing the window each time would
    // cost more than the record. The window catches up at most every frame,
    // and at once when the run has been quiet for a frame.
    const auto now = std::chrono::steady_clock::now();
    if (now - impl_->LastPump < PumpInterval) return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    impl_->LastPump = std::chrono::steady_clock::now();
}

std::optional<std::string> TQtModalDriver::ExecuteFileDialog(TForm& owner, const TFileDialog& dialog)
{
    TQtSession* session = impl_->Find(owner);
    if (session && session->Scripted()) return session->ScriptAnswer();
    QWidget* parent = session ? session->Window() : impl_->Owner.data();
    QFileDialog chooser(parent, ToQ(dialog.Title));
    chooser.setOption(QFileDialog::DontUseNativeDialog);
    chooser.setAcceptMode(dialog.IsSaveDialog() ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    chooser.setFileMode(dialog.IsSaveDialog() ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const auto& [description, pattern] : dialog.FilterPairs()) {
        QString patterns = ToQ(pattern);
        patterns.replace(u';', u' ');
        filters << ToQ(description) + QStringLiteral(" (") + patterns + u')';
    }
    if (!filters.isEmpty()) {
        chooser.setNameFilters(filters);
        const int index = std::clamp(dialog.FilterIndex, 1, int(filters.size())) - 1;
        chooser.selectNameFilter(filters[index]);
    }
    if (!dialog.InitialDir.empty()) chooser.setDirectory(ToQ(dialog.InitialDir));
    if (!dialog.FileName.empty()) chooser.selectFile(ToQ(dialog.FileName));
    QString suffix = ToQ(dialog.DefaultExt);
    if (suffix.startsWith(u'.')) suffix.remove(0, 1);
    chooser.setDefaultSuffix(suffix);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
    return FromQ(chooser.selectedFiles().front());
}

void TQtModalDriver::ShowException(TForm& form, const std::exception& error)
{
    // A silent exception ends an action without a message.
    if (dynamic_cast<const EAbort*>(&error)) return;
    TQtSession* session = impl_->Find(form);
    if (!session || session->Scripted() || !Available()) {
        std::cerr << "Error: " << error.what() << std::endl;
        return;
    }
    QString text = QString::fromUtf8(error.what());
    if (!text.isEmpty() && !text.endsWith(u'.')) text += u'.';
    QString title = QApplication::applicationDisplayName();
    if (title.isEmpty()) title = ToQ(form.Caption());
    QMessageBox::critical(session->Window(), title, text);
}

void TQtModalDriver::BusyChanged(TForm&, bool busy)
{
    if (busy) {
        QApplication::setOverrideCursor(::Qt::WaitCursor);
        ++impl_->BusyDepth;
    } else if (impl_->BusyDepth > 0) {
        QApplication::restoreOverrideCursor();
        --impl_->BusyDepth;
    }
}

} // namespace Forms
