#pragma once
// The program-wide state: created at start-up before anything else runs,
// released by release_globals at exit. Each value has one writer.

#include <cstdint>
#include <string>

#include "regex/regex_object.h"

namespace novel {

class WorkingText;

struct ProgramState {
    RegexObject reader_regex;    // show_chapter's
    RegexObject download_regex;  // chapter_text's

    std::string next_chapter_link;   // written by show_chapter, read by the reader window
    std::string download_next_link;  // written by chapter_text, read by the download

    std::string reader_page_text;
    std::string reader_title;
    std::string download_page_text;
    std::string download_title;
    std::string download_work_text;

    std::string current_book_number;
    std::string current_chapter_number;
    std::string download_text;
    std::string download_link;
    std::string download_end_link;

    std::int32_t paging_hot_key_id = 0;

    // The reader window's content box, show_chapter's working text; set by
    // the reader window while it exists.
    WorkingText* reader_content_box = nullptr;
};

// Constructs the state (reader_regex first, then download_regex).
void create_globals();
// Destroys the state; globals() must not be used afterwards.
void release_globals();
// The state created by create_globals.
[[nodiscard]] ProgramState& globals();

}  // namespace novel
