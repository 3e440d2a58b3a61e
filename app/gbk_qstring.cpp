#include "app/gbk_qstring.h"

#include "platform/gbk.h"

namespace novel {

QString qstring_from_gbk(std::string_view gbk) {
    return QString::fromStdU16String(gbk_to_utf16(gbk));
}

std::string gbk_from_qstring(const QString& text) { return utf16_to_gbk(text.toStdU16String()); }

}  // namespace novel
