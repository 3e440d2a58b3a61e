// A reading from end to end inside one process: the reader window's "获取"
// with the program's own chapter fetch brings a fixture chapter from a
// loopback HTTPS server into the content box.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTextEdit>

#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_controller.h"
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
        ProgramSeams seams = recorded.seams();
        seams.fetch_chapter = real_seams().fetch_chapter;
        windows = std::make_unique<ProgramWindows>(std::move(seams));
        windows->open_reader_window();
        reader = windows->reader_window();
    }

    // Clicks and waits for the reading to end.
    void click(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(wait_until([&] { return !windows->reader()->busy(); }));
    }

    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
    ReaderWindow* reader = nullptr;
};

TEST_F(Reading, FetchShowsTheChapterAndPagingLeavesTheLinkBoxAlone) {
    const std::vector<fixture::FixturePage> pages = fixture::generate_book({});
    ASSERT_GE(pages.size(), 2u);
    ASSERT_FALSE(pages[0].clean_text.empty());
    fixture::FixtureSiteServer server(fixture::as_site(pages));
    ASSERT_TRUE(server.listening());

    const std::string link = server.origin() + pages[0].path;
    reader->link_box->setText(QString::fromStdString(link));
    click(reader->fetch_button);

    EXPECT_EQ(server.requested_targets(), std::vector<std::string>{pages[0].path});
    QString expected = qstring_from_gbk(pages[0].clean_text);
    expected.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    EXPECT_EQ(reader->content_box->chapter_text(), expected);
    EXPECT_EQ(windows->reader()->next_chapter_link(),
              std::string(SITE_ORIGIN) + pages[0].next_path);
    EXPECT_EQ(reader->link_box->text().toStdString(), link);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
