#pragma once
// A working text that remembers every stage written into it, standing in
// for the reader window's content box.

#include <string>
#include <string_view>
#include <vector>

#include "chapter/working_text.h"

namespace novel::fixture {

class RecordingWorkingText final : public WorkingText {
  public:
    [[nodiscard]] std::string read() const override { return text_; }
    void write(std::string_view text) override {
        text_.assign(text);
        writes_.push_back(text_);
    }

    [[nodiscard]] const std::string& text() const { return text_; }
    [[nodiscard]] const std::vector<std::string>& writes() const { return writes_; }
    void reset(std::string_view text) {
        text_.assign(text);
        writes_.clear();
    }

  private:
    std::string text_;
    std::vector<std::string> writes_;
};

}  // namespace novel::fixture
