#pragma once
// What may be wrong with the three boxes before a run starts. None of it
// stops a run: the user is asked and may go on.

#include <vector>

#include "download/range_download.h"

namespace novel {

enum class RangeDoubt {
    book_empty,
    start_empty,
    end_empty,         // the run goes on to the book's last chapter
    start_not_number,  // digits only count as a chapter number
    end_not_number,
    start_after_end,  // the end address is never met on the way
};

[[nodiscard]] std::vector<RangeDoubt> range_doubts(const RangeRequest& request);

}  // namespace novel
