#pragma once
// The windows show QStrings; the rest of the program holds GBK texts.

#include <QString>
#include <string>
#include <string_view>

namespace novel {

[[nodiscard]] QString qstring_from_gbk(std::string_view gbk);
[[nodiscard]] std::string gbk_from_qstring(const QString& text);

// Control names and captions are UTF-8 in the source.
[[nodiscard]] inline QString qstring_from_utf8(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

}  // namespace novel
