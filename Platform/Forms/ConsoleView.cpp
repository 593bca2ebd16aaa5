// The form as text for a person at the console.
#include <ostream>

#include "Platform/Forms/Buttons.h"
#include "Platform/Forms/ConsoleDriver.h"
#include "Platform/Forms/Edits.h"
#include "Platform/Forms/Lists.h"
#include "Platform/Forms/Panes.h"

namespace Forms {

namespace {

std::string Flags(const TControl& control, bool input)
{
    std::string flags;
    if (!control.CanFocus()) flags += " (disabled)";
    if (input && control.ReadOnly()) flags += " (read-only)";
    return flags;
}

std::string SubButton(const TSubButton& button, std::string_view fallback)
{
    if (!button.Visible()) return {};
    std::string text = "[" + (button.Caption().empty() ? std::string(fallback) : StripAccelerator(button.Caption()));
    if (!button.Enabled()) text += " (disabled)";
    return text + "]";
}

std::string Join(const std::string& a, const std::string& b)
{
    return a.empty() || b.empty() ? a + b : a + " " + b;
}

// One control a line; choice controls list their items below it.
class TDescriber final : public TConstControlVisitor {
public:
    explicit TDescriber(std::ostream& out) : out_(out) {}

    void Describe(const TControl& control)
    {
        name_ = control.Name().empty() ? "-" : control.Name();
        out_ << "  " << name_ << ": ";
        control.Accept(*this);
    }

    void Visit(const TLabel& label) override { Caption(label); }
    void Visit(const TGroupBox& group) override { Caption(group); }
    void Visit(const TStatusPane& pane) override { Caption(pane); }
    void Visit(const TProgressPane& progress) override { out_ << progress.Percent() << "%\n"; }

    void Visit(const TEdit& edit) override { out_ << '"' << edit.Text() << '"' << Flags(edit, true) << '\n'; }
    void Visit(const TButtonEdit& edit) override
    {
        out_ << '"' << edit.Text() << '"' << Flags(edit, true);
        if (const std::string sub = SubButton(edit.Button(), name_ + ".button"); !sub.empty()) out_ << ' ' << sub;
        out_ << '\n';
    }
    void Visit(const TDateEdit& date) override
    {
        out_ << (date.Empty() ? std::string("(no date)") : date.Text()) << Flags(date, true) << '\n';
    }
    void Visit(const TSpinEdit& spin) override
    {
        out_ << spin.Text();
        if (spin.Max() > spin.Min()) out_ << " (" << spin.Min() << ".." << spin.Max() << ')';
        out_ << Flags(spin, true) << '\n';
    }
    void Visit(const TMemo& memo) override { out_ << memo.LineCount() << " line(s)" << Flags(memo, true) << '\n'; }

    void Visit(const TButton& button) override
    {
        out_ << '[' << StripAccelerator(button.Caption()) << ']' << Flags(button, false) << '\n';
    }
    void Visit(const TButtonPair& pair) override
    {
        out_ << Join(SubButton(pair.Button(), name_ + ".button"), SubButton(pair.AltBtn(), name_ + ".altbtn"))
             << Flags(pair, false) << '\n';
    }
    void Visit(const TDialogButtons& column) override
    {
        out_ << Join(SubButton(column.Ok(), name_ + ".ok"), SubButton(column.Cancel(), name_ + ".cancel"))
             << Flags(column, false) << '\n';
    }
    void Visit(const TCheckBox& box) override
    {
        out_ << (box.Checked() ? "[x] " : "[ ] ") << StripAccelerator(box.Caption()) << Flags(box, true) << '\n';
    }

    void Visit(const TComboBox& combo) override
    {
        out_ << '"' << combo.Text() << '"' << Flags(combo, true) << '\n';
        for (std::size_t i = 0; i < combo.Items().size(); ++i)
            out_ << "      " << (int(i) == combo.ItemIndex() ? "(*) " : "( ) ") << i << ' ' << combo.Items()[i] << '\n';
    }
    void Visit(const TRadioGroup& radio) override
    {
        out_ << StripAccelerator(radio.Caption()) << Flags(radio, true) << '\n';
        for (std::size_t i = 0; i < radio.Items().size(); ++i) {
            out_ << "      " << (int(i) == radio.ItemIndex() ? "(*) " : "( ) ") << i << ' '
                 << StripAccelerator(radio.Items()[i]);
            if (!radio.ItemEnabled(int(i))) out_ << " (disabled)";
            out_ << '\n';
        }
    }
    void Visit(const TCheckGroup& group) override
    {
        out_ << StripAccelerator(group.Caption()) << Flags(group, true) << '\n';
        for (std::size_t i = 0; i < group.Items().size(); ++i) {
            const TCheckGroupItem& item = group.Items()[i];
            out_ << "      " << (item.Checked ? "[x] " : "[ ] ") << i << ' ' << StripAccelerator(item.Caption);
            if (item.Bold) out_ << " (bold)";
            if (item.Locked) out_ << " (locked)";
            if (!item.Enabled) out_ << " (disabled)";
            out_ << '\n';
        }
    }

private:
    void Caption(const TControl& control) { out_ << StripAccelerator(control.Caption()) << '\n'; }

    std::ostream& out_;
    std::string name_;
};

} // namespace

void DescribeForm(const TForm& form, std::ostream& out)
{
    out << "== " << form.Caption() << " ==\n";
    TDescriber describer(out);
    for (const TControl* control : form.Controls())
        if (control->Visible()) describer.Describe(*control);
}

} // namespace Forms
