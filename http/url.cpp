#include "http/url.h"

#include "http/curl_handles.h"

namespace novel {

std::optional<std::string> url_host(std::string_view url) {
    // The library takes C strings: a NUL would hide the rest of the address.
    if (url.find('\0') != std::string_view::npos) return std::nullopt;
    curl::initialise_once();
    const curl::UrlPtr parsed(curl_url());
    if (!parsed) return std::nullopt;
    const std::string text(url);
    if (curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) != CURLUE_OK) {
        return std::nullopt;
    }
    char* raw_host = nullptr;
    const CURLUcode got = curl_url_get(parsed.get(), CURLUPART_HOST, &raw_host, CURLU_URLDECODE);
    const curl::TextPtr host(raw_host);
    if (got != CURLUE_OK || !host) return std::nullopt;
    std::string lower(host.get());
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

}  // namespace novel
