// Text inputs: one-line edit, edit with its own button, date edit that may
// be empty, spin edit and the multi-line memo.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/DateTime/DateTime.h"
#include "Platform/Forms/Buttons.h"
#include "Platform/Forms/Control.h"

namespace Forms {

class TEdit : public TControl {
public:
    TEdit(TForm& owner, std::string name);
    const char* Kind() const override { return "edit"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    const std::string& Text() const { return text_; }
    // OnChange runs when the text changed, from code as from the user.
    void SetText(std::string text);
    TNotifyEvent OnChange;
    // Typing: refused when disabled, hidden or read-only.
    void UserSetText(std::string text);

private:
    std::string text_;
};

// An edit with a button of its own (browse). Read-only still lets the
// button work.
class TButtonEdit final : public TEdit {
public:
    TButtonEdit(TForm& owner, std::string name);
    const char* Kind() const override { return "button edit"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }
    TSubButton& Button() { return button_; }
    const TSubButton& Button() const { return button_; }

private:
    TSubButton button_;
};

// Text of a date and the date from text (regional short date format).
using TDateFormatter = std::function<std::string(TDateTime date)>;
using TDateParser = std::function<std::optional<TDateTime>(std::string_view text)>;

// A date without time, or nothing (empty text).
class TDateEdit final : public TControl {
public:
    TDateEdit(TForm& owner, std::string name);
    const char* Kind() const override { return "date edit"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    std::optional<TDateTime> Date() const { return date_; }
    bool Empty() const { return !date_; }
    // Keeps the date part only; OnChange when the date changed.
    void SetDate(std::optional<TDateTime> date);
    void Clear() { SetDate(std::nullopt); }
    const std::string& Text() const { return text_; }
    // Blank text empties the edit; text that is not a date raises
    // EConvertError and leaves the edit as it was.
    void SetText(std::string_view text);
    // The formatter and parser of the date text; null ones restore the
    // default yyyy-mm-dd.
    void SetDateFormat(TDateFormatter formatter, TDateParser parser);

    TNotifyEvent OnChange;
    // Typing: refused when disabled, hidden, read-only or not a date.
    void UserSetText(std::string_view text);

private:
    std::optional<TDateTime> date_;
    std::string text_;
    TDateFormatter formatter_;
    TDateParser parser_;
};

class TSpinEdit final : public TControl {
public:
    TSpinEdit(TForm& owner, std::string name);
    const char* Kind() const override { return "spin edit"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    double Value() const { return value_; }
    // Clamped into [Min, Max] when Max > Min; OnChange when it changed.
    void SetValue(double value);
    double Min() const { return min_; }
    double Max() const { return max_; }
    void SetRange(double min, double max);
    double Increment() const { return increment_; }
    void SetIncrement(double increment) { increment_ = increment; }
    // Whether a user may type fractions.
    bool IntegersOnly() const { return integersOnly_; }
    void SetIntegersOnly(bool integersOnly) { integersOnly_ = integersOnly; }
    std::string Text() const;

    TNotifyEvent OnChange;
    // Typing a number: refused when disabled, hidden, read-only, not a
    // number, a fraction where whole numbers are asked, or out of range.
    void UserSetText(std::string_view text);

private:
    double value_ = 0;
    double min_ = 0;
    double max_ = 0;
    double increment_ = 1;
    bool integersOnly_ = true;
};

// Multi-line text. Line breaks are "\n" (a "\r" before one belongs to it);
// a final break does not start another line.
class TMemo final : public TControl {
public:
    TMemo(TForm& owner, std::string name);
    const char* Kind() const override { return "memo"; }
    void Accept(TControlVisitor& visitor) override { visitor.Visit(*this); }
    void Accept(TConstControlVisitor& visitor) const override { visitor.Visit(*this); }

    const std::string& Text() const { return text_; }
    // Observers see a Reset with the new text.
    void SetText(std::string text);
    void Clear() { SetText({}); }
    // Continues the current last line; observers see an Append of the piece.
    void Append(std::string_view piece);
    // Starts a new line if needed, then the line and a break.
    void AddLine(std::string_view line);
    std::vector<std::string> Lines() const;
    int LineCount() const;

    // First line in view.
    int TopLine() const { return topLine_; }
    void SetTopLine(int line);
    void ScrollBy(int lines) { SetTopLine(topLine_ + lines); }

    // Runs whenever the text changed.
    TNotifyEvent OnChange;
    void UserSetText(std::string text);

private:
    std::string text_;
    int breaks_ = 0;
    int topLine_ = 0;
};

} // namespace Forms
