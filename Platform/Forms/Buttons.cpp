#include "Platform/Forms/Buttons.h"

namespace Forms {

TSubButton::TSubButton(TControl& owner, std::string caption) : owner_(owner), caption_(std::move(caption)) {}

void TSubButton::SetCaption(std::string caption)
{
    if (caption == caption_) return;
    caption_ = std::move(caption);
    owner_.Changed();
}

void TSubButton::SetEnabled(bool enabled)
{
    if (enabled == enabled_) return;
    enabled_ = enabled;
    owner_.Changed();
}

void TSubButton::SetVisible(bool visible)
{
    if (visible == visible_) return;
    visible_ = visible;
    owner_.Changed();
}

void TSubButton::Click()
{
    if (modalResult_ != mrNone && owner_.Owner()) owner_.Owner()->SetModalResult(modalResult_);
    if (OnClick) OnClick();
}

void TSubButton::UserClick()
{
    owner_.CheckUserInput(false);
    const std::string what =
        caption_.empty() ? "the button of " + owner_.Quoted() : "button '" + StripAccelerator(caption_) + "'";
    if (!visible_) throw EUserRefused(what + " is not shown");
    if (!enabled_) throw EUserRefused(what + " is disabled");
    Click();
}

TButton::TButton(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

void TButton::Click()
{
    if (modalResult_ != mrNone && Owner()) Owner()->SetModalResult(modalResult_);
    if (OnClick) OnClick();
}

void TButton::UserClick()
{
    CheckUserInput(false);
    Click();
}

TButtonPair::TButtonPair(TForm& owner, std::string name)
    : TControl(owner, std::move(name)), button_(*this), altBtn_(*this)
{
}

TDialogButtons::TDialogButtons(TForm& owner, std::string name, std::string okCaption, std::string cancelCaption)
    : TControl(owner, std::move(name)), ok_(*this, std::move(okCaption)), cancel_(*this, std::move(cancelCaption))
{
}

TCheckBox::TCheckBox(TForm& owner, std::string name, std::string caption)
    : TControl(owner, std::move(name), std::move(caption))
{
}

void TCheckBox::SetChecked(bool checked)
{
    if (checked == checked_) return;
    checked_ = checked;
    Changed();
}

void TCheckBox::UserSetChecked(bool checked)
{
    CheckUserInput();
    if (checked == checked_) return;
    SetChecked(checked);
    if (OnClick) OnClick();
}

} // namespace Forms
