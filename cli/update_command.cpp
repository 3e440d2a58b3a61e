#include "cli/update_command.h"

#include <cstdio>

#include "cli/exit_status.h"
#include "cli/library_commands.h"
#include "library/book_export.h"

namespace novel::cli {
namespace {

std::string gbk(std::u16string_view text) { return gbk_of(text); }

int status_of(const std::vector<BookUpdate>& updates) {
    int status = kReachedEnd;
    for (const BookUpdate& update : updates) {
        switch (update.outcome) {
            case UpdateOutcome::stopped:
                return kInterrupted;
            case UpdateOutcome::network_failed:
                status = kNetworkFailed;
                break;
            case UpdateOutcome::library_failed:
                if (status == kReachedEnd) status = kFileFailed;
                break;
            case UpdateOutcome::checked:
            case UpdateOutcome::not_stored:
                break;
        }
    }
    return status;
}

}  // namespace

std::string update_line(const BookUpdate& update) {
    std::string line = gbk(u"《") + update.name + gbk(u"》：");
    switch (update.outcome) {
        case UpdateOutcome::network_failed:
            return line + gbk(u"无法检查更新：") + update.reason;
        case UpdateOutcome::library_failed:
            return line + gbk(u"无法读写书库：") + gbk_from_utf8(update.reason);
        case UpdateOutcome::not_stored:
            return line + gbk(u"书库中没有这本书的页面");
        case UpdateOutcome::stopped:
            return line + gbk(u"已停止");
        case UpdateOutcome::checked:
            break;
    }
    const auto& added = update.new_chapters;
    if (added.empty()) {
        line += gbk(u"没有新章节");
    } else {
        line += gbk(u"新增 ") + std::to_string(added.size()) + gbk(u" 章（") + added.front().title;
        if (added.size() > 1) line += gbk(u" …… ") + added.back().title;
        line += gbk(u"）");
    }
    if (update.updated_pages > 0) {
        line += gbk(u"，更新 ") + std::to_string(update.updated_pages) + gbk(u" 章");
    }
    return line;
}

int update_command(const UpdateCommandOptions& options, std::stop_token stop) {
    if (options.library.off) {
        report_error(gbk(u"更新要用书库，不能与 --no-library 同用"), options.encoding);
        return kUsage;
    }
    OpenedForCommand opened = open_for_command(options.library, options.encoding);
    if (!opened.library) return opened.status;
    Library& library = *opened.library;
    // Every book named must be there before anything is fetched.
    for (const std::string& book : options.books) {
        const BookLookup found = library.book(book);
        if (!found.status.ok()) {
            report_error(gbk(u"无法读取书库：") + library_reason(found.status), options.encoding);
            return kFileFailed;
        }
        if (!found.found) {
            report_error(gbk(u"书库中没有这本书：") + book, options.encoding);
            return kUsage;
        }
    }
    SerialPages pages;
    const std::vector<BookUpdate> updates = update_books(library, options.books, pages, {}, stop);
    int status = status_of(updates);
    for (const BookUpdate& update : updates) {
        const std::string line = encoded(update_line(update), options.encoding) + "\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    }
    std::fflush(stdout);
    if (!options.export_again || status == kInterrupted) return status;
    for (const BookUpdate& update : updates) {
        if (update.outcome == UpdateOutcome::stopped ||
            (update.new_pages == 0 && update.updated_pages == 0)) {
            continue;
        }
        const ExportLookup last = library.last_export(update.book_number);
        if (!last.found) {
            report_error(gbk(u"《") + update.name + gbk(u"》没有导出过，不导出"), options.encoding);
            continue;
        }
        const int exported =
            report_export(export_book(library, update.book_number, *last.found, stop), update.name,
                          last.found->path, options.encoding);
        if (exported == kInterrupted) return kInterrupted;
        if (exported != kReachedEnd && status == kReachedEnd) status = kFileFailed;
    }
    return status;
}

}  // namespace novel::cli
