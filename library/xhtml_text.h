#pragma once
// Texts made ready for XHTML: UTF-8 that XML 1.0 accepts, escaped, and a
// stored chapter text cut into its paragraphs.

#include <string>
#include <string_view>
#include <vector>

#include "platform/gbk.h"  // utf8_from_gbk, which every caller of these needs first

namespace novel {

// Drops what an XML 1.0 document may not hold: control characters other
// than tab, LF and CR (NUL among them), surrogate code points, U+FFFE and
// U+FFFF, and bytes that are not well-formed UTF-8.
[[nodiscard]] std::string xml_characters_only(std::string_view utf8);

// xml_characters_only, with &, <, > and " written as entities, so the result
// fits both element text and attribute values.
[[nodiscard]] std::string xml_escape(std::string_view utf8);
// The same, appended to out: a chapter's paragraphs go into one buffer.
void append_xml_escaped(std::string_view utf8, std::string* out);

// A page's paragraphs, one per line of its text (CR LF or LF), unescaped;
// views into utf8_text.
// The text opens with CR LF and the page's title line, which the document
// shows as its heading and so is skipped here. Blank lines are dropped, and
// the leading spaces (ASCII, full-width, no-break) the site indents with go,
// since the style sheet indents instead.
[[nodiscard]] std::vector<std::string_view> page_paragraphs(std::string_view utf8_text);

}  // namespace novel
