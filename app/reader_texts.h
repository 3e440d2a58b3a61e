#pragma once
// The reader window's fixed names, texts and colours.

#include <QColor>
#include <QString>
#include <cstdint>
#include <string_view>

namespace novel {

inline constexpr std::string_view CONTACT_NUMBER = "10001";

// Hot keys are asked for with the usual modifier flags and virtual-key codes.
inline constexpr std::uint32_t NO_MODIFIERS = 0;
inline constexpr std::uint32_t VIRTUAL_KEY_DOWN = 0x28;

inline constexpr QRgb PLACEHOLDER_COLOUR = 0xC0C0C0;
inline constexpr QRgb USER_TEXT_COLOUR = 0x000000;

// The reader window's controls (UTF-8 names).
inline constexpr std::string_view CONTENT_BOX = "编辑框1";
inline constexpr std::string_view LINK_BOX = "编辑框2";
inline constexpr std::string_view FETCH_BUTTON = "按钮3";
inline constexpr std::string_view DOWNLOAD_BUTTON = "按钮1";
inline constexpr std::string_view NEXT_PAGE_BUTTON = "按钮2";
inline constexpr std::string_view LAYOUT_TIMER = "时钟1";
inline constexpr std::string_view HOT_KEY_LABEL = "标签1";

[[nodiscard]] inline QString link_placeholder() {
    return QStringLiteral("在这里粘贴小说链接，仅支持趣笔阁链接");
}

[[nodiscard]] inline QString startup_notice() {
    return QStringLiteral("本软件仅供学习交流，请勿用于违法途径，CorvaneQQ：") +
           QString::fromLatin1(CONTACT_NUMBER.data(),
                               static_cast<qsizetype>(CONTACT_NUMBER.size()));
}

}  // namespace novel
