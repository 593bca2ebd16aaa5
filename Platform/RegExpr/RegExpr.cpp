#define PCRE2_CODE_UNIT_WIDTH 8
#include "Platform/RegExpr/RegExpr.h"

#include "Platform/SysUtils/SysUtils.h"

#include <pcre2.h>

#include <algorithm>

namespace {

constexpr std::string_view CallTail = "[A-Z0-9/]*";

bool IsTailChar(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '/';
}

// Printable ASCII that stands for itself outside a character class.
bool IsLiteralChar(char c)
{
    if (c < 0x20 || c > 0x7E) return false;
    switch (c) {
    case '\\':
    case '^':
    case '$':
    case '.':
    case '[':
    case ']':
    case '|':
    case '(':
    case ')':
    case '?':
    case '*':
    case '+':
    case '{':
    case '}':
        return false;
    default:
        return true;
    }
}

bool IsLiteral(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), IsLiteralChar);
}

std::string Pcre2Message(int code)
{
    PCRE2_UCHAR buffer[256];
    int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (n < 0) return "error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

} // namespace

// ---------------------------------------------------------------- TRegExpr

struct TRegExpr::TImpl {
    std::string expression;
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    bool jit = false;
    bool matched = false;
    std::string subject; // copy of the last matched subject, for Match()

    ~TImpl()
    {
        pcre2_match_data_free(data);
        pcre2_code_free(code);
    }
};

TRegExpr::TRegExpr(std::string_view expression, bool ignoreCase) : impl_(std::make_unique<TImpl>())
{
    impl_->expression.assign(expression);
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF;
    if (ignoreCase) options |= PCRE2_CASELESS;
    int error = 0;
    PCRE2_SIZE offset = 0;
    impl_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(), options, &error,
                                &offset, nullptr);
    if (!impl_->code)
        throw EParserError("Invalid regular expression \"" + impl_->expression + "\" at offset " +
                           std::to_string(offset) + ": " + Pcre2Message(error));
    impl_->jit = pcre2_jit_compile(impl_->code, PCRE2_JIT_COMPLETE) == 0;
    impl_->data = pcre2_match_data_create_from_pattern(impl_->code, nullptr);
    if (!impl_->data) throw EOutOfMemory("Out of memory for regular expression match data");
}

TRegExpr::~TRegExpr() = default;
TRegExpr::TRegExpr(TRegExpr&&) noexcept = default;
TRegExpr& TRegExpr::operator=(TRegExpr&&) noexcept = default;

const std::string& TRegExpr::Expression() const noexcept
{
    return impl_->expression;
}
bool TRegExpr::IsJit() const noexcept
{
    return impl_->jit;
}

int TRegExpr::SubExprCount() const noexcept
{
    uint32_t n = 0;
    pcre2_pattern_info(impl_->code, PCRE2_INFO_CAPTURECOUNT, &n);
    return static_cast<int>(n);
}

bool TRegExpr::Exec(std::string_view subject, std::size_t offset)
{
    impl_->matched = false;
    if (offset > subject.size()) return false;
    int rc = pcre2_match(impl_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), offset, 0,
                         impl_->data, nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc < 0) throw Exception("Regular expression \"" + impl_->expression + "\" failed: " + Pcre2Message(rc));
    impl_->matched = true;
    impl_->subject.assign(subject);
    return true;
}

std::size_t TRegExpr::MatchPos(int i) const
{
    if (!impl_->matched || i < 0 || static_cast<uint32_t>(i) >= pcre2_get_ovector_count(impl_->data))
        return std::string::npos;
    PCRE2_SIZE* v = pcre2_get_ovector_pointer(impl_->data);
    return v[2 * i] == PCRE2_UNSET ? std::string::npos : v[2 * i];
}

std::size_t TRegExpr::MatchLen(int i) const
{
    std::size_t pos = MatchPos(i);
    if (pos == std::string::npos) return 0;
    return pcre2_get_ovector_pointer(impl_->data)[2 * i + 1] - pos;
}

std::string TRegExpr::Match(int i) const
{
    std::size_t pos = MatchPos(i);
    if (pos == std::string::npos) return {};
    return impl_->subject.substr(pos, MatchLen(i));
}

bool TRegExpr::MatchesWhole(std::string_view subject)
{
    impl_->matched = false;
    int rc = pcre2_match(impl_->code, reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0, impl_->data,
                         nullptr);
    if (rc == PCRE2_ERROR_NOMATCH) return false;
    if (rc < 0) throw Exception("Regular expression \"" + impl_->expression + "\" failed: " + Pcre2Message(rc));
    const PCRE2_SIZE* v = pcre2_get_ovector_pointer(impl_->data);
    return v[0] == 0 && v[1] == subject.size();
}

// --------------------------------------------------------- literal shapes

std::optional<TLiteralPattern> AnalyseLiteralPattern(std::string_view expression)
{
    TLiteralPattern result;
    std::string_view body = expression;
    if (body.size() > CallTail.size() && body.ends_with(CallTail)) {
        result.HasTail = true;
        body.remove_suffix(CallTail.size());
    }
    if (body.starts_with("(?:") && body.ends_with(')')) {
        body = body.substr(3, body.size() - 4);
        std::size_t start = 0;
        for (;;) {
            std::size_t bar = body.find('|', start);
            std::string_view alt =
                body.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
            if (!IsLiteral(alt)) return std::nullopt;
            result.Literals.emplace_back(alt);
            if (bar == std::string_view::npos) break;
            start = bar + 1;
        }
    } else {
        if (!IsLiteral(body)) return std::nullopt;
        result.Literals.emplace_back(body);
    }
    return result;
}

bool LiteralPatternMatchesWhole(const TLiteralPattern& pattern, std::string_view subject)
{
    for (const std::string& literal : pattern.Literals) {
        if (!subject.starts_with(literal)) continue;
        std::string_view rest = subject.substr(literal.size());
        if (!pattern.HasTail) {
            // Without a tail the alternative taken is the whole match.
            return rest.empty();
        }
        return std::all_of(rest.begin(), rest.end(), IsTailChar);
    }
    // Nothing matches at the start: any match lies further right.
    return false;
}

// ----------------------------------------------------------- TWholeMatcher

TWholeMatcher::TWholeMatcher(std::string expression)
    : expression_(std::move(expression)), literal_(AnalyseLiteralPattern(expression_))
{
}

bool TWholeMatcher::Matches(std::string_view subject)
{
    if (literal_) return LiteralPatternMatchesWhole(*literal_, subject);
    if (!engine_) engine_ = std::make_unique<TRegExpr>(expression_);
    return engine_->MatchesWhole(subject);
}

// --------------------------------------------------------- TWholeMatchList

void TWholeMatchList::Clear()
{
    items_.clear();
    exact_.clear();
    prefix_.clear();
    others_.clear();
    scratch_.clear();
    longestPrefix_ = 0;
}

void TWholeMatchList::Add(std::string expression)
{
    std::size_t index = items_.size();
    items_.emplace_back(std::move(expression));
    const auto& literal = items_.back().Literal();
    if (!literal) {
        others_.push_back(index);
        return;
    }
    TIndexMap& map = literal->HasTail ? prefix_ : exact_;
    for (const std::string& text : literal->Literals) {
        if (literal->HasTail) longestPrefix_ = std::max(longestPrefix_, text.size());
        std::vector<std::size_t>& list = map[text];
        if (list.empty() || list.back() != index) list.push_back(index);
    }
}

std::optional<std::size_t> TWholeMatchList::FirstWholeMatch(std::string_view subject)
{
    scratch_.clear();
    if (!exact_.empty()) {
        if (auto it = exact_.find(subject); it != exact_.end())
            scratch_.insert(scratch_.end(), it->second.begin(), it->second.end());
    }
    if (!prefix_.empty()) {
        for (std::size_t n = 1, last = std::min(subject.size(), longestPrefix_); n <= last; ++n) {
            if (auto it = prefix_.find(subject.substr(0, n)); it != prefix_.end())
                scratch_.insert(scratch_.end(), it->second.begin(), it->second.end());
        }
    }
    std::sort(scratch_.begin(), scratch_.end());
    scratch_.erase(std::unique(scratch_.begin(), scratch_.end()), scratch_.end());

    std::size_t best = items_.size();
    for (std::size_t candidate : scratch_) {
        if (items_[candidate].Matches(subject)) {
            best = candidate;
            break;
        }
    }
    for (std::size_t other : others_) {
        if (other >= best) break;
        if (items_[other].Matches(subject)) return other;
    }
    if (best < items_.size()) return best;
    return std::nullopt;
}
