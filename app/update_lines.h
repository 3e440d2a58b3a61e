#pragma once
// One line per book checked for new chapters, in the terminal's words.

#include <QString>

#include "update/update_books.h"

namespace novel {

// 「《NAME》：新增 N 章（FIRST …… LAST），更新 M 章」, 「《NAME》：没有新章节」,
// or why the book could not be checked.
[[nodiscard]] QString update_line_text(const BookUpdate& update);

}  // namespace novel
