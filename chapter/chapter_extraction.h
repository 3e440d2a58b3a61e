#pragma once
// Turns a chapter page into its clean text and finds the next page's address.

#include <string>
#include <string_view>

namespace novel {

class RegexObject;
class WorkingText;

// The extraction values one entry point keeps between its calls.
struct ExtractionState {
    RegexObject* regex;
    std::string* page_text;
    std::string* title;
    std::string* next_link;
};

// Runs the whole pipeline on an already fetched page: every stage of the
// working text passes through work, and state.next_link is set last.
void extract_chapter(std::string_view page, const ExtractionState& state, WorkingText& work);

// The reader's entry point: fetches link into the reader window's content box
// and moves next_chapter_link on. link may be next_chapter_link itself.
void show_chapter(std::string_view link);

// The download's entry point: returns the clean text and moves
// download_next_link on. Touches none of the reader's values.
[[nodiscard]] std::string chapter_text(std::string_view link);

}  // namespace novel
