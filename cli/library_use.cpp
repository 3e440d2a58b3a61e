#include "cli/library_use.h"

#include <ctime>

#include "chapter/book_info.h"
#include "download/range_download.h"
#include "platform/gbk.h"
#include "platform/utf8.h"

namespace novel::cli {
namespace {

std::string gbk(std::u16string_view text) { return gbk_of(text); }

}  // namespace

std::int64_t now_seconds() { return static_cast<std::int64_t>(std::time(nullptr)); }

std::string library_reason(const LibraryStatus& status) {
    switch (status.error) {
        case LibraryError::full:
            return gbk(u"磁盘已满");
        case LibraryError::busy:
            return gbk(u"书库正被另一个程序长时间占用");
        default:
            return gbk_from_utf8(status.message);
    }
}

bool report_open_outcome(const OpenResult& opened, const std::string& path, Encoding encoding,
                         bool run_goes_on) {
    const std::string goes_on = run_goes_on ? gbk(u"，本次不写入书库") : std::string();
    switch (opened.outcome) {
        case OpenOutcome::opened:
            return true;
        case OpenOutcome::made_fresh:
            report_error(gbk(u"书库文件已损坏，已移到 ") + gbk_from_utf8(opened.set_aside_path) +
                             gbk(u"，并新建了书库"),
                         encoding);
            return true;
        case OpenOutcome::refused:
            report_error(run_goes_on ? gbk(u"书库由更新版本的程序写入，本次不写入书库")
                                     : gbk(u"书库由更新版本的程序写入，本程序无法读取"),
                         encoding);
            return false;
        case OpenOutcome::failed:
            break;
    }
    report_error(gbk(u"无法打开书库 ") + gbk_from_utf8(path) + gbk(u"：") +
                     library_reason(opened.status) + goes_on,
                 encoding);
    return false;
}

std::unique_ptr<Library> open_for_run(const LibraryChoice& choice, Encoding encoding) {
    if (choice.off) return nullptr;
    OpenResult opened = open_library(choice.path);
    report_open_outcome(opened, choice.path, encoding, /*run_goes_on=*/true);
    return std::move(opened.library);
}

PageKeeper::PageKeeper(const LibraryChoice& choice, Encoding encoding)
    : encoding_(encoding), library_(open_for_run(choice, encoding)) {
    if (library_) batcher_.emplace(*library_);
}

PageKeeper::~PageKeeper() { finish(); }

void PageKeeper::keep(std::string_view address, const Chapter& chapter, std::string_view page) {
    if (!batcher_) return;
    const BookInfo book = extract_book_info(page, chapter_index_of(address).book_number);
    given_up(batcher_->store(
        {.address = address, .chapter = chapter, .book = book, .fetched_at = now_seconds()}));
}

void PageKeeper::finish() {
    if (batcher_) given_up(batcher_->flush());
}

void PageKeeper::given_up(const LibraryStatus& status) {
    if (status.ok()) return;
    report_error(gbk(u"无法写入书库：") + library_reason(status) + gbk(u"，本次不再写入书库"),
                 encoding_);
    batcher_.reset();
    library_.reset();
}

}  // namespace novel::cli
