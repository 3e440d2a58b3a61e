// A reading from end to end inside one process: the reader window's "获取"
// with the program's own services fetches a fixture chapter from a loopback
// HTTPS server through show_chapter into the content box.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "app/content_box.h"
#include "app/program_services.h"
#include "app/reader_window.h"
#include "chapter/site.h"
#include "tests/app/window_test_support.h"
#include "tests/support/fixture_site.h"
#include "tests/support/site_server.h"

namespace novel::testing {
namespace {

class Reading : public ::testing::Test {
protected:
    void SetUp() override {
        create_globals();
        windows = std::make_unique<TestWindows>(services);
        windows->open_window(Window::reader, false);
        reader = windows->reader_window();
    }
    void TearDown() override {
        windows.reset();
        release_globals();
    }

    ProgramServices services{
        [this]() -> QObject* { return windows ? windows->hot_key_receiver() : nullptr; }};
    std::unique_ptr<TestWindows> windows;
    ReaderWindow* reader = nullptr;
};

TEST_F(Reading, FetchShowsTheChapterAndPagingLeavesTheLinkBoxAlone) {
    const std::vector<fixture::FixturePage> pages = fixture::generate_book({});
    ASSERT_GE(pages.size(), 2u);
    ASSERT_FALSE(pages[0].clean_text.empty());
    fixture::FixtureSiteServer server(fixture::as_site(pages));
    ASSERT_TRUE(server.listening());

    // Offscreen there is no X11 session to take the key from.
    EXPECT_EQ(globals().paging_hot_key_id, 0);

    const std::string link = server.origin() + pages[0].path;
    reader->link_box->setText(QString::fromStdString(link));
    QTest::mouseClick(reader->fetch_button, Qt::LeftButton);

    EXPECT_EQ(server.requested_targets(), std::vector<std::string>{pages[0].path});
    EXPECT_EQ(windows->read_text(Window::reader, "编辑框1"), pages[0].clean_text);
    EXPECT_FALSE(reader->content_box->toPlainText().isEmpty());
    EXPECT_EQ(globals().next_chapter_link, std::string(SITE_ORIGIN) + pages[0].next_path);

    // The next link is on the real host, which tests never reach: point it at
    // the loopback server to page on.
    globals().next_chapter_link = server.origin() + pages[1].path;
    QTest::mouseClick(reader->next_page_button, Qt::LeftButton);
    EXPECT_EQ(server.requested_targets(), (std::vector<std::string>{pages[0].path, pages[1].path}));
    EXPECT_EQ(windows->read_text(Window::reader, "编辑框1"), pages[1].clean_text);
    EXPECT_EQ(reader->link_box->text().toStdString(), link);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
