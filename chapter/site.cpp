#include "chapter/site.h"

#include <optional>

#include "http/url.h"

namespace novel {

bool is_site_address(std::string_view link) {
    static const std::optional<UrlOrigin> site = url_origin(SITE_ORIGIN);
    const std::optional<UrlOrigin> origin = url_origin(link);
    return origin.has_value() && origin == site;
}

}  // namespace novel
