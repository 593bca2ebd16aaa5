// Buttons: a plain button, the buttons that belong to another control (the
// browse button of an edit, the find / calendar pair, the OK / Cancel
// column) and the check box.
#pragma once

#include "Platform/Forms/Control.h"
#include "Platform/Forms/Form.h"

namespace Forms {

// A button that is part of another control; enabled and shown only when its
// control is too.
class TSubButton {
public:
    explicit TSubButton(TControl& owner, std::string caption = {});
    TSubButton(const TSubButton&) = delete;
    TSubButton& operator=(const TSubButton&) = delete;

    TControl& Owner() const { return owner_; }
    const std::string& Caption() const { return caption_; }
    void SetCaption(std::string caption);
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    bool Visible() const { return visible_; }
    void SetVisible(bool visible);
    // Given to the form when clicked (mrNone: the click does not close).
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }

    TNotifyEvent OnClick;
    // Clicks from code: the form's ModalResult (when set here), then OnClick.
    void Click();
    // A user's click: refused unless the button and its control can be used.
    void UserClick();

private:
    TControl& owner_;
    std::string caption_;
    bool enabled_ = true;
    bool visible_ = true;
    TModalResult modalResult_ = mrNone;
};

class TButton final : public TControl {
public:
    TButton(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "button"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    TModalResult ModalResult() const { return modalResult_; }
    void SetModalResult(TModalResult result) { modalResult_ = result; }
    TNotifyEvent OnClick;
    void Click();
    void UserClick();

private:
    TModalResult modalResult_ = mrNone;
};

// Two small buttons side by side (a find button and a calendar button
// beside a date edit).
class TButtonPair final : public TControl {
public:
    TButtonPair(TForm& owner, std::string name);
    const char* Kind() const override { return "button pair"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    TSubButton& Button() { return button_; }
    TSubButton& AltBtn() { return altBtn_; }
    const TSubButton& Button() const { return button_; }
    const TSubButton& AltBtn() const { return altBtn_; }

private:
    TSubButton button_;
    TSubButton altBtn_;
};

// The dialog's button column: an OK-style and a Cancel-style button. Neither
// closes the dialog unless given a modal result.
class TDialogButtons final : public TControl {
public:
    TDialogButtons(TForm& owner, std::string name, std::string okCaption = "OK", std::string cancelCaption = "Cancel");
    const char* Kind() const override { return "dialog buttons"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    TSubButton& Ok() { return ok_; }
    TSubButton& Cancel() { return cancel_; }
    const TSubButton& Ok() const { return ok_; }
    const TSubButton& Cancel() const { return cancel_; }

private:
    TSubButton ok_;
    TSubButton cancel_;
};

class TCheckBox final : public TControl {
public:
    TCheckBox(TForm& owner, std::string name, std::string caption = {});
    const char* Kind() const override { return "check box"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    bool Checked() const { return checked_; }
    // Silent: OnClick does not run.
    void SetChecked(bool checked);
    // Runs after a user's change.
    TNotifyEvent OnClick;
    // Refused when disabled, hidden or read-only; OnClick when it changed.
    void UserSetChecked(bool checked);

private:
    bool checked_ = false;
};

} // namespace Forms
