#pragma once

#include <string>
#include <string_view>

namespace novel {

// Where the chapter pipeline keeps its working text while it cleans a page:
// a plain text for downloads, the reader window's content box for reading.
class WorkingText {
public:
    virtual ~WorkingText() = default;
    [[nodiscard]] virtual std::string read() const = 0;
    virtual void write(std::string_view text) = 0;
};

// The working text held in memory.
class StringWorkingText final : public WorkingText {
public:
    explicit StringWorkingText(std::string* storage) : storage_(storage) {}
    [[nodiscard]] std::string read() const override { return *storage_; }
    void write(std::string_view text) override { storage_->assign(text); }

private:
    std::string* storage_;
};

}  // namespace novel
