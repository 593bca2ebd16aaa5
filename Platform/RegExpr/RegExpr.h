// Regular expressions over PCRE2 (8-bit, UTF-8 mode, JIT when available)
// and a matcher for the callsign dictionary's "first match covers the whole
// callsign" rule that decides literal-shaped expressions without the engine.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One compiled expression. Case-sensitive Perl-style syntax by default.
// Subjects are UTF-8; invalid sequences never match anything. Not
// thread-safe: the match data is reused between calls.
class TRegExpr {
public:
    // Compiles at once. Throws EParserError naming the expression, the
    // offset and PCRE2's message when it does not compile.
    explicit TRegExpr(std::string_view expression, bool ignoreCase = false);
    ~TRegExpr();
    TRegExpr(TRegExpr&&) noexcept;
    TRegExpr& operator=(TRegExpr&&) noexcept;
    TRegExpr(const TRegExpr&) = delete;
    TRegExpr& operator=(const TRegExpr&) = delete;

    const std::string& Expression() const noexcept;
    bool IsJit() const noexcept;
    // Number of capturing groups in the expression.
    int SubExprCount() const noexcept;

    // Searches subject from offset for the leftmost match (among the
    // alternatives at that place, the first one that succeeds). The match
    // and its groups can then be read below until the next call.
    bool Exec(std::string_view subject, std::size_t offset = 0);
    // Byte offset and length of group i (0 = whole match) of the last
    // successful Exec; npos / 0 for a group that did not take part.
    std::size_t MatchPos(int i = 0) const;
    std::size_t MatchLen(int i = 0) const;
    std::string Match(int i = 0) const;

    // True when the first match found in subject is the whole subject.
    bool MatchesWhole(std::string_view subject);

private:
    struct TImpl;
    std::unique_ptr<TImpl> impl_;
};

// Expressions of the shapes the country dictionary is made of, which can be
// decided without the engine:
//   Literal            ABC
//   Alternation        (?:AB|CD|E)
// each optionally followed by the call tail "[A-Z0-9/]*". Literals are
// non-empty runs of printable ASCII characters that are not metacharacters.
struct TLiteralPattern {
    std::vector<std::string> Literals; // one for a plain literal; alternatives in order
    bool HasTail = false;              // followed by [A-Z0-9/]*
};

// The literal form of an expression, or nothing when it has another shape
// (or would be matched case-insensitively).
std::optional<TLiteralPattern> AnalyseLiteralPattern(std::string_view expression);

// The engine's whole-subject rule for a literal pattern: the first
// alternative that starts the subject is taken (the tail never fails, so the
// engine does not come back to try others); the match is whole when the
// rest of the subject is all tail characters, or empty without a tail.
bool LiteralPatternMatchesWhole(const TLiteralPattern& pattern, std::string_view subject);

// One expression under the whole-subject rule: literal shapes are decided
// directly, anything else is compiled on first use (so an expression that
// does not compile raises EParserError only when a subject reaches it).
class TWholeMatcher {
public:
    explicit TWholeMatcher(std::string expression);
    const std::string& Expression() const noexcept { return expression_; }
    // The literal form, when the expression has one.
    const std::optional<TLiteralPattern>& Literal() const noexcept { return literal_; }
    bool Matches(std::string_view subject);

private:
    std::string expression_;
    std::optional<TLiteralPattern> literal_;
    std::unique_ptr<TRegExpr> engine_;
};

// An ordered list of expressions answering "which is the first one whose
// first match is the whole subject", as a scan in list order would, without
// trying every element: literal shapes are found through hash tables on
// their literals; only the other expressions placed before the best literal
// candidate go to the engine, in order (so a broken one raises exactly when
// an in-order scan would reach it).
class TWholeMatchList {
public:
    void Clear();
    // Appends; index = previous Count().
    void Add(std::string expression);
    std::size_t Count() const noexcept { return items_.size(); }
    const std::string& Expression(std::size_t index) const { return items_[index].Expression(); }
    // Index of the first matching expression.
    std::optional<std::size_t> FirstWholeMatch(std::string_view subject);

private:
    struct THash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const noexcept { return std::hash<std::string_view>{}(s); }
    };
    using TIndexMap = std::unordered_map<std::string, std::vector<std::size_t>, THash, std::equal_to<>>;

    std::vector<TWholeMatcher> items_;
    TIndexMap exact_;                  // literal -> elements without tail holding it
    TIndexMap prefix_;                 // literal -> elements with tail holding it
    std::vector<std::size_t> others_;  // elements the engine decides, ascending
    std::size_t longestPrefix_ = 0;    // longest key of prefix_
    std::vector<std::size_t> scratch_; // candidates of one lookup
};
