#pragma once
// The regular-expression object the chapter pipeline runs its link pattern
// on. Texts in and out are GBK; the engine beneath works on UTF-16.

#include <memory>
#include <string>
#include <string_view>

namespace novel {

class RegexEngine;
class MatchCollection;

struct ExecuteOptions {
    bool case_sensitive = false;
    bool multiline = true;
    bool global = true;
    bool unescape_quotes = false;  // "#引号" in the pattern stands for a double quote
};

class RegexObject {
public:
    RegexObject();
    ~RegexObject();
    // A copy shares the engine and the matches and holds its own subject.
    RegexObject(const RegexObject& other);
    RegexObject& operator=(const RegexObject& other);
    RegexObject(RegexObject&& other) noexcept;
    RegexObject& operator=(RegexObject&& other) noexcept;

    // Replaces engine, subject and matches. False when no match collection
    // came back (an invalid pattern, or a search that hit the engine's
    // limits); a valid pattern without a match is true.
    bool execute(std::string_view pattern, std::string_view subject,
                 const ExecuteOptions& options = {});

    [[nodiscard]] std::string pattern() const;
    [[nodiscard]] std::string replace(std::string_view replacement = {}) const;
    [[nodiscard]] int match_count() const;
    // Indices count from 1; "" for anything out of range. position, when
    // given, receives the 0-based byte offset in the subject, -1 for "".
    [[nodiscard]] std::string match(int index, int* position = nullptr) const;
    [[nodiscard]] std::string submatch(int match_index, int group_index,
                                       int* position = nullptr) const;
    [[nodiscard]] int submatch_count() const;

private:
    std::shared_ptr<const RegexEngine> engine_;
    std::shared_ptr<const MatchCollection> matches_;
    std::string subject_;
};

}  // namespace novel
