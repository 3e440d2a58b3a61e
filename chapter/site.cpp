#include "chapter/site.h"

#include <optional>

#include "http/url.h"
#include "text/text_cutting.h"

namespace novel {

bool is_site_address(std::string_view link) {
    static const std::optional<UrlOrigin> site = url_origin(SITE_ORIGIN);
    const std::optional<UrlOrigin> origin = url_origin(link);
    return origin.has_value() && origin == site;
}

std::string chapter_address(std::string_view book, std::string_view chapter) {
    std::string address(SITE_ORIGIN);
    address.append("/").append(book).append("/").append(chapter).append(".html");
    return address;
}

ChapterIndex chapter_index_of(std::string_view link) {
    ChapterIndex index;
    index.book_number = text_before_first(text_after_last(link, ".com/"), "/");
    index.chapter_number = text_between(link, index.book_number + "/", ".html");
    return index;
}

}  // namespace novel
