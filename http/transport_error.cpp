#include "http/transport_error.h"

#include "platform/gbk.h"

namespace novel {

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
    if (is_success_status(status)) return {};
    return utf16_to_gbk(u"HTTP 状态 ") + std::to_string(status);
}

}  // namespace novel
