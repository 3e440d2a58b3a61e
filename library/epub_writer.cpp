#include "library/epub_writer.h"

#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>

#include "library/book_uuid.h"
#include "library/chapter_grouping.h"
#include "library/epub_documents.h"
#include "library/epub_package.h"
#include "library/script_converter.h"
#include "library/xhtml_text.h"

namespace novel {
namespace {

// The chapter documents wait here, beside the target so that they are on
// its file system, until the container is packed; gone with the export.
class WorkingFolder {
public:
    WorkingFolder() = default;
    ~WorkingFolder() {
        if (path_.empty()) return;
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    WorkingFolder(const WorkingFolder&) = delete;
    WorkingFolder& operator=(const WorkingFolder&) = delete;

    // The reason when it cannot be made.
    [[nodiscard]] std::optional<std::string> make_beside(const std::string& target) {
        std::string pattern = target + ".parts-XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            return "cannot make a working folder beside " + target + ": " + std::strerror(errno);
        }
        path_ = pattern;
        std::error_code error;
        std::filesystem::create_directory(path_ / "text", error);
        if (error) return "cannot make a working folder: " + error.message();
        return std::nullopt;
    }
    [[nodiscard]] const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

std::string numbered(const char* format, int number) {
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, format, number);
    return buffer;
}

class EpubAssembler {
public:
    EpubAssembler(const BookFacts& book, const EpubOptions& options)
        : book_(book), options_(options) {}

    [[nodiscard]] EpubResult run(const ChainWalk& walk) {
        if (options_.traditional && !open_converter()) return std::move(result_);
        if (const auto why = folder_.make_beside(options_.output_path)) {
            return failed(EpubError::output, *why);
        }
        walk([&](const ChainItem& item) {
            if (options_.stop.stop_requested()) return false;
            if (const auto* page = std::get_if<ChainPage>(&item)) {
                add_page(*page);
                ++result_.pages_read;
                if (options_.on_page) options_.on_page(result_.pages_read);
            } else {
                add_gap(std::get<ChainGap>(item));
            }
            return result_.error == EpubError::none;
        });
        if (result_.error == EpubError::none) finish_chapter();
        if (result_.error != EpubError::none) return std::move(result_);
        if (options_.stop.stop_requested()) return failed(EpubError::cancelled, "export stopped");
        if (result_.chapters_written == 0) {
            return failed(EpubError::no_chapters, "the book has no stored pages");
        }
        if (auto why = pack(); why) return failed(EpubError::output, *why);
        result_.ok = true;
        return std::move(result_);
    }

private:
    // The first failure is the one reported; later ones follow from it.
    void fail(EpubError error, std::string reason) {
        if (result_.error != EpubError::none) return;
        result_.error = error;
        result_.reason = std::move(reason);
    }
    EpubResult failed(EpubError error, std::string reason) {
        fail(error, std::move(reason));
        return std::move(result_);
    }

    bool open_converter() {
        ScriptConverterOpening opening = ScriptConverter::open();
        if (!opening.converter) {
            fail(EpubError::converter, "no traditional-character converter: " + opening.reason);
            return false;
        }
        converter_ = std::move(opening.converter);
        return true;
    }

    // The text in the export's script. OpenCC stops at a NUL, so what XML
    // forbids goes first; without conversion the escaping drops it later.
    std::string in_script(std::string_view utf8) {
        if (!converter_) return std::string(utf8);
        std::optional<std::string> converted = converter_->convert(xml_characters_only(utf8));
        if (!converted) {
            fail(EpubError::converter, "the traditional-character converter failed on a text");
            return std::string(utf8);
        }
        return std::move(*converted);
    }

    void add_page(const ChainPage& page) {
        if (!chapter_file_.is_open() || !continues_chapter(chapter_, page.chapter_key)) {
            finish_chapter();
            start_chapter(page);
        }
        const std::string text = in_script(utf8_from_gbk(page.text));
        std::string body;
        body.reserve(text.size() + text.size() / 8);
        for (const std::string_view line : page_paragraphs(text)) {
            append_paragraph_element(line, &body);
        }
        chapter_file_ << body;
    }

    void start_chapter(const ChainPage& page) {
        chapter_ = std::string(parse_chapter_key(page.chapter_key).chapter);
        std::string title =
            in_script(xml_characters_only(strip_page_suffix(utf8_from_gbk(page.title))));
        if (title.empty()) title = chapter_;
        const int number = ++result_.chapters_written;
        EpubEntry entry{.id = numbered("c%04d", number),
                        .href = numbered("text/chapter-%04d.xhtml", number),
                        .toc_label = title};
        open_document(entry.href);
        chapter_file_ << text_document_head(title, language());
        entries_.push_back(std::move(entry));
    }

    void finish_chapter() {
        if (!chapter_file_.is_open()) return;
        chapter_file_ << text_document_tail();
        chapter_file_.close();
        if (!chapter_file_) fail(EpubError::output, "cannot write a chapter to the working folder");
    }

    void add_gap(const ChainGap& gap) {
        finish_chapter();
        result_.gaps.push_back(gap.missing_address);
        const int number = static_cast<int>(result_.gaps.size());
        EpubEntry entry{.id = numbered("gap%04d", number),
                        .href = numbered("text/gap-%04d.xhtml", number)};
        open_document(entry.href);
        chapter_file_ << text_document_head(in_script("缺少章节"), language())
                      << paragraph_element(in_script("此处缺少章节：") + gap.missing_address, "gap")
                      << text_document_tail();
        chapter_file_.close();
        if (!chapter_file_) fail(EpubError::output, "cannot write a note to the working folder");
        entries_.push_back(std::move(entry));
    }

    void open_document(const std::string& href) {
        chapter_file_.clear();
        chapter_file_.open(folder_.path() / href, std::ios::binary | std::ios::trunc);
        if (!chapter_file_) fail(EpubError::output, "cannot write to the working folder");
    }

    [[nodiscard]] std::string language() const { return converter_ ? "zh-Hant" : "zh-Hans"; }

    [[nodiscard]] std::vector<std::string> title_lines() {
        std::vector<std::string> lines;
        const std::string author = utf8_from_gbk(book_.author);
        if (!author.empty()) lines.push_back(in_script("作者：" + author));
        lines.push_back(in_script("来源：") + book_.source_address);
        if (book_.first_fetched > 0) {
            std::string when = utc_minute(book_.first_fetched);
            if (book_.last_fetched > book_.first_fetched) {
                when += " – " + utc_minute(book_.last_fetched);
            }
            lines.push_back(in_script("抓取时间：") + when + " (UTC)");
        }
        return lines;
    }

    std::optional<std::string> pack() {
        const std::string name = utf8_from_gbk(book_.name);
        const EpubFacts facts{
            .identifier = "urn:uuid:" + book_uuid(book_.book_number),
            .title = in_script(xml_characters_only(name.empty() ? book_.book_number : name)),
            .author = in_script(xml_characters_only(utf8_from_gbk(book_.author))),
            .language = language(),
            .source_address = xml_characters_only(book_.source_address),
            .modified = utc_timestamp(options_.modified_at.value_or(std::time(nullptr))),
        };
        const std::vector<std::string> lines = title_lines();
        if (result_.error != EpubError::none) return result_.reason;
        return pack_epub({.output_path = options_.output_path,
                          .working_folder = folder_.path().string(),
                          .compression_level = options_.compression_level,
                          .package = package_document(facts, entries_),
                          .navigation = navigation_document(facts, in_script("目录"), entries_),
                          .ncx = ncx_document(facts, entries_),
                          .title_page = title_page(facts, lines),
                          .entries = &entries_});
    }

    const BookFacts& book_;
    const EpubOptions& options_;
    EpubResult result_;
    std::unique_ptr<ScriptConverter> converter_;
    WorkingFolder folder_;
    std::vector<EpubEntry> entries_;
    std::string chapter_;  // the chapter key of the open chapter document
    std::ofstream chapter_file_;
};

}  // namespace

EpubResult write_epub(const BookFacts& book, const ChainWalk& walk, const EpubOptions& options) {
    EpubAssembler assembler(book, options);
    return assembler.run(walk);
}

}  // namespace novel
