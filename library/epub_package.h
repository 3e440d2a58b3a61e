#pragma once
// Packs the documents of an export into the EPUB container.

#include <optional>
#include <string>
#include <vector>

#include "library/epub_documents.h"

namespace novel {

struct EpubPackInput {
    std::string output_path;
    std::string working_folder;  // holds each entry's document under its href
    int compression_level = 1;
    std::string package;
    std::string navigation;
    std::string ncx;
    std::string title_page;
    const std::vector<EpubEntry>* entries = nullptr;
};

// The reason when the container could not be written; the file at
// output_path is then as it was. The entries' documents are read one at a
// time while the container is written.
[[nodiscard]] std::optional<std::string> pack_epub(const EpubPackInput& input);

}  // namespace novel
