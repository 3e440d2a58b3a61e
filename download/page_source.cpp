#include "download/page_source.h"

#include "http/http_request.h"

namespace novel {

PageAnswer SerialPages::fetch(const std::string& link, std::stop_token stop) {
    return http_fetch(link, {.stop = std::move(stop)});
}

}  // namespace novel
