#pragma once
// The journal of an unfinished range download, kept beside its output file
// so that the run can be continued to the very bytes of an uninterrupted one.
//
// Two files: FILE.progress, a few lines rewritten atomically (temporary file,
// fsync, rename), and FILE.progress.links, the addresses fetched so far, one
// per line, appended; the first holds how many bytes of the second count, so
// a line written after the state (or half written) never counts.
// Texts are GBK, kept byte for byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/content_hash.h"
#include "platform/files.h"

namespace novel {

struct JournalState {
    // The boxes as they were typed when the run began.
    std::string book;
    std::string start;
    std::string end;
    std::string next_link;          // the address to fetch next
    std::uint64_t file_length = 0;  // the output file after the last whole page
    std::uint64_t pages = 0;
    std::uint64_t links_length = 0;  // bytes of the links file that belong to the run
    bool utf8 = false;               // the file's pages are UTF-8, not GBK
    // ContentHash of the output file's first file_length bytes: continuing
    // checks the file is still the one the journal was written for.
    std::uint64_t fingerprint = ContentHash().value();
};

// What continuing a run needs: the state and every address fetched in it.
struct Journal {
    JournalState state;
    std::vector<std::string> fetched_links;
};

[[nodiscard]] std::string journal_path(std::string_view output_path);
[[nodiscard]] std::string journal_links_path(std::string_view output_path);

// The journal beside output_path, when there is a whole and readable one.
[[nodiscard]] std::optional<Journal> read_journal(const std::string& output_path);

// Removes both files; a journal that is already gone is no error.
[[nodiscard]] FileResult remove_journal(const std::string& output_path);

// One line of the links file.
[[nodiscard]] std::string journal_links_line(std::string_view link);

// The state's own file alone, as read_journal would read it back.
[[nodiscard]] std::string encode_journal_state(const JournalState& state);
[[nodiscard]] std::optional<JournalState> decode_journal_state(std::string_view bytes);

}  // namespace novel
