#pragma once
// The one owner of each libzip handle; included only inside library/.

#include <zip.h>

#include <memory>

namespace novel::detail {

// An archive dropped without zip_close leaves no file behind: libzip writes
// nothing until it is closed.
struct ZipDiscarder {
    void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchive = std::unique_ptr<zip_t, ZipDiscarder>;

// A source is owned here only until zip_file_add takes it over.
struct ZipSourceFreer {
    void operator()(zip_source_t* source) const { zip_source_free(source); }
};
using ZipSource = std::unique_ptr<zip_source_t, ZipSourceFreer>;

}  // namespace novel::detail
