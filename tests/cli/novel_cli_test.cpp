// The command-line tool as a script runs it: the real executable against the
// fixture site at the site's address (inside a private network namespace),
// its output, its files and its exit statuses.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "chapter/site.h"
#include "download/journal.h"
#include "library/library.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace novel {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string utf8(std::string_view gbk) { return utf16_to_utf8(gbk_to_utf16(gbk)); }

// A chapter's text as a terminal shows it: line feeds, ending with one.
std::string as_printed(std::string text) {
    for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at)) {
        text.erase(at, 1);
    }
    if (!text.ends_with('\n')) text += '\n';
    return text;
}

struct Finished {
    int status = -1;
    std::string out;
    std::string err;
};

class NovelTool : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::site_host_is_loopback())
            << "run through tests/support/in_site_namespace.sh";
        // The default library lies in the test's folder, never in the home folder.
        ::setenv("XDG_DATA_HOME", dir_.c_str(), 1);
    }
    std::string library_path() const {
        return (dir_ / "novel_reader" / "library.sqlite3").string();
    }
    void TearDown() override { server_.reset(); }

    void serve(fixture::SitePages pages, std::chrono::milliseconds delay = {},
               std::function<fixture::SiteAnswer(const std::string&)> answer = {}) {
        if (!answer)
            answer = [delay](const std::string&) { return fixture::SiteAnswer{.delay = delay}; };
        server_ = std::make_unique<fixture::FixtureSiteServer>(
            std::move(pages), fixture::SiteServerOptions{.port = 443, .answer = std::move(answer)});
        ASSERT_TRUE(server_->listening());
    }

    // Starts the tool in the test's folder with its output to files.
    pid_t start(const std::vector<std::string>& arguments) {
        std::vector<std::string> words{NOVEL_CLI_PATH};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 1, (dir_ / "out").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&files, 2, (dir_ / "err").c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addchdir_np(&files, dir_.c_str());
        pid_t pid = -1;
        EXPECT_EQ(posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&files);
        return pid;
    }
    Finished wait_for(pid_t pid) {
        int status = 0;
        waitpid(pid, &status, 0);
        return {.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                .out = testing::file_contents(dir_ / "out"),
                .err = testing::file_contents(dir_ / "err")};
    }
    Finished run(const std::vector<std::string>& arguments) { return wait_for(start(arguments)); }

    // The file a download from page `first` to page `last` of the book writes.
    static std::string blocks(const std::vector<fixture::FixturePage>& pages, std::size_t first,
                              std::size_t last) {
        std::string text;
        for (std::size_t index = first; index <= last; ++index)
            text += "\r\n" + pages[index].clean_text;
        return text;
    }

    testing::TempFolder folder_;
    const fs::path dir_ = folder_.path();
    std::unique_ptr<fixture::FixtureSiteServer> server_;
    const std::vector<fixture::FixturePage> site_ = fixture::fixture_pages();
};

TEST_F(NovelTool, ReadPrintsTheChapterAsTheReaderShowsIt) {
    serve(fixture::as_site(site_));
    for (const fixture::FixturePage& page : site_) {
        if (page.path != "/123/1.html" && page.path != "/123/2_2.html" &&
            page.path != "/edge/example.html") {
            continue;
        }
        SCOPED_TRACE(page.path);
        const Finished read = run({"read", std::string(SITE_ORIGIN) + page.path});
        EXPECT_EQ(read.status, 0);
        EXPECT_EQ(read.out, as_printed(utf8(page.clean_text)));
        EXPECT_EQ(read.err, std::string(SITE_ORIGIN) + page.next_path + "\n");
    }
    const Finished next = run({"read", "--next", std::string(SITE_ORIGIN) + "/123/2.html"});
    EXPECT_EQ(next.out, std::string(SITE_ORIGIN) + "/123/2_2.html\n");
    const Finished gbk =
        run({"read", "--encoding", "gbk", std::string(SITE_ORIGIN) + "/123/1.html"});
    EXPECT_EQ(gbk.out, as_printed(site_[0].clean_text));

    const Finished missing = run({"read", std::string(SITE_ORIGIN) + "/123/99.html"});
    EXPECT_EQ(missing.status, 4);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err, "novel: 无法读取 https://www.qubige.com/123/99.html：HTTP 状态 404\n");
}

TEST_F(NovelTool, DownloadWritesTheBytesTheWindowsWrite) {
    serve(fixture::as_site(site_));
    // Book 123: chapters 1 to 5, chapter 2 on two pages.
    const Finished done = run({"download", "--quiet", "123", "1", "5"});
    EXPECT_EQ(done.status, 0) << done.err;
    EXPECT_EQ(testing::file_contents(dir_ / "文本.txt"), blocks(site_, 0, 5));
    EXPECT_EQ(done.err, "");

    const Finished in_utf8 =
        run({"download", "-q", "--encoding", "utf-8", "-o", "u.txt", "1_1234", "5678", "5680"});
    EXPECT_EQ(in_utf8.status, 0);
    EXPECT_EQ(testing::file_contents(dir_ / "u.txt"), utf8(blocks(site_, 6, 9)));
}

// Each way a run ends gives its status and one line on standard error.
TEST_F(NovelTool, EndingsGiveTheStatusesAScriptExpects) {
    std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "77", .chapter_count = 3});
    fixture::SitePages site = fixture::as_site(pages);
    site["/77/2.html"] = fixture::chapter_page({.title = "T",
                                                .content = "x",
                                                .next_path = "/77/3.html",
                                                .navigation_links = 18,
                                                .footer_links = false});
    site["/78/1.html"] =
        fixture::chapter_page({.title = "T", .content = "x", .next_path = "/78/2.html"});
    site["/78/2.html"] =
        fixture::chapter_page({.title = "T", .content = "x", .next_path = "/78/1.html"});
    serve(site, {}, [](const std::string& target) {
        if (!target.starts_with("/79/")) return fixture::SiteAnswer{};
        return fixture::SiteAnswer{
            .status = 503, .body = "down", .headers = {{"Retry-After", "0"}}};
    });
    struct Case {
        std::vector<std::string> arguments;
        int status;
        std::string error;  // a piece of the one line on standard error
    };
    const Case cases[] = {
        {{"download", "-q", "77", "1", "3"}, 1, "该页没有下一页链接"},
        {{"download", "-q", "78", "1", "9"}, 1, "下一页链接指向本次已下载的页面"},
        {{"download", "-q", "77", "3", "1"},
         1,
         "HTTP 状态 404（https://www.qubige.com/77/4.html）"},
        {{"download", "-q", "79", "1", "2"}, 4, "已重试5次"},
        {{"download", "-q", "-o", "no/such/folder/t.txt", "77", "1", "1"},
         3,
         "no/such/folder/t.txt"},
        {{"download", "--continue", "-o", "never.txt"}, 2, "没有可以继续的下载"},
        {{"download", "77", "1"}, 2, "END"},
        {{"download", "77", "one", "2"}, 2, "无效的值：START：不是章节序号：one"},
        {{"download", "--ahead", "9", "77", "1", "2"}, 2, "--ahead：应为 1 到 8 之间的整数：9"},
        {{"download", "--encoding", "latin1", "77", "1", "2"}, 2, "应为 gbk|utf-8 之一：latin1"},
        {{"download", "--ahead", "x", "77", "1", "2"}, 2, "--ahead"},
        {{"read", "--colour", "x"}, 2, "--colour"},
        {{"read", "https://127.0.0.1:1/1.html"}, 4, "无法连接网站"},
    };
    for (const Case& ending : cases) {
        SCOPED_TRACE(::testing::PrintToString(ending.arguments));
        const Finished finished = run(ending.arguments);
        EXPECT_EQ(finished.status, ending.status);
        EXPECT_NE(finished.err.find(ending.error), std::string::npos) << finished.err;
        EXPECT_TRUE(finished.err.starts_with("novel: ")) << finished.err;
        EXPECT_EQ(std::count(finished.err.begin(), finished.err.end(), '\n'), 1) << finished.err;
    }
    // Each command's help speaks Chinese: no English words of the parser's own.
    for (const char* command : {"read", "download", "library", "export", "update"}) {
        const Finished help = run({command, "--help"});
        EXPECT_EQ(help.status, 0);
        for (const char* english : {"TEXT", "NUMBER", "INT", "Usage", "OPTIONS", "Options"}) {
            EXPECT_EQ(help.out.find(english), std::string::npos) << command << ": " << english;
        }
    }
}

// Files that are no place for a download, and journals that do not fit.
TEST_F(NovelTool, OutputsAndJournalsThatDoNotFitAreRefusedWithTheReason) {
    const std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "91", .chapter_count = 4});
    fixture::SitePages site = fixture::as_site(pages);
    site.erase("/91/3.html");
    serve(site);
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0600), 0);
    const auto started = std::chrono::steady_clock::now();
    const Finished fifo = run({"download", "-q", "-o", "fifo", "91", "1", "4"});
    EXPECT_EQ(fifo.status, 3);
    EXPECT_NE(fifo.err.find("不是普通文件"), std::string::npos) << fifo.err;
    EXPECT_LT(std::chrono::steady_clock::now() - started, 5s) << "a FIFO never holds the tool";

    ASSERT_EQ(run({"download", "-q", "-o", "b.txt", "91", "1", "4"}).status, 1);
    const std::string broken_off = testing::file_contents(dir_ / "b.txt");
    ASSERT_TRUE(read_journal((dir_ / "b.txt").string()).has_value());
    server_->clear_requests();
    const Finished other_book =
        run({"download", "-q", "--continue", "-o", "b.txt", "92", "1", "4"});
    EXPECT_EQ(other_book.status, 2);
    EXPECT_NE(other_book.err.find("无法继续下载"), std::string::npos) << other_book.err;

    // A next address that leads off the site.
    const std::string journal = journal_path((dir_ / "b.txt").string());
    std::string state = testing::file_contents(journal);
    const std::size_t next = state.find("next=") + 5;
    state.replace(next, state.find('\n', next) - next, "https://other.example/91/3.html");
    std::ofstream(journal, std::ios::binary) << state;
    const Finished elsewhere = run({"download", "-q", "--continue", "-o", "b.txt"});
    EXPECT_EQ(elsewhere.status, 2);
    EXPECT_NE(elsewhere.err.find("不在本站"), std::string::npos) << elsewhere.err;
    EXPECT_EQ(testing::file_contents(dir_ / "b.txt"), broken_off);
    EXPECT_TRUE(server_->requested_targets().empty());
}

// A run broken off, by Ctrl-C or by kill -9, continues to the very file an
// uninterrupted run writes.
TEST_F(NovelTool, AnInterruptedRunContinuesToTheExactFile) {
    const std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "90", .chapter_count = 24, .two_page_chapters = {3, 9}});
    serve(fixture::as_site(pages), 60ms);
    const fs::path output = dir_ / "文本.txt";
    const auto wait_for_pages = [&](std::size_t count) {
        for (int tries = 0; tries < 500 && testing::file_contents(output).size() <
                                               blocks(pages, 0, count - 1).size();
             ++tries) {
            std::this_thread::sleep_for(10ms);
        }
    };

    const pid_t interrupted = start({"download", "-q", "90", "1", "24"});
    wait_for_pages(4);
    kill(interrupted, SIGINT);
    const Finished stopped = wait_for(interrupted);
    EXPECT_EQ(stopped.status, 130);
    EXPECT_TRUE(read_journal(output.string()).has_value());
    const std::string whole = blocks(pages, 0, pages.size() - 1);
    EXPECT_TRUE(whole.starts_with(testing::file_contents(output)));
    EXPECT_LT(testing::file_contents(output).size(), whole.size()) << "stopped in the middle";

    const pid_t killed = start({"download", "-q", "--continue"});
    wait_for_pages(12);
    kill(killed, SIGKILL);
    EXPECT_EQ(wait_for(killed).status, 128 + SIGKILL);
    EXPECT_TRUE(read_journal(output.string()).has_value()) << "killed in the middle";

    const Finished continued = run({"download", "-q", "--continue"});
    EXPECT_EQ(continued.status, 0) << continued.err;
    EXPECT_EQ(testing::file_contents(output), whole);
    EXPECT_FALSE(read_journal(output.string()).has_value());
}

// Every page a reading or a download fetches is kept in the library, and
// a library that cannot be used is told once and never stops the run.
TEST_F(NovelTool, ReadingsAndDownloadsKeepTheirPagesInTheLibrary) {
    serve(fixture::as_site(site_));
    ASSERT_EQ(run({"download", "-q", "123", "1", "3"}).status, 0);
    ASSERT_EQ(run({"read", std::string(SITE_ORIGIN) + "/1_1234/5678.html"}).status, 0);
    {
        OpenResult opened = open_library(library_path());
        ASSERT_TRUE(opened.library);
        const Bookshelf shelf = opened.library->bookshelf();
        ASSERT_EQ(shelf.rows.size(), 2u);
        const PageLookup split =
            opened.library->page_at(std::string(SITE_ORIGIN) + "/123/2_2.html");
        ASSERT_TRUE(split.found);
        const auto second_page = std::find_if(site_.begin(), site_.end(), [](const auto& page) {
            return page.path == "/123/2_2.html";
        });
        ASSERT_NE(second_page, site_.end());
        EXPECT_EQ(split.found->page.text, second_page->clean_text);
        EXPECT_EQ(opened.library->chain("123").pages, 4u);
        EXPECT_EQ(opened.library->chain("1_1234").pages, 1u);
    }

    const std::string elsewhere = (dir_ / "other.sqlite3").string();
    const Finished skipped = run(
        {"--library", elsewhere, "--no-library", "download", "-q", "-o", "x.txt", "123", "1", "1"});
    EXPECT_EQ(skipped.status, 0);
    EXPECT_FALSE(fs::exists(elsewhere));
    const Finished behind =
        run({"read", "--library", elsewhere, std::string(SITE_ORIGIN) + "/123/1.html"});
    EXPECT_EQ(behind.status, 0) << behind.err;
    EXPECT_TRUE(fs::exists(elsewhere));

    // A broken file is set aside once; the run goes on and fills a fresh one.
    std::ofstream(elsewhere, std::ios::binary | std::ios::trunc) << std::string(5000, 'x');
    const Finished broken =
        run({"--library", elsewhere, "download", "-q", "-o", "y.txt", "123", "1", "2"});
    EXPECT_EQ(broken.status, 0);
    EXPECT_NE(broken.err.find("novel: 书库文件已损坏，已移到 " + elsewhere + ".broken-"),
              std::string::npos)
        << broken.err;
    EXPECT_NE(broken.err.find("，并新建了书库\n"), std::string::npos) << broken.err;
    EXPECT_EQ(std::count(broken.err.begin(), broken.err.end(), '\n'), 1) << broken.err;
    EXPECT_EQ(testing::file_contents(dir_ / "y.txt"), blocks(site_, 0, 1));

    // A newer program's file is left alone.
    ASSERT_EQ(std::system(("sqlite3 '" + elsewhere + "' 'PRAGMA user_version = 9'").c_str()), 0);
    const std::string before = testing::file_contents(elsewhere);
    const Finished newer =
        run({"--library", elsewhere, "download", "-q", "-o", "z.txt", "123", "1", "2"});
    EXPECT_EQ(newer.status, 0);
    EXPECT_EQ(newer.err, "novel: 书库由更新版本的程序写入，本次不写入书库\n");
    EXPECT_EQ(testing::file_contents(elsewhere), before);
}

// A library that stops taking pages part way (a full disk, say) is told
// once, and the download still completes.
TEST_F(NovelTool, ALibraryThatFailsIsToldOnceAndTheDownloadGoesOn) {
    const std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "55", .chapter_count = 6});
    serve(fixture::as_site(pages));
    const std::string small = (dir_ / "small.sqlite3").string();
    ASSERT_TRUE(open_library(small).library);
    const std::string trigger =
        "CREATE TRIGGER no_room BEFORE INSERT ON pages WHEN (SELECT count(*) FROM pages) >= 2 "
        "BEGIN SELECT RAISE(ABORT, 'no room'); END;";
    ASSERT_EQ(std::system(("sqlite3 '" + small + "' \"" + trigger + "\"").c_str()), 0);
    const Finished done =
        run({"--library", small, "download", "-q", "-o", "f.txt", "55", "1", "6"});
    EXPECT_EQ(done.status, 0);
    EXPECT_EQ(done.err, "novel: 无法写入书库：no room，本次不再写入书库\n");
    EXPECT_EQ(testing::file_contents(dir_ / "f.txt"), blocks(pages, 0, pages.size() - 1));
    EXPECT_EQ(open_library(small).library->chain("55").pages, 2u);
}

// The bookshelf as a script reads it, and removing a book.
TEST_F(NovelTool, LibraryListsTheBooksAndRemovesOne) {
    std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "61",
                                .chapter_count = 3,
                                .two_page_chapters = {2},
                                .name = fixture::gbk("长夜行舟"),
                                .author = fixture::gbk("舟子")});
    serve(fixture::as_site(pages));
    ASSERT_EQ(run({"download", "-q", "61", "1", "3"}).status, 0);
    const std::string origin(SITE_ORIGIN);
    {
        OpenResult opened = open_library(library_path());
        ASSERT_TRUE(opened.library->set_reading_place("61", origin + "/61/2_2.html", 100).ok());
    }
    const Finished tsv = run({"library", "--tsv"});
    EXPECT_EQ(tsv.status, 0) << tsv.err;
    EXPECT_EQ(tsv.out,
              "61\t长夜行舟\t舟子\t4\t3\t" + origin + "/61/3.html\t" + origin + "/61/2_2.html\n");
    const Finished in_gbk = run({"library", "--tsv", "--encoding", "gbk"});
    EXPECT_EQ(in_gbk.out.substr(0, 12), "61\t" + fixture::gbk("长夜行舟") + "\t");
    const Finished table = run({"library"});
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("长夜行舟"), std::string::npos) << table.out;
    EXPECT_NE(table.out.find(
                  utf8(pages[3].clean_text.substr(2, pages[3].clean_text.find("\r\n", 2) - 2))),
              std::string::npos)
        << table.out;

    const Finished unknown = run({"library", "remove", "62"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "novel: 书库中没有这本书：62\n");
    EXPECT_EQ(run({"library", "remove", "61"}).status, 0);
    EXPECT_EQ(run({"library", "--tsv"}).out, "");
}

// An export writes a download's bytes, remembers how it was made, and
// reports the pages the library lacks.
TEST_F(NovelTool, ExportWritesTheDownloadsBytesAndTellsTheGaps) {
    const std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "62", .chapter_count = 5, .two_page_chapters = {3}});
    serve(fixture::as_site(pages));
    ASSERT_EQ(run({"download", "-q", "-o", "d.txt", "62", "1", "5"}).status, 0);
    const std::string downloaded = testing::file_contents(dir_ / "d.txt");

    const Finished txt = run({"export", "62", "-o", "e.txt"});
    EXPECT_EQ(txt.status, 0) << txt.err;
    EXPECT_EQ(testing::file_contents(dir_ / "e.txt"), downloaded);
    const Finished in_utf8 = run({"export", "62", "-o", "u.txt", "--encoding", "utf-8", "--bom"});
    EXPECT_EQ(in_utf8.status, 0) << in_utf8.err;
    EXPECT_EQ(testing::file_contents(dir_ / "u.txt"), "\xEF\xBB\xBF" + utf8(downloaded));
    const Finished traditional =
        run({"export", "62", "-o", "t.txt", "--script", "traditional", "--encoding", "utf-8"});
    EXPECT_EQ(traditional.status, 0) << traditional.err;
    EXPECT_NE(testing::file_contents(dir_ / "t.txt").find("遠處的燈火"), std::string::npos);
    const Finished epub = run({"export", "62", "-o", "b.epub"});
    EXPECT_EQ(epub.status, 0) << epub.err;
    EXPECT_TRUE(testing::file_contents(dir_ / "b.epub").starts_with("PK"));
    {
        OpenResult opened = open_library(library_path());
        const ExportLookup last = opened.library->last_export("62");
        ASSERT_TRUE(last.found);
        EXPECT_EQ(last.found->path, (dir_ / "b.epub").string());
        EXPECT_EQ(last.found->format, ExportFormat::epub);
        // A gap: the page behind chapter 2 is gone from the library.
        ASSERT_TRUE(opened.library->remove_book("62").ok());
    }
    server_->clear_requests();
    ASSERT_EQ(run({"download", "-q", "-o", "d1.txt", "62", "1", "2"}).status, 0);
    ASSERT_EQ(run({"download", "-q", "-o", "d2.txt", "62", "4", "5"}).status, 0);
    const Finished gaps = run({"export", "62", "-o", "g.txt"});
    EXPECT_EQ(gaps.status, 0);
    EXPECT_NE(gaps.err.find("novel: 缺少页面：" + std::string(SITE_ORIGIN) + "/62/3.html\n"),
              std::string::npos)
        << gaps.err;
    EXPECT_NE(gaps.err.find("novel: 共缺少 1 页"), std::string::npos) << gaps.err;
    EXPECT_EQ(testing::file_contents(dir_ / "g.txt"),
              testing::file_contents(dir_ / "d1.txt") + testing::file_contents(dir_ / "d2.txt"));

    const std::string library_before = testing::file_contents(library_path());
    EXPECT_EQ(run({"export", "63", "-o", "x.txt"}).status, 2);
    EXPECT_EQ(run({"export", "62", "-o", "x.epub", "--encoding", "gbk"}).status, 2);
    EXPECT_EQ(run({"export", "62", "-o", "no/such/x.txt"}).status, 3);
    EXPECT_FALSE(fs::exists(dir_ / "x.txt"));
    EXPECT_EQ(testing::file_contents(library_path()), library_before);
}

// novel update against a site that publishes between two runs; a book whose
// site is down exits with 4 and the others are still checked.
TEST_F(NovelTool, UpdateTellsEachBooksNewChaptersAndWritesItsExportAgain) {
    const std::vector<fixture::FixturePage> later =
        fixture::generate_book({.book = "64",
                                .chapter_count = 5,
                                .two_page_chapters = {4},
                                .name = fixture::gbk("长夜行舟")});
    fixture::SitePages before;
    for (std::size_t at = 0; at < 3; ++at) before[later[at].path] = later[at].bytes;
    before["/71/1.html"] = later[0].bytes;
    const auto down = [](const std::string& target) {
        if (!target.starts_with("/71/")) return fixture::SiteAnswer{};
        return fixture::SiteAnswer{
            .status = 503, .body = "down", .headers = {{"Retry-After", "0"}}};
    };
    serve(before);
    ASSERT_EQ(run({"download", "-q", "-o", "d.txt", "64", "1", "3"}).status, 0);
    ASSERT_EQ(run({"read", std::string(SITE_ORIGIN) + "/71/1.html"}).status, 0);
    ASSERT_EQ(run({"export", "64", "-o", "book.txt"}).status, 0);

    const Finished unknown = run({"update", "65"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_EQ(unknown.err, "novel: 书库中没有这本书：65\n");
    const Finished nothing = run({"update", "64"});
    EXPECT_EQ(nothing.status, 0) << nothing.err;
    EXPECT_EQ(nothing.out, "《长夜行舟》：没有新章节\n");

    serve(fixture::as_site(later), {}, down);
    const Finished found = run({"update", "--export"});
    EXPECT_EQ(found.status, 4) << found.err;
    EXPECT_NE(
        found.out.find(
            "《长夜行舟》：新增 2 章（" +
            utf8(later[3].clean_text.substr(2, later[3].clean_text.find("\r\n", 2) - 2)) + " …… "),
        std::string::npos)
        << found.out;
    EXPECT_NE(found.out.find("无法检查更新：HTTP 状态 503（已重试5次）"), std::string::npos)
        << found.out;
    EXPECT_EQ(std::count(found.out.begin(), found.out.end(), '\n'), 2) << found.out;

    ASSERT_EQ(run({"download", "-q", "--no-library", "-o", "fresh.txt", "64", "1", "5"}).status, 0);
    EXPECT_EQ(testing::file_contents(dir_ / "book.txt"),
              testing::file_contents(dir_ / "fresh.txt"));
}

// A second Ctrl-C while the run winds down still ends the tool with its own
// status, never by the signal.
TEST_F(NovelTool, ASecondInterruptStillEndsWithStatus130) {
    const std::vector<fixture::FixturePage> pages =
        fixture::generate_book({.book = "93", .chapter_count = 20});
    serve(fixture::as_site(pages), 150ms);
    for (const auto gap : {0ms, 5ms, 40ms, 200ms}) {
        SCOPED_TRACE(gap.count());
        const pid_t tool = start({"download", "-q", "-o", "s.txt", "93", "1", "20"});
        for (int tries = 0; tries < 500 && testing::file_contents(dir_ / "s.txt").empty();
             ++tries) {
            std::this_thread::sleep_for(10ms);
        }
        kill(tool, SIGINT);
        std::this_thread::sleep_for(gap);
        kill(tool, SIGINT);
        int status = 0;
        ASSERT_EQ(waitpid(tool, &status, 0), tool);
        ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
        EXPECT_EQ(WEXITSTATUS(status), 130);
        std::filesystem::remove(dir_ / "s.txt");
        std::filesystem::remove(journal_path((dir_ / "s.txt").string()));
    }
}

}  // namespace
}  // namespace novel
