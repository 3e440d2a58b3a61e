#pragma once
// The download window's handlers: they read and write controls through
// WindowOperations and keep their values in the program-wide state.

namespace novel {

class WindowOperations;

// Creation handler of the download window: takes the book and chapter
// numbers from the reader window's link box.
void take_current_index(WindowOperations& windows);

// 按钮1 "取当前阅读序号": puts the numbers of the last creation into the boxes.
void fill_current_index(WindowOperations& windows);

// 按钮2 "开始下载": downloads the range into "文本.txt" beside the program.
void download_range(WindowOperations& windows);

}  // namespace novel
