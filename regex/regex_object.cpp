#include "regex/regex_object.h"

#include "platform/gbk.h"
#include "regex/regex_engine.h"
#include "text/text_operations.h"

namespace novel {
namespace {

// The text of a span cut from the GBK subject, with its byte offset or -1.
std::string cut(std::string_view subject, const MatchSpan& span, int* position) {
    if (!span.is_set() || span.length == 0) {
        if (position != nullptr) *position = -1;
        return {};
    }
    if (position != nullptr) *position = static_cast<int>(span.start);
    return std::string(subject.substr(span.start, span.length));
}

}  // namespace

RegexObject::RegexObject() = default;
RegexObject::~RegexObject() = default;
RegexObject::RegexObject(const RegexObject& other) = default;
RegexObject& RegexObject::operator=(const RegexObject& other) = default;
RegexObject::RegexObject(RegexObject&& other) noexcept = default;
RegexObject& RegexObject::operator=(RegexObject&& other) noexcept = default;

bool RegexObject::execute(std::string_view pattern, std::string_view subject,
                          const ExecuteOptions& options) {
    const EngineOptions engine_options{.ignore_case = !options.case_sensitive,
                                       .multiline = options.multiline,
                                       .global = options.global};
    engine_.reset();
    matches_.reset();
    const std::string written = options.unescape_quotes
                                    ? replace_text(pattern, kQuotePlaceholder, "\"")
                                    : std::string(pattern);
    auto engine = std::make_shared<const RegexEngine>(gbk_to_utf16(written), engine_options);
    subject_ = std::string(subject);

    const auto decoded = std::make_shared<const DecodedGbk>(subject_);
    // The collection shares the decoded text instead of copying it.
    std::optional<MatchCollection> found =
        engine->execute(std::shared_ptr<const std::u16string>(decoded, &decoded->utf16()));
    engine_ = std::move(engine);
    if (!found) return false;
    // Match texts and positions come straight from the GBK subject, so a
    // position always points at the very text returned.
    found->map_to_source([&decoded](std::size_t unit) { return decoded->byte_offset(unit); });
    matches_ = std::make_shared<const MatchCollection>(std::move(*found));
    return true;
}

std::string RegexObject::pattern() const {
    if (!engine_) return {};
    return utf16_to_gbk(engine_->pattern());
}

std::string RegexObject::replace(std::string_view replacement) const {
    if (!matches_) return {};
    // Built from the GBK subject itself, as match texts are, so that bytes
    // that are no character survive the round trip.
    return replace_matches_in_source(*matches_, subject_, replacement);
}

int RegexObject::match_count() const { return matches_ ? static_cast<int>(matches_->size()) : 0; }

std::string RegexObject::match(int index, int* position) const {
    if (!matches_ || index < 1) return cut(subject_, MatchSpan{}, position);
    return cut(subject_, matches_->source_span(static_cast<std::size_t>(index) - 1), position);
}

std::string RegexObject::submatch(int match_index, int group_index, int* position) const {
    if (!matches_ || match_index < 1 || group_index < 1) {
        return cut(subject_, MatchSpan{}, position);
    }
    return cut(subject_,
               matches_->source_span(static_cast<std::size_t>(match_index) - 1,
                                     static_cast<std::size_t>(group_index)),
               position);
}

int RegexObject::submatch_count() const {
    if (!matches_ || matches_->size() == 0) return 0;
    return static_cast<int>(matches_->group_count());
}

}  // namespace novel
