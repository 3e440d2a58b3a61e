#pragma once
// Where a range download gets its pages: one request at a time, or several
// ahead along the chain. The run asks for the page it needs next and tells
// the source how the chain goes on.

#include <cstdint>
#include <stop_token>
#include <string>

#include "http/http_response.h"

namespace novel {

// One answer to one request, whatever it was.
using PageAnswer = HttpResponse;

class PageSource {
public:
    virtual ~PageSource() = default;

    // The page at link. Blocks until it is here, its request failed, or stop
    // is requested (error: stopped).
    [[nodiscard]] virtual PageAnswer fetch(const std::string& link, std::stop_token stop) = 0;

    // A run begins (or goes on): it ends at end_link, and it has room for
    // page_budget more pages.
    virtual void run_starts(const std::string& /*end_link*/, std::uint64_t /*page_budget*/) {}

    // The chain reached link, whose page leads to next.
    virtual void chain_moved(const std::string& /*link*/, const std::string& /*next*/) {}

    // The site answered 429 or 503: ask it for less from now on.
    virtual void slow_down() {}
};

// One GET after another through the request routine, as a reading does.
class SerialPages final : public PageSource {
public:
    [[nodiscard]] PageAnswer fetch(const std::string& link, std::stop_token stop) override;
};

}  // namespace novel
