#include "download/page_source.h"

#include "http/http_request.h"

namespace novel {

PageAnswer SerialPages::fetch(const std::string& link, std::stop_token stop) {
    PageAnswer answer;
    answer.body = http_request(link, {.returned_headers = &answer.headers,
                                      .status = &answer.status,
                                      .stop = std::move(stop),
                                      .transport_error = &answer.error});
    return answer;
}

}  // namespace novel
