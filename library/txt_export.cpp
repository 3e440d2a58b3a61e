#include "library/txt_export.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "library/script_converter.h"
#include "platform/gbk.h"
#include "platform/utf8.h"

namespace novel {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// The temporary file: closed, and removed unless kept, on every path.
class PartFile {
public:
    explicit PartFile(const std::string& target) : path_(target + ".part-XXXXXX") {
        fd_ = ::mkstemp(path_.data());
        if (fd_ < 0) reason_ = std::strerror(errno);
    }
    ~PartFile() {
        if (fd_ >= 0) ::close(fd_);
        if (!kept_ && fd_ >= 0) ::unlink(path_.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    [[nodiscard]] bool ok() const { return fd_ >= 0 && reason_.empty(); }
    [[nodiscard]] const std::string& reason() const { return reason_; }

    bool write(std::string_view bytes) {
        while (!bytes.empty()) {
            const ssize_t written = ::write(fd_, bytes.data(), bytes.size());
            if (written < 0) {
                if (errno == EINTR) continue;
                reason_ = std::strerror(errno);
                return false;
            }
            bytes.remove_prefix(static_cast<std::size_t>(written));
        }
        return true;
    }

    // Synced before the rename, so a crash leaves the old file or the whole new one.
    bool keep_as(const std::string& target) {
        // A new file from mkstemp is 0600; an export is an ordinary file.
        if (::fchmod(fd_, 0644) != 0 || ::fsync(fd_) != 0 ||
            ::rename(path_.c_str(), target.c_str()) != 0) {
            reason_ = std::strerror(errno);
            return false;
        }
        kept_ = true;
        return true;
    }

private:
    std::string path_;
    int fd_ = -1;
    bool kept_ = false;
    std::string reason_;
};

std::string from_utf8(const std::string& utf8, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::gbk:
            return utf16_to_gbk(utf8_to_utf16(utf8));
        case TextEncoding::utf8:
            return utf8;
        case TextEncoding::gb18030:
            return utf16_to_gb18030(utf8_to_utf16(utf8));
    }
    return utf8;
}

std::string encoded(std::string gbk, TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::gbk:
            return gbk;
        case TextEncoding::utf8:
            return utf8_from_gbk(gbk);
        case TextEncoding::gb18030:
            return utf16_to_gb18030(gbk_to_utf16(gbk));
    }
    return gbk;
}

std::string_view byte_order_mark(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::utf8:
            return "\xEF\xBB\xBF";
        case TextEncoding::gb18030:
            return "\x84\x31\x95\x33";
        case TextEncoding::gbk:
            break;
    }
    return {};
}

}  // namespace

TxtExportResult export_txt(const Library& library, std::string_view book_number,
                           const std::string& path, const TxtExportOptions& options) {
    TxtExportResult result;
    const Chain chain = library.chain(book_number);
    if (!chain.status.ok()) {
        return {.end = TxtExportEnd::library_failed, .library_status = chain.status};
    }
    result.gaps = chain.gaps;
    if (chain.pages == 0) {
        result.end = TxtExportEnd::no_pages;
        return result;
    }

    std::unique_ptr<ScriptConverter> converter;
    if (options.traditional) {
        ScriptConverterOpening opening = ScriptConverter::open();
        if (!opening.converter) {
            return {.end = TxtExportEnd::converter_failed, .file_reason = opening.reason};
        }
        converter = std::move(opening.converter);
    }
    bool converted = true;

    PartFile part(path);
    if (!part.ok()) return {.end = TxtExportEnd::file_failed, .file_reason = part.reason()};
    bool written = !options.byte_order_mark || part.write(byte_order_mark(options.encoding));
    std::string piece;
    chain.walk([&](const ChainItem& item) {
        const auto* page = std::get_if<ChainPage>(&item);
        if (page == nullptr) return true;
        piece.assign(kLineEnd).append(page->text);
        if (converter) {
            std::optional<std::string> traditional = converter->convert(utf8_from_gbk(piece));
            if (!traditional) {
                converted = false;
                return false;
            }
            written = written && part.write(from_utf8(*traditional, options.encoding));
        } else {
            written = written && part.write(encoded(std::move(piece), options.encoding));
        }
        if (written) ++result.pages;
        return written;
    });
    if (!chain.walk_status->ok()) {
        return {.end = TxtExportEnd::library_failed, .library_status = *chain.walk_status};
    }
    if (!converted) {
        return {.end = TxtExportEnd::converter_failed,
                .file_reason = "the traditional-character converter failed on a text"};
    }
    if (!written || !part.keep_as(path)) {
        return {.end = TxtExportEnd::file_failed, .file_reason = part.reason()};
    }
    return result;
}

}  // namespace novel
