#pragma once
// What a person is told of an update, one line per book, in GBK: the same
// words in the terminal and in the bookshelf.

#include <string>

#include "update/export_again.h"
#include "update/update_books.h"

namespace novel {

// 「《NAME》：新增 N 章（FIRST …… LAST），更新 M 章」, 「《NAME》：没有新章节」,
// or why the book could not be checked.
[[nodiscard]] std::string update_line(const BookUpdate& update);

// 「已重新导出《NAME》N 页到 PATH」, that it was never exported, or why writing
// it again failed.
[[nodiscard]] std::string export_again_line(const ExportAgain& again);

}  // namespace novel
