// What the console driver and its action language do with each kind of
// control, in one table filled by a visitor over every kind.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/Forms/ConsoleDriver.h"

namespace Forms {

// A button a control holds: the PART names that reach it as NAME.PART, its
// caption and whether a person could click it now.
struct TConsoleButton {
    std::vector<std::string_view> Parts;
    std::string Caption;
    bool Usable = false;
    std::function<void()> Click;
};

// What the console streams while the form is up.
enum class TConsoleOutput { None, Memo, Progress };

struct TConsoleTarget {
    // 'set NAME TEXT'; none when the kind takes no text.
    std::function<void(std::string_view text)> Set;
    // 'select NAME ITEM': the items, and the user's choice of one.
    const std::vector<std::string>* Choices = nullptr;
    std::function<void(int index)> Select;
    // 'check NAME' alone (a check box) ...
    std::function<void(bool checked)> CheckAlone;
    // ... or 'check NAME ITEM' (the items of a check group).
    std::vector<std::string> CheckItems;
    std::function<void(int index, bool checked)> CheckItem;
    // 'click NAME'; none when the name alone does not reach a button.
    std::function<void(const TActionReport& report)> Click;
    // 'click NAME.PART' and 'click CAPTION'.
    std::vector<TConsoleButton> Buttons;
    TConsoleOutput Output = TConsoleOutput::None;
};

TConsoleTarget ConsoleTarget(TControl& control);

} // namespace Forms
