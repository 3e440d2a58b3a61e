#include "library/book_export.h"

#include "library/epub_writer.h"
#include "library/txt_export.h"

namespace novel {
namespace {

BookExportResult as_book_export(TxtExportResult txt) {
    BookExportResult result{.pages = txt.pages, .gaps = std::move(txt.gaps)};
    switch (txt.end) {
        case TxtExportEnd::written:
            break;
        case TxtExportEnd::no_pages:
            result.end = BookExportEnd::no_pages;
            break;
        case TxtExportEnd::library_failed:
            result.end = BookExportEnd::library_failed;
            result.reason = txt.library_status.message;
            break;
        case TxtExportEnd::file_failed:
            result.end = BookExportEnd::file_failed;
            result.reason = txt.file_reason;
            break;
        case TxtExportEnd::converter_failed:
            result.end = BookExportEnd::converter_failed;
            result.reason = txt.file_reason;
            break;
    }
    return result;
}

BookExportEnd epub_end(EpubError error) {
    switch (error) {
        case EpubError::none:
            return BookExportEnd::written;
        case EpubError::no_chapters:
            return BookExportEnd::no_pages;
        case EpubError::converter:
            return BookExportEnd::converter_failed;
        case EpubError::output:
            return BookExportEnd::file_failed;
        case EpubError::cancelled:
            return BookExportEnd::stopped;
    }
    return BookExportEnd::file_failed;
}

}  // namespace

BookExportResult export_book(const Library& library, std::string_view book_number,
                             const ExportRecord& record, std::stop_token stop) {
    if (record.format == ExportFormat::txt) {
        return as_book_export(export_txt(library, book_number, record.path,
                                         {.encoding = record.encoding,
                                          .byte_order_mark = record.byte_order_mark,
                                          .traditional = record.traditional}));
    }
    const Chain chain = library.chain(book_number);
    if (!chain.status.ok()) {
        return {.end = BookExportEnd::library_failed, .reason = chain.status.message};
    }
    if (chain.pages == 0) return {.end = BookExportEnd::no_pages, .gaps = chain.gaps};
    const EpubResult epub = write_epub(
        chain.book, chain.walk,
        {.output_path = record.path, .traditional = record.traditional, .stop = std::move(stop)});
    if (!chain.walk_status->ok()) {
        return {.end = BookExportEnd::library_failed, .reason = chain.walk_status->message};
    }
    return {.end = epub.ok ? BookExportEnd::written : epub_end(epub.error),
            .pages = static_cast<std::size_t>(epub.pages_read),
            .gaps = epub.gaps,
            .reason = epub.reason};
}

}  // namespace novel
