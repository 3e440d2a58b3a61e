#pragma once
// Inside the http layer only: the one place where the transfer library's
// handles get their owners. Nothing outside http/ includes this header.

#include <curl/curl.h>

#include <memory>

namespace novel::curl {

struct EasyDeleter {
    void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM* multi) const { curl_multi_cleanup(multi); }
};
struct ShareDeleter {
    void operator()(CURLSH* share) const { curl_share_cleanup(share); }
};
struct SlistDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct UrlDeleter {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
// Texts the library allocates and hands over, such as the parts of a CURLU.
struct TextDeleter {
    void operator()(char* text) const { curl_free(text); }
};
using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using SharePtr = std::unique_ptr<CURLSH, ShareDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlPtr = std::unique_ptr<CURLU, UrlDeleter>;
using TextPtr = std::unique_ptr<char, TextDeleter>;

// curl_global_init, once for the process, before the first handle is made.
void initialise_once();

}  // namespace novel::curl
