#pragma once
// Reads an exported EPUB back for the tests: its entries in container order
// and the pieces of markup the tests compare.

#include <zip.h>

#include <string>
#include <string_view>
#include <vector>

#include "library/zip_handles.h"

namespace novel::testing {

struct EpubEntryRead {
    std::string name;
    std::string content;
    zip_uint16_t method = 0;
};

// Empty when the file is not a readable zip archive.
[[nodiscard]] inline std::vector<EpubEntryRead> read_epub(const std::string& path) {
    int code = 0;
    detail::ZipArchive archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
    std::vector<EpubEntryRead> entries;
    if (!archive) return entries;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        zip_stat_t stat;
        if (zip_stat_index(archive.get(), index, 0, &stat) != 0) return {};
        EpubEntryRead entry{.name = stat.name, .method = stat.comp_method};
        entry.content.resize(stat.size);
        zip_file_t* file = zip_fopen_index(archive.get(), index, 0);
        if (file == nullptr) return {};
        const zip_int64_t read = zip_fread(file, entry.content.data(), stat.size);
        zip_fclose(file);
        if (read != static_cast<zip_int64_t>(stat.size)) return {};
        entries.push_back(std::move(entry));
    }
    return entries;
}

[[nodiscard]] inline std::string xml_unescape(std::string_view text) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        bool replaced = false;
        for (const auto& [entity, character] :
             {std::pair{"&lt;", '<'}, std::pair{"&gt;", '>'}, std::pair{"&quot;", '"'},
              std::pair{"&amp;", '&'}}) {
            if (text.substr(at).starts_with(entity)) {
                out += character;
                at += std::string_view(entity).size();
                replaced = true;
                break;
            }
        }
        if (!replaced) out += text[at++];
    }
    return out;
}

// The unescaped contents of every open..close element in document order.
[[nodiscard]] inline std::vector<std::string> element_texts(std::string_view document,
                                                            std::string_view open,
                                                            std::string_view close) {
    std::vector<std::string> texts;
    for (std::size_t at = document.find(open); at != std::string_view::npos;
         at = document.find(open, at)) {
        at += open.size();
        const std::size_t end = document.find(close, at);
        if (end == std::string_view::npos) break;
        texts.push_back(xml_unescape(document.substr(at, end - at)));
        at = end + close.size();
    }
    return texts;
}

}  // namespace novel::testing
