// The form: a caption, its controls (found by name), the creation /
// activation / close handlers and the modal show, which hands the form to a
// modal driver that plays the user.
#pragma once

#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Forms/Control.h"

namespace Forms {

class TFileDialog;

using TModalResult = int;
inline constexpr TModalResult mrNone = 0;
inline constexpr TModalResult mrOk = 1;
inline constexpr TModalResult mrCancel = 2;
inline constexpr TModalResult mrAbort = 3;
inline constexpr TModalResult mrRetry = 4;
inline constexpr TModalResult mrIgnore = 5;
inline constexpr TModalResult mrYes = 6;
inline constexpr TModalResult mrNo = 7;
inline constexpr TModalResult mrClose = 8;

// caNone refuses the close; the others let it happen.
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Plays the user of a modal form.
class IModalDriver {
public:
    virtual ~IModalDriver() = default;
    // Runs the modal loop: FormActivate, then user actions until the form
    // closes (a ModalResult is set and TForm::CloseModal agrees).
    virtual void RunModal(TForm& form) = 0;
    // Lets the user interface catch up during long work (repaint, output).
    virtual void ProcessMessages(TForm& form) = 0;
    // Asks for a file; nothing when cancelled.
    virtual std::optional<std::string> ExecuteFileDialog(TForm& owner, const TFileDialog& dialog) = 0;
    // The application's standard error message for an exception a handler
    // let escape.
    virtual void ShowException(TForm& form, const std::exception& error) = 0;
    // The busy (hourglass) cursor went on or off.
    virtual void BusyChanged(TForm& form, bool busy) = 0;
};

class TForm {
public:
    TForm();
    virtual ~TForm();
    TForm(const TForm&) = delete;
    TForm& operator=(const TForm&) = delete;

    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption) { caption_ = std::move(caption); }
    int ClientWidth() const { return clientWidth_; }
    int ClientHeight() const { return clientHeight_; }
    void SetClientWidth(int width) { clientWidth_ = width; }
    void SetClientHeight(int height) { clientHeight_ = height; }

    // Controls in creation (tab) order.
    const std::vector<TControl*>& Controls() const { return controls_; }
    // By name: exact, else ASCII case-insensitive; null when none.
    TControl* FindControl(std::string_view name) const;
    template <class T> T* FindControl(std::string_view name) const { return dynamic_cast<T*>(FindControl(name)); }
    TControl* ActiveControl() const { return activeControl_; }
    void SetActiveControl(TControl* control) { activeControl_ = control; }

    // Handlers. FormCreate runs once, before the first show (DoCreate);
    // FormActivate when the driver shows the form; FormClose when the modal
    // loop is about to end: setting Action to caNone keeps the form open.
    virtual void FormCreate() {}
    virtual void FormActivate() {}
    virtual void FormClose(TCloseAction& Action) { (void)Action; }
    // Runs FormCreate unless it ran already.
    void DoCreate();

    TModalResult ModalResult() const { return modalResult_; }
    // A result other than mrNone ends the modal loop.
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    // Asks the modal loop to end (ModalResult := mrCancel unless one is set).
    void Close();
    // Hands the form to its driver; returns the modal result (mrCancel when
    // the loop ended without one).
    virtual TModalResult ShowModal();
    bool Modal() const { return modal_; }
    // Lets the driver pump while the form is shown; nothing otherwise.
    void ProcessMessages();

    // For drivers: the close protocol of the modal loop. Runs FormClose;
    // true when the form closes, false (ModalResult reset) when refused.
    bool CloseModal();
    // For drivers and dialogs: the standard error message of the driver.
    void HandleException(const std::exception& error);

    // The driver of this form: the one set here, else the process default.
    IModalDriver& Driver() const;
    void SetDriver(IModalDriver* driver) { driver_ = driver; }
    // The process default (null restores the built-in console driver on
    // standard input, output and error).
    static IModalDriver& DefaultDriver();
    static void SetDefaultDriver(IModalDriver* driver);

    bool Busy() const { return busyDepth_ > 0; }

private:
    friend class TControl;
    friend class TBusyCursor;
    int Register(TControl& control);
    void Unregister(TControl& control);

    std::string caption_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    std::vector<TControl*> controls_;
    int nextTabOrder_ = 0;
    TControl* activeControl_ = nullptr;
    IModalDriver* driver_ = nullptr;
    TModalResult modalResult_ = mrNone;
    bool created_ = false;
    bool modal_ = false;
    int busyDepth_ = 0;
};

// The busy cursor while it lives; nests.
class TBusyCursor {
public:
    explicit TBusyCursor(TForm& form);
    ~TBusyCursor();
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;

private:
    TForm& form_;
};

} // namespace Forms
