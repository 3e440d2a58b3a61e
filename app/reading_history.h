#pragma once
// The chapters shown in this run, for going back and forward: a list of the
// addresses read and the place in it, as a browser keeps its history.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace novel {

class ReadingHistory {
public:
    // A chapter read by fetching or paging becomes the current one. Reading
    // the chapter that comes next in the history moves there and keeps what
    // follows it; any other chapter replaces what followed the current one.
    void visit(const std::string& link);

    // The chapter before (after) the current one, which becomes current;
    // nothing, and no move, at either end.
    [[nodiscard]] std::optional<std::string> go_back();
    [[nodiscard]] std::optional<std::string> go_forward();

    [[nodiscard]] bool can_go_back() const { return current_ > 0; }
    [[nodiscard]] bool can_go_forward() const { return current_ + 1 < links_.size(); }

private:
    std::vector<std::string> links_;
    std::size_t current_ = 0;  // meaningful once links_ holds a chapter
};

}  // namespace novel
