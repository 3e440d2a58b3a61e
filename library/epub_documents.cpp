#include "library/epub_documents.h"

#include <cstdio>
#include <ctime>

#include "library/xhtml_text.h"

namespace novel {
namespace {

constexpr std::string_view kXmlDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

std::string xhtml_open(std::string_view language) {
    std::string out(kXmlDeclaration);
    out +=
        "<!DOCTYPE html>\n<html xmlns=\"http://www.w3.org/1999/xhtml\" "
        "xmlns:epub=\"http://www.idpf.org/2007/ops\" xml:lang=\"";
    out.append(xml_escape(language)).append("\" lang=\"").append(xml_escape(language));
    out += "\">\n";
    return out;
}

std::string xhtml_head(std::string_view title, std::string_view css_href) {
    std::string out = "<head>\n<meta charset=\"UTF-8\"/>\n<title>";
    out.append(xml_escape(title))
        .append("</title>\n<link rel=\"stylesheet\" type=\"text/css\" href=\"");
    out.append(css_href).append("\"/>\n</head>\n");
    return out;
}

std::string format_time(long long seconds, const char* format) {
    const std::time_t time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    gmtime_r(&time, &parts);
    char buffer[32];
    const std::size_t length = std::strftime(buffer, sizeof buffer, format, &parts);
    return std::string(buffer, length);
}

}  // namespace

std::string container_document() {
    std::string out(kXmlDeclaration);
    out +=
        "<container version=\"1.0\" xmlns=\"urn:oasis:names:tc:opendocument:xmlns:container\">\n"
        "<rootfiles>\n<rootfile full-path=\"";
    out.append(kPackageFolder)
        .append("content.opf\" media-type=\"application/oebps-package+xml\"/>\n");
    out += "</rootfiles>\n</container>\n";
    return out;
}

std::string style_sheet() {
    return "body {\n  margin: 0 5%;\n  line-height: 1.8;\n  font-family: serif;\n}\n"
           "h1, h2 {\n  text-align: center;\n  font-weight: bold;\n  line-height: 1.4;\n"
           "  margin: 1.5em 0 1.2em;\n}\n"
           "h1 { font-size: 1.6em; }\nh2 { font-size: 1.3em; }\n"
           "p {\n  text-indent: 2em;\n  margin: 0 0 0.6em;\n  text-align: justify;\n}\n"
           "p.gap {\n  text-indent: 0;\n  margin: 1em 0;\n  padding: 0.5em 0.8em;\n"
           "  border: 1px solid #c9a86a;\n  color: #7a4a00;\n}\n"
           "section.title-page p {\n  text-indent: 0;\n  text-align: center;\n}\n"
           "nav ol {\n  list-style: none;\n  padding: 0;\n}\n"
           "nav li {\n  margin: 0.4em 0;\n}\n"
           "a {\n  color: inherit;\n  text-decoration: none;\n}\n";
}

std::string package_document(const EpubFacts& facts, const std::vector<EpubEntry>& entries) {
    std::string out(kXmlDeclaration);
    out +=
        "<package xmlns=\"http://www.idpf.org/2007/opf\" version=\"3.0\" "
        "unique-identifier=\"book-id\" xml:lang=\"";
    out.append(xml_escape(facts.language)).append("\">\n");
    out += "<metadata xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n";
    out.append("<dc:identifier id=\"book-id\">").append(xml_escape(facts.identifier));
    out.append("</dc:identifier>\n<dc:title>")
        .append(xml_escape(facts.title))
        .append("</dc:title>\n");
    if (!facts.author.empty()) {
        out.append("<dc:creator>").append(xml_escape(facts.author)).append("</dc:creator>\n");
    }
    out.append("<dc:language>").append(xml_escape(facts.language)).append("</dc:language>\n");
    out.append("<dc:source>").append(xml_escape(facts.source_address)).append("</dc:source>\n");
    out.append("<meta property=\"dcterms:modified\">").append(facts.modified).append("</meta>\n");
    out += "</metadata>\n<manifest>\n";
    out.append("<item id=\"nav\" href=\"").append(kNavigationHref);
    out +=
        "\" media-type=\"application/xhtml+xml\" properties=\"nav\"/>\n"
        "<item id=\"ncx\" href=\"toc.ncx\" media-type=\"application/x-dtbncx+xml\"/>\n"
        "<item id=\"css\" href=\"style.css\" media-type=\"text/css\"/>\n";
    out.append("<item id=\"title-page\" href=\"").append(kTitlePageHref);
    out += "\" media-type=\"application/xhtml+xml\"/>\n";
    for (const EpubEntry& entry : entries) {
        out.append("<item id=\"").append(entry.id).append("\" href=\"").append(entry.href);
        out += "\" media-type=\"application/xhtml+xml\"/>\n";
    }
    out +=
        "</manifest>\n<spine toc=\"ncx\">\n<itemref idref=\"title-page\"/>\n"
        "<itemref idref=\"nav\"/>\n";
    for (const EpubEntry& entry : entries) {
        out.append("<itemref idref=\"").append(entry.id).append("\"/>\n");
    }
    out += "</spine>\n</package>\n";
    return out;
}

std::string navigation_document(const EpubFacts& facts, std::string_view heading,
                                const std::vector<EpubEntry>& entries) {
    std::string out = xhtml_open(facts.language) + xhtml_head(heading, "style.css");
    out += "<body>\n<nav epub:type=\"toc\" id=\"toc\">\n<h1>";
    out.append(xml_escape(heading)).append("</h1>\n<ol>\n");
    for (const EpubEntry& entry : entries) {
        if (entry.toc_label.empty()) continue;
        out.append("<li><a href=\"").append(entry.href).append("\">");
        out.append(xml_escape(entry.toc_label)).append("</a></li>\n");
    }
    out += "</ol>\n</nav>\n</body>\n</html>\n";
    return out;
}

std::string ncx_document(const EpubFacts& facts, const std::vector<EpubEntry>& entries) {
    std::string out(kXmlDeclaration);
    out += "<ncx xmlns=\"http://www.daisy.org/z3986/2005/ncx/\" version=\"2005-1\">\n<head>\n";
    out.append("<meta name=\"dtb:uid\" content=\"").append(xml_escape(facts.identifier));
    out +=
        "\"/>\n<meta name=\"dtb:depth\" content=\"1\"/>\n"
        "<meta name=\"dtb:totalPageCount\" content=\"0\"/>\n"
        "<meta name=\"dtb:maxPageNumber\" content=\"0\"/>\n</head>\n";
    out.append("<docTitle><text>").append(xml_escape(facts.title)).append("</text></docTitle>\n");
    out += "<navMap>\n";
    int order = 0;
    for (const EpubEntry& entry : entries) {
        if (entry.toc_label.empty()) continue;
        const std::string number = std::to_string(++order);
        out.append("<navPoint id=\"point-").append(number).append("\" playOrder=\"");
        out.append(number).append("\"><navLabel><text>").append(xml_escape(entry.toc_label));
        out.append("</text></navLabel><content src=\"")
            .append(entry.href)
            .append("\"/></navPoint>\n");
    }
    out += "</navMap>\n</ncx>\n";
    return out;
}

std::string title_page(const EpubFacts& facts, const std::vector<std::string>& lines) {
    std::string out = xhtml_open(facts.language) + xhtml_head(facts.title, "../style.css");
    out += "<body>\n<section class=\"title-page\" epub:type=\"titlepage\">\n<h1>";
    out.append(xml_escape(facts.title)).append("</h1>\n");
    for (const std::string& line : lines) out += paragraph_element(line);
    out += "</section>\n</body>\n</html>\n";
    return out;
}

std::string text_document_head(std::string_view title, std::string_view language) {
    std::string out = xhtml_open(language) + xhtml_head(title, "../style.css");
    out.append("<body>\n<section>\n<h2>").append(xml_escape(title)).append("</h2>\n");
    return out;
}

std::string text_document_tail() { return "</section>\n</body>\n</html>\n"; }

std::string paragraph_element(std::string_view text, std::string_view css_class) {
    std::string out = css_class.empty() ? "<p>" : "<p class=\"" + std::string(css_class) + "\">";
    out.append(xml_escape(text)).append("</p>\n");
    return out;
}

void append_paragraph_element(std::string_view text, std::string* out) {
    out->append("<p>");
    append_xml_escaped(text, out);
    out->append("</p>\n");
}

std::string utc_timestamp(long long seconds) { return format_time(seconds, "%Y-%m-%dT%H:%M:%SZ"); }
std::string utc_minute(long long seconds) { return format_time(seconds, "%Y-%m-%d %H:%M"); }

}  // namespace novel
