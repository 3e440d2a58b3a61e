#include "chapter/chapter_extraction.h"

#include "chapter/program_state.h"
#include "chapter/site.h"
#include "text/text_cutting.h"
#include "chapter/working_text.h"
#include "http/http_request.h"
#include "regex/regex_object.h"

namespace novel {
namespace {
// The site's page layout, as literal markers.
constexpr std::string_view kLinkPattern = R"re(<a href="(.*?)">)re";
constexpr std::string_view kTitleStart = R"(<div class="bookname"><h1>)";
constexpr std::string_view kTitleEnd = "</h1>";
constexpr std::string_view kContentMarker = R"(<div id="content">)";
constexpr std::string_view kContentEnd = "div>";
// "本章未完，点击下一页继续阅读" as GBK bytes: pages are GBK, this source is not.
constexpr std::string_view kContinuationNotice =
    "\xB1\xBE\xD5\xC2\xCE\xB4\xCD\xEA\xA3\xAC\xB5\xE3\xBB\xF7\xCF\xC2\xD2\xBB\xD2\xB3"
    "\xBC\xCC\xD0\xF8\xD4\xC4\xB6\xC1";
constexpr std::string_view kLineBreak = "\r\n";

// The site's 24th link on a chapter page leads to the page that follows.
constexpr int kNextLinkIndex = 24;
// Slashes before this byte stay: they belong to the title line.
constexpr int kSlashRemovalStart = 40;

void replace_work(WorkingText& work, std::initializer_list<ReplacementPair> pairs,
                  const ReplacePairsOptions& options = {}) {
    work.write(replace_pairs(work.read(), pairs, options));
}
}  // namespace

void extract_chapter(std::string_view page, const ExtractionState& state, WorkingText& work) {
    // Copied first: page may view the very text it replaces.
    *state.page_text = std::string(page);
    const std::string& page_text = *state.page_text;

    state.regex->execute(kLinkPattern, page_text);

    *state.title = text_between(page_text, kTitleStart, kTitleEnd);

    std::string title_line;
    title_line.append(kLineBreak).append(*state.title).append(kLineBreak);
    work.write(title_line);

    work.write(work.read() + text_after_last(page_text, kContentMarker));

    replace_work(work, {{"&nbsp;", " "}, {"<br/><br/>", kLineBreak}});

    work.write(text_before_first(work.read(), kContentEnd));

    replace_work(work, {{"<", ""}, {">", ""}, {"br", ""}, {"center", ""}});

    replace_work(work, {{kContinuationNotice, ""}, {"--", ""}});

    replace_work(work, {{"/", ""}}, {.start = kSlashRemovalStart});

    *state.next_link = std::string(SITE_ORIGIN) + state.regex->submatch(kNextLinkIndex, 1);
}

void show_chapter(std::string_view link) {
    // link may be next_chapter_link itself, which the pipeline overwrites last.
    const std::string address(link);
    const ByteData body = http_request(address);

    ProgramState& state = globals();
    std::string scratch;
    StringWorkingText scratch_box(&scratch);
    WorkingText& content_box =
        state.reader_content_box != nullptr ? *state.reader_content_box : scratch_box;

    extract_chapter(body,
                    {.regex = &state.reader_regex,
                     .page_text = &state.reader_page_text,
                     .title = &state.reader_title,
                     .next_link = &state.next_chapter_link},
                    content_box);
}

std::string chapter_text(std::string_view link) {
    const std::string address(link);
    const ByteData body = http_request(address);

    ProgramState& state = globals();
    StringWorkingText work(&state.download_work_text);
    extract_chapter(body,
                    {.regex = &state.download_regex,
                     .page_text = &state.download_page_text,
                     .title = &state.download_title,
                     .next_link = &state.download_next_link},
                    work);
    return state.download_work_text;
}

}  // namespace novel
