// The form as text for a person at the console.
#include <ostream>

#include "Platform/Forms/Buttons.h"
#include "Platform/Forms/ConsoleDriver.h"
#include "Platform/Forms/Edits.h"
#include "Platform/Forms/Lists.h"
#include "Platform/Forms/Panes.h"

namespace Forms {

namespace {

std::string Flags(const TControl& control, bool input) {
    std::string flags;
    if (!control.CanFocus()) flags += " (disabled)";
    if (input && control.ReadOnly()) flags += " (read-only)";
    return flags;
}

std::string SubButton(const TSubButton& button, std::string_view fallback) {
    if (!button.Visible()) return {};
    std::string text = "[" + (button.Caption().empty() ? std::string(fallback) : StripAccelerator(button.Caption()));
    if (!button.Enabled()) text += " (disabled)";
    return text + "]";
}

std::string Join(const std::string& a, const std::string& b) {
    return a.empty() || b.empty() ? a + b : a + " " + b;
}

void DescribeControl(const TControl& control, std::ostream& out) {
    const std::string name = control.Name().empty() ? "-" : control.Name();
    out << "  " << name << ": ";
    if (auto* edit = dynamic_cast<const TEdit*>(&control)) {
        out << '"' << edit->Text() << '"' << Flags(control, true);
        if (auto* buttonEdit = dynamic_cast<const TButtonEdit*>(&control))
            if (const std::string sub = SubButton(buttonEdit->Button(), name + ".button"); !sub.empty())
                out << ' ' << sub;
    } else if (auto* date = dynamic_cast<const TDateEdit*>(&control)) {
        out << (date->Empty() ? std::string("(no date)") : date->Text()) << Flags(control, true);
    } else if (auto* spin = dynamic_cast<const TSpinEdit*>(&control)) {
        out << spin->Text();
        if (spin->Max() > spin->Min()) out << " (" << spin->Min() << ".." << spin->Max() << ')';
        out << Flags(control, true);
    } else if (auto* combo = dynamic_cast<const TComboBox*>(&control)) {
        out << '"' << combo->Text() << '"' << Flags(control, true) << '\n';
        for (std::size_t i = 0; i < combo->Items().size(); ++i)
            out << "      " << (int(i) == combo->ItemIndex() ? "(*) " : "( ) ") << i << ' ' << combo->Items()[i]
                << '\n';
        return;
    } else if (auto* radio = dynamic_cast<const TRadioGroup*>(&control)) {
        out << StripAccelerator(radio->Caption()) << Flags(control, true) << '\n';
        for (std::size_t i = 0; i < radio->Items().size(); ++i) {
            out << "      " << (int(i) == radio->ItemIndex() ? "(*) " : "( ) ") << i << ' '
                << StripAccelerator(radio->Items()[i]);
            if (!radio->ItemEnabled(int(i))) out << " (disabled)";
            out << '\n';
        }
        return;
    } else if (auto* group = dynamic_cast<const TCheckGroup*>(&control)) {
        out << StripAccelerator(group->Caption()) << Flags(control, true) << '\n';
        for (std::size_t i = 0; i < group->Items().size(); ++i) {
            const TCheckGroupItem& item = group->Items()[i];
            out << "      " << (item.Checked ? "[x] " : "[ ] ") << i << ' ' << StripAccelerator(item.Caption);
            if (item.Bold) out << " (bold)";
            if (item.Locked) out << " (locked)";
            if (!item.Enabled) out << " (disabled)";
            out << '\n';
        }
        return;
    } else if (auto* box = dynamic_cast<const TCheckBox*>(&control)) {
        out << (box->Checked() ? "[x] " : "[ ] ") << StripAccelerator(box->Caption()) << Flags(control, true);
    } else if (auto* button = dynamic_cast<const TButton*>(&control)) {
        out << '[' << StripAccelerator(button->Caption()) << ']' << Flags(control, false);
    } else if (auto* pair = dynamic_cast<const TButtonPair*>(&control)) {
        out << Join(SubButton(pair->Button(), name + ".button"), SubButton(pair->AltBtn(), name + ".altbtn"))
            << Flags(control, false);
    } else if (auto* column = dynamic_cast<const TDialogButtons*>(&control)) {
        out << Join(SubButton(column->Ok(), name + ".ok"), SubButton(column->Cancel(), name + ".cancel"))
            << Flags(control, false);
    } else if (auto* memo = dynamic_cast<const TMemo*>(&control)) {
        out << memo->LineCount() << " line(s)" << Flags(control, true);
    } else if (auto* progress = dynamic_cast<const TProgressPane*>(&control)) {
        out << progress->Percent() << '%';
    } else {
        out << StripAccelerator(control.Caption());
    }
    out << '\n';
}

} // namespace

void DescribeForm(const TForm& form, std::ostream& out) {
    out << "== " << form.Caption() << " ==\n";
    for (const TControl* control : form.Controls())
        if (control->Visible()) DescribeControl(*control, out);
}

} // namespace Forms
