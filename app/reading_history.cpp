#include "app/reading_history.h"

namespace novel {

void ReadingHistory::visit(const std::string& link) {
    if (links_.empty()) {
        links_.push_back(link);
        current_ = 0;
        return;
    }
    if (links_[current_] == link) return;  // the same chapter again
    if (can_go_forward() && links_[current_ + 1] == link) {
        ++current_;
        return;
    }
    links_.resize(current_ + 1);
    links_.push_back(link);
    ++current_;
}

std::optional<std::string> ReadingHistory::go_back() {
    if (!can_go_back()) return std::nullopt;
    return links_[--current_];
}

std::optional<std::string> ReadingHistory::go_forward() {
    if (!can_go_forward()) return std::nullopt;
    return links_[++current_];
}

}  // namespace novel
