#include "Platform/Forms/ConsoleTarget.h"

#include <utility>

#include "Platform/Forms/Buttons.h"
#include "Platform/Forms/Edits.h"
#include "Platform/Forms/Lists.h"
#include "Platform/Forms/Panes.h"

namespace Forms {

namespace {

TConsoleButton Sub(std::vector<std::string_view> parts, TSubButton& button)
{
    return {std::move(parts), button.Caption(), button.Owner().CanFocus() && button.Visible() && button.Enabled(),
            [&button] { button.UserClick(); }};
}

class TTargetFiller final : public TControlVisitor {
public:
    TConsoleTarget Target;

    // Display only.
    void Visit(TLabel&) override {}
    void Visit(TGroupBox&) override {}
    void Visit(TStatusPane&) override {}
    void Visit(TProgressPane&) override { Target.Output = TConsoleOutput::Progress; }

    void Visit(TEdit& edit) override
    {
        Target.Set = [&edit](std::string_view text) { edit.UserSetText(std::string(text)); };
    }
    void Visit(TButtonEdit& edit) override
    {
        Visit(static_cast<TEdit&>(edit));
        Target.Click = [&edit](const TActionReport&) { edit.Button().UserClick(); };
        Target.Buttons.push_back(Sub({"button"}, edit.Button()));
    }
    void Visit(TDateEdit& date) override
    {
        Target.Set = [&date](std::string_view text) { date.UserSetText(text); };
    }
    void Visit(TSpinEdit& spin) override
    {
        Target.Set = [&spin](std::string_view text) { spin.UserSetText(text); };
    }
    void Visit(TMemo& memo) override
    {
        Target.Set = [&memo](std::string_view text) { memo.UserSetText(std::string(text)); };
        Target.Output = TConsoleOutput::Memo;
    }

    void Visit(TButton& button) override
    {
        Target.Click = [&button](const TActionReport&) { button.UserClick(); };
        Target.Buttons.push_back({{"button"}, button.Caption(), button.CanFocus(), [&button] { button.UserClick(); }});
    }
    void Visit(TButtonPair& pair) override
    {
        Target.Click = [&pair](const TActionReport&) { pair.Button().UserClick(); };
        Target.Buttons.push_back(Sub({"button"}, pair.Button()));
        Target.Buttons.push_back(Sub({"altbtn", "altbutton"}, pair.AltBtn()));
    }
    void Visit(TDialogButtons& column) override
    {
        Target.Click = [&column](const TActionReport& report) {
            report("'" + column.Name() + "' has two buttons: click " + column.Name() + ".ok or " + column.Name() +
                   ".cancel");
        };
        Target.Buttons.push_back(Sub({"ok"}, column.Ok()));
        Target.Buttons.push_back(Sub({"cancel"}, column.Cancel()));
    }
    void Visit(TCheckBox& box) override
    {
        Target.CheckAlone = [&box](bool checked) { box.UserSetChecked(checked); };
        Target.Click = [&box](const TActionReport&) { box.UserSetChecked(!box.Checked()); };
    }

    void Visit(TComboBox& combo) override
    {
        Target.Choices = &combo.Items();
        Target.Select = [&combo](int index) { combo.UserSelect(index); };
    }
    void Visit(TRadioGroup& radio) override
    {
        Target.Choices = &radio.Items();
        Target.Select = [&radio](int index) { radio.UserSelect(index); };
    }
    void Visit(TCheckGroup& group) override
    {
        for (const TCheckGroupItem& item : group.Items())
            Target.CheckItems.push_back(item.Caption);
        Target.CheckItem = [&group](int index, bool checked) { group.UserSetChecked(index, checked); };
    }
};

} // namespace

TConsoleTarget ConsoleTarget(TControl& control)
{
    TTargetFiller filler;
    control.Accept(filler);
    return std::move(filler.Target);
}

} // namespace Forms
