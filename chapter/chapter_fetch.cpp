#include "chapter/chapter_fetch.h"

#include "http/http_request.h"

namespace novel {

FetchedChapter fetch_chapter(std::string_view link, std::stop_token stop) {
    FetchedChapter fetched;
    // Copied first: link may view a text the caller replaces with the result.
    const std::string address(link);
    HttpResponse response = http_fetch(address, {.stop = std::move(stop)});
    fetched.status = response.status;
    fetched.error = response.error;
    fetched.chapter = extract_chapter(response.body);
    fetched.page = std::move(response.body);
    return fetched;
}

}  // namespace novel
