#pragma once
// A stored book as one text file, byte for byte what a range download of
// the same pages writes: each page's text behind a CR LF, in chain order.

#include <cstddef>
#include <string>
#include <vector>

#include "library/library.h"

namespace novel {

struct TxtExportOptions {
    TextEncoding encoding = TextEncoding::gbk;
    bool byte_order_mark = false;  // utf-8 and gb18030 only
    // Texts (and so titles) in traditional characters; in GBK a character
    // it cannot hold becomes "?".
    bool traditional = false;
};

enum class TxtExportEnd {
    written,
    no_pages,          // the book has no stored pages; nothing written
    library_failed,    // the library could not be read; nothing written
    file_failed,       // the file could not be written; nothing left behind
    converter_failed,  // the traditional converter could not be opened or failed; nothing written
};

struct TxtExportResult {
    TxtExportEnd end = TxtExportEnd::written;
    std::size_t pages = 0;
    std::vector<std::string> gaps;  // addresses the chain goes on at that are not stored
    LibraryStatus library_status;   // library_failed
    std::string file_reason;        // file_failed, converter_failed: the reason (UTF-8)
};

// Written to a temporary file beside path and renamed over it at the end,
// so a failure never leaves half a file and an existing file stays whole
// until the new one is complete. The library is only read.
[[nodiscard]] TxtExportResult export_txt(const Library& library, std::string_view book_number,
                                         const std::string& path,
                                         const TxtExportOptions& options = {});

}  // namespace novel
