// The GBK text operations and cutting functions against the plain versions in
// reference_text.h, on any texts, markers, positions and counts.
//
// Input: the text, the needle and the replacement, each ended by a backslash
// and one more byte ("\\" is a backslash inside them); positions, counts and
// switches are taken from the bytes at the end.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz/fuzz_check.h"
#include "fuzz/reference_text.h"
#include "text/text_cutting.h"
#include "text/text_operations.h"

namespace novel::fuzz {
namespace {

namespace ref = novel::reference;

struct Arguments {
    std::string text;
    std::string needle;
    std::string replacement;
    int start = 1;
    int n = 0;
    std::optional<int> count;
    std::optional<int> last_start;
    bool ignore_case = false;
};

Arguments take_arguments(FuzzedDataProvider& input) {
    Arguments a;
    a.text = input.ConsumeRandomLengthString();
    a.needle = input.ConsumeRandomLengthString();
    a.replacement = input.ConsumeRandomLengthString();
    const int reach = static_cast<int>(a.text.size()) + 3;
    a.start = input.ConsumeIntegralInRange(-3, reach);
    a.n = input.ConsumeIntegralInRange(-3, reach);
    if (input.ConsumeBool()) a.count = input.ConsumeIntegralInRange(-1, 4);
    if (input.ConsumeBool()) a.last_start = input.ConsumeIntegralInRange(-3, reach);
    a.ignore_case = input.ConsumeBool();
    return a;
}

void check_operations(const Arguments& a) {
    FUZZ_CHECK(text_length(a.text) == static_cast<int>(a.text.size()));
    FUZZ_CHECK(find_text(a.text, a.needle, a.start, a.ignore_case) ==
               ref::find_text(a.text, a.needle, a.start, a.ignore_case));
    FUZZ_CHECK(find_text_last(a.text, a.needle, a.last_start, a.ignore_case) ==
               ref::find_text_last(a.text, a.needle, a.last_start, a.ignore_case));
    const std::string replaced =
        replace_text(a.text, a.needle, a.replacement, a.start, a.count, !a.ignore_case);
    FUZZ_CHECK(replaced == ref::replace_text(a.text, a.needle, a.replacement, a.start, a.count,
                                             !a.ignore_case));
    std::string into = "untouched";
    if (replace_text_into(a.text, a.needle, a.replacement, a.start, a.count, !a.ignore_case,
                          &into)) {
        FUZZ_CHECK(into == replaced);
    } else {
        FUZZ_CHECK(into == "untouched");
        FUZZ_CHECK(replaced == a.text);
    }
    FUZZ_CHECK(left_text(a.text, a.n) == ref::left_text(a.text, a.n));
    FUZZ_CHECK(right_text(a.text, a.n) == ref::right_text(a.text, a.n));
    FUZZ_CHECK(mid_text(a.text, a.start, a.n) == ref::mid_text(a.text, a.start, a.n));
    FUZZ_CHECK(split_text(a.text, a.needle) == ref::split_text(a.text, a.needle));
    FUZZ_CHECK(trim_text(a.text) == ref::trim_text(a.text));
    FUZZ_CHECK(remove_spaces(a.text) == ref::remove_spaces(a.text));
}

// The cutting functions, from their descriptions in text_cutting.h.
std::string reference_between(const Arguments& a) {
    const std::string quote = "\"";
    const std::string left = ref::replace_text(a.needle, kQuotePlaceholder, quote, 1, {}, true);
    const std::string right =
        ref::replace_text(a.replacement, kQuotePlaceholder, quote, 1, {}, true);
    for (const std::size_t l : ref::occurrences(a.text, left, a.ignore_case)) {
        if (l < ref::first_offset(a.start)) continue;
        const std::size_t inside = l + left.size();
        for (const std::size_t r : ref::occurrences(a.text, right, a.ignore_case)) {
            if (r >= inside) return a.text.substr(inside, r - inside);
        }
        return {};
    }
    return {};
}

std::string reference_after_last(const Arguments& a) {
    std::optional<std::size_t> last;
    for (const std::size_t m : ref::occurrences(a.text, a.needle, a.ignore_case)) {
        if (!a.last_start || static_cast<long long>(m) + 1 <= *a.last_start) last = m;
    }
    return last ? a.text.substr(*last + a.needle.size()) : std::string();
}

std::string reference_before_first(const Arguments& a) {
    for (const std::size_t m : ref::occurrences(a.text, a.needle, a.ignore_case)) {
        if (m >= ref::first_offset(a.start)) return a.text.substr(0, m);
    }
    return {};
}

void check_cutting(const Arguments& a) {
    FUZZ_CHECK(text_between(a.text, a.needle, a.replacement, a.start, a.ignore_case) ==
               reference_between(a));
    FUZZ_CHECK(text_after_last(a.text, a.needle, a.last_start, a.ignore_case) ==
               reference_after_last(a));
    FUZZ_CHECK(text_before_first(a.text, a.needle, a.start, a.ignore_case) ==
               reference_before_first(a));

    // Two pairs, each applied to the result of the one before.
    const ReplacePairsOptions options{
        .count = a.count, .start = a.start, .case_sensitive = !a.ignore_case};
    const int start = a.start == 0 ? 1 : a.start;
    std::string expected =
        ref::replace_text(a.text, a.needle, a.replacement, start, a.count, !a.ignore_case);
    expected = ref::replace_text(expected, a.replacement, a.needle, start, a.count, !a.ignore_case);
    FUZZ_CHECK(replace_pairs(a.text, {{a.needle, a.replacement}, {a.replacement, a.needle}},
                             options) == expected);
}

}  // namespace
}  // namespace novel::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace novel::fuzz;
    FuzzedDataProvider input(data, size);
    const Arguments arguments = take_arguments(input);
    check_operations(arguments);
    check_cutting(arguments);
    return 0;
}
