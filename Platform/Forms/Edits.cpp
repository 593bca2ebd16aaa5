#include "Platform/Forms/Edits.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace Forms {

namespace {

std::string_view Trim(std::string_view text)
{
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string IsoDate(TDateTime date)
{
    const TDateParts parts = DecodeDateTime(date);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", parts.Year, parts.Month, parts.Day);
    return buffer;
}

std::optional<TDateTime> ParseIsoDate(std::string_view text)
{
    return CanonicalToDateTime(text);
}

std::string NumberText(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return std::string(buffer, result.ptr);
}

} // namespace

TEdit::TEdit(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TEdit::SetText(std::string text)
{
    if (text == text_) return;
    text_ = std::move(text);
    Changed();
    if (OnChange) OnChange();
}

void TEdit::UserSetText(std::string text)
{
    CheckUserInput();
    SetText(std::move(text));
}

TButtonEdit::TButtonEdit(TForm& owner, std::string name) : TEdit(owner, std::move(name)), button_(*this) {}

TDateEdit::TDateEdit(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TDateEdit::SetDate(std::optional<TDateTime> date)
{
    if (date) date = DateOf(*date);
    std::string text = date ? (formatter_ ? formatter_(*date) : IsoDate(*date)) : std::string();
    const bool changed = date != date_;
    if (!changed && text == text_) return;
    date_ = date;
    text_ = std::move(text);
    Changed();
    if (changed && OnChange) OnChange();
}

void TDateEdit::SetText(std::string_view text)
{
    const std::string_view trimmed = Trim(text);
    if (trimmed.empty()) {
        SetDate(std::nullopt);
        return;
    }
    const std::optional<TDateTime> date = parser_ ? parser_(trimmed) : ParseIsoDate(trimmed);
    if (!date) throw EConvertError("'" + std::string(trimmed) + "' is not a valid date");
    SetDate(date);
}

void TDateEdit::SetDateFormat(TDateFormatter formatter, TDateParser parser)
{
    formatter_ = std::move(formatter);
    parser_ = std::move(parser);
    if (date_) {
        text_ = formatter_ ? formatter_(*date_) : IsoDate(*date_);
        Changed();
    }
}

void TDateEdit::UserSetText(std::string_view text)
{
    CheckUserInput();
    try {
        SetText(text);
    } catch (const EConvertError& error) {
        throw EUserRefused(error.Message());
    }
}

TSpinEdit::TSpinEdit(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TSpinEdit::SetValue(double value)
{
    if (max_ > min_) value = std::clamp(value, min_, max_);
    if (value == value_) return;
    value_ = value;
    Changed();
    if (OnChange) OnChange();
}

void TSpinEdit::SetRange(double min, double max)
{
    min_ = min;
    max_ = max;
    Changed();
    if (max_ > min_ && (value_ < min_ || value_ > max_)) SetValue(value_);
}

std::string TSpinEdit::Text() const
{
    return NumberText(value_);
}

void TSpinEdit::UserSetText(std::string_view text)
{
    CheckUserInput();
    const std::string_view trimmed = Trim(text);
    double value = 0;
    const auto result = std::from_chars(trimmed.data(), trimmed.data() + trimmed.size(), value);
    if (trimmed.empty() || result.ec != std::errc() || result.ptr != trimmed.data() + trimmed.size() ||
        !std::isfinite(value))
        throw EUserRefused("'" + std::string(trimmed) + "' is not a valid number");
    if (integersOnly_ && value != std::trunc(value))
        throw EUserRefused("'" + std::string(trimmed) + "' is not a whole number");
    if (max_ > min_ && (value < min_ || value > max_))
        throw EUserRefused(std::string(trimmed) + " is out of range " + NumberText(min_) + ".." + NumberText(max_) +
                           " of " + Quoted());
    SetValue(value);
}

TMemo::TMemo(TForm& owner, std::string name) : TControl(owner, std::move(name)) {}

void TMemo::SetText(std::string text)
{
    if (text == text_) return;
    text_ = std::move(text);
    breaks_ = int(std::count(text_.begin(), text_.end(), '\n'));
    topLine_ = std::min(topLine_, std::max(0, LineCount() - 1));
    Changed(TChangeKind::Reset, text_);
    if (OnChange) OnChange();
}

void TMemo::Append(std::string_view piece)
{
    if (piece.empty()) return;
    text_.append(piece);
    breaks_ += int(std::count(piece.begin(), piece.end(), '\n'));
    Changed(TChangeKind::Append, piece);
    if (OnChange) OnChange();
}

void TMemo::AddLine(std::string_view line)
{
    std::string piece;
    if (!text_.empty() && text_.back() != '\n') piece = "\n";
    piece.append(line);
    piece += '\n';
    Append(piece);
}

std::vector<std::string> TMemo::Lines() const
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text_.size()) {
        std::size_t end = text_.find('\n', start);
        if (end == std::string::npos) end = text_.size();
        std::size_t stop = end;
        if (stop > start && text_[stop - 1] == '\r') --stop;
        lines.emplace_back(text_, start, stop - start);
        start = end + 1;
    }
    return lines;
}

int TMemo::LineCount() const
{
    return breaks_ + ((!text_.empty() && text_.back() != '\n') ? 1 : 0);
}

void TMemo::SetTopLine(int line)
{
    line = std::clamp(line, 0, std::max(0, LineCount() - 1));
    if (line == topLine_) return;
    topLine_ = line;
    Changed();
}

void TMemo::UserSetText(std::string text)
{
    CheckUserInput();
    SetText(std::move(text));
}

} // namespace Forms
