#pragma once
// The information boxes of the range download, in GBK. Paths and the
// system's reasons arrive as UTF-8 and are converted here.

#include <string>
#include <string_view>

#include "download/range_download.h"
#include "platform/gbk.h"

namespace novel {

[[nodiscard]] std::string start_message();

// The words every front end tells a stop rule by (GBK), so the window and
// the terminal say it the same way: "下一页链接在第N页后中断（…），未到达结束章节。"
[[nodiscard]] std::string broken_chain_line(const RangeResult& result);
// Why a journal was not continued, in one sentence (GBK).
[[nodiscard]] std::string journal_problem_line(const RangeResult& result);
// A run without an end that reached the page the book has not got yet.
[[nodiscard]] std::string newest_chapter_line(const RangeResult& result);

// The box at the end of a run. can_continue: a journal was left beside the
// file, so the run can be continued.
[[nodiscard]] std::string final_message(const RangeResult& result, std::string_view output_path,
                                        bool can_continue);

// When no folder for the file can be found, nothing is downloaded.
[[nodiscard]] std::string no_directory_message(std::string_view reason);

}  // namespace novel
