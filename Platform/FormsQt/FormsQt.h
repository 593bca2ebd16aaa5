// The graphical modal driver: shows any Forms::TForm as a Qt dialog. Every
// control model gets its natural widget; the models' observers keep the
// widgets current and what a person does goes back through the models' User...
// operations, so a refusal is shown and never breaks the dialog.
//
// The dialog is owned by the host window whose dynamic property
// "hamhostHandle" holds the handle the host reports as its application
// window. That window may offer two invokable methods, called directly:
//   QString dialogShown(QWidget* dialog)   after the dialog is shown and
//       activated; a non-empty answer names a file of actions (the console
//       driver's language) that plays the user, the end of it closes the
//       dialog and file dialogs take their answer from its next line;
//   void dialogClosing(QWidget* dialog)    when the dialog is about to close.
// Widgets carry the control names as object names.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "Platform/Forms/Form.h"

class QWidget;

namespace Forms {

inline constexpr const char* HostHandleProperty = "hamhostHandle";

class TQtModalDriver : public IModalDriver {
public:
    // Dialogs owned by owner (none: top-level windows).
    explicit TQtModalDriver(QWidget* owner = nullptr);
    // Dialogs owned by the host window carrying this handle.
    explicit TQtModalDriver(std::uint32_t hostHandle);
    ~TQtModalDriver() override;
    TQtModalDriver(const TQtModalDriver&) = delete;
    TQtModalDriver& operator=(const TQtModalDriver&) = delete;

    // Whether this process runs a QApplication that can show windows.
    static bool Available();
    // The top-level window whose "hamhostHandle" is handle; null when none.
    static QWidget* FindHostWindow(std::uint32_t handle);

    void RunModal(TForm& form) override;
    void ProcessMessages(TForm& form) override;
    std::optional<std::string> ExecuteFileDialog(TForm& owner, const TFileDialog& dialog) override;
    void ShowException(TForm& form, const std::exception& error) override;
    void BusyChanged(TForm& form, bool busy) override;

    struct TImpl;

private:
    std::unique_ptr<TImpl> impl_;
};

} // namespace Forms
