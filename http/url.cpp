#include "http/url.h"

#include "http/curl_handles.h"

namespace novel {

namespace {

std::string lower_ascii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

// The address as the transfer library reads it; null when it does not parse.
curl::UrlPtr parsed_url(std::string_view url) {
    // The library takes C strings: a NUL would hide the rest of the address.
    if (url.find('\0') != std::string_view::npos) return nullptr;
    curl::initialise_once();
    curl::UrlPtr parsed(curl_url());
    if (!parsed) return nullptr;
    const std::string text(url);
    if (curl_url_set(parsed.get(), CURLUPART_URL, text.c_str(),
                     CURLU_NON_SUPPORT_SCHEME | CURLU_ALLOW_SPACE) != CURLUE_OK) {
        return nullptr;
    }
    return parsed;
}

std::optional<std::string> url_part(const curl::UrlPtr& parsed, CURLUPart part,
                                    unsigned int flags) {
    char* raw = nullptr;
    const CURLUcode got = curl_url_get(parsed.get(), part, &raw, flags);
    const curl::TextPtr text(raw);
    if (got != CURLUE_OK || !text) return std::nullopt;
    return lower_ascii(text.get());
}

}  // namespace

std::optional<std::string> url_host(std::string_view url) {
    const curl::UrlPtr parsed = parsed_url(url);
    if (!parsed) return std::nullopt;
    return url_part(parsed, CURLUPART_HOST, CURLU_URLDECODE);
}

std::optional<UrlOrigin> url_origin(std::string_view url) {
    const curl::UrlPtr parsed = parsed_url(url);
    if (!parsed) return std::nullopt;
    std::optional<std::string> scheme = url_part(parsed, CURLUPART_SCHEME, 0);
    std::optional<std::string> host = url_part(parsed, CURLUPART_HOST, CURLU_URLDECODE);
    std::optional<std::string> port = url_part(parsed, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    if (!scheme || !host || !port) return std::nullopt;
    return UrlOrigin{std::move(*scheme), std::move(*host), std::move(*port)};
}

}  // namespace novel
