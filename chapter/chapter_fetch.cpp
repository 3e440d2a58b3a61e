#include "chapter/chapter_fetch.h"

#include "http/http_request.h"
#include "platform/gbk.h"

namespace novel {

FetchedChapter fetch_chapter(std::string_view link, std::stop_token stop) {
    FetchedChapter fetched;
    // Copied first: link may view a text the caller replaces with the result.
    const std::string address(link);
    ByteData body = http_request(
        address,
        {.status = &fetched.status, .stop = std::move(stop), .transport_error = &fetched.error});
    fetched.chapter = extract_chapter(body);
    fetched.page = std::move(body);
    return fetched;
}

std::string describe_failure(TransportError error, std::int32_t status) {
    switch (error) {
        case TransportError::none:
            break;
        case TransportError::name_not_resolved:
            return utf16_to_gbk(u"无法解析网站域名");
        case TransportError::cannot_connect:
            return utf16_to_gbk(u"无法连接网站");
        case TransportError::timed_out:
            return utf16_to_gbk(u"连接超时");
        case TransportError::connection_reset:
            return utf16_to_gbk(u"连接中断");
        case TransportError::stopped:
            return utf16_to_gbk(u"已停止");
        case TransportError::other:
            return utf16_to_gbk(u"请求失败");
    }
    if (status / 100 == 2) return {};
    return utf16_to_gbk(u"HTTP 状态 ") + std::to_string(status);
}

}  // namespace novel
