#pragma once
// What the tool says when a download ends, composed from the run's result
// (GBK, one line; report_error prints it).

#include <string>

#include "download/range_download.h"

namespace novel::cli {

// can_continue: the journal lies beside the file, so --continue goes on from here.
[[nodiscard]] std::string download_end_message(const RangeResult& result,
                                               const std::string& output_path, bool can_continue);

}  // namespace novel::cli
