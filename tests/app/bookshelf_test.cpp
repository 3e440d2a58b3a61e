// The bookshelf window over a library of the test's own: one row per book,
// newest reading first, opening at the place read, removing after asking,
// and an export that leaves the file where the user said.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QTreeWidget>
#include <memory>

#include "app/bookshelf_controller.h"
#include "app/bookshelf_window.h"
#include "app/content_box.h"
#include "app/program_windows.h"
#include "app/reader_window.h"
#include "chapter/chapter_extraction.h"
#include "library/library.h"
#include "tests/app/window_test_support.h"
#include "tests/support/fixture_site.h"

namespace novel::testing {
namespace {

std::string address(int book, int chapter) {
    return "https://www.qubige.com/" + std::to_string(book) + "/" + std::to_string(chapter) +
           ".html";
}

class Bookshelf : public ::testing::Test {
protected:
    void SetUp() override {
        OpenResult opened = open_library(recorded.library_file());
        ASSERT_TRUE(opened.library);
        // Book 7 read an hour ago, book 8 read just now, book 9 never read.
        keep(*opened.library, 7, "山海书", 3);
        keep(*opened.library, 8, "江湖录", 2);
        keep(*opened.library, 9, "未读集", 1);
        ASSERT_TRUE(opened.library->set_reading_place("7", address(7, 2), 1000).ok());
        ASSERT_TRUE(opened.library->set_reading_place("8", address(8, 1), 5000).ok());
    }
    void TearDown() override { windows.reset(); }

    static void keep(Library& library, int book, std::string_view name, int pages) {
        for (int chapter = 1; chapter <= pages; ++chapter) {
            const std::string page = fixture::chapter_page({
                .title = fixture::gbk(std::string(name) + "第" + std::to_string(chapter) + "章"),
                .content = fixture::site_content({fixture::plain_paragraph(
                    fixture::gbk("正文，足够长的一段文字，写满四十个字节以上。"))}),
                .next_path =
                    "/" + std::to_string(book) + "/" + std::to_string(chapter + 1) + ".html",
                .book_name = fixture::gbk(name),
                .author = fixture::gbk("某人"),
            });
            const Chapter chapter_read = extract_chapter(page);
            const BookInfo info = extract_book_info(page, std::to_string(book));
            const std::string link = address(book, chapter);
            ASSERT_EQ(library.store_page({.address = link, .chapter = chapter_read, .book = info})
                          .outcome,
                      StoreOutcome::inserted);
        }
    }

    void open() {
        windows = std::make_unique<ProgramWindows>(recorded.seams());
        windows->open_reader_window();
        windows->open_bookshelf_window();
        shelf = windows->bookshelf_window();
    }
    [[nodiscard]] QStringList names() const {
        QStringList shown;
        for (int row = 0; row < shelf->books->topLevelItemCount(); ++row) {
            shown << shelf->books->topLevelItem(row)->text(name_column);
        }
        return shown;
    }

    RecordingSeams recorded;
    std::unique_ptr<ProgramWindows> windows;
    BookshelfWindow* shelf = nullptr;
};

TEST_F(Bookshelf, RowsShowEachBookNewestReadingFirst) {
    open();
    EXPECT_EQ(names(), (QStringList{utf8("江湖录"), utf8("山海书"), utf8("未读集")}));
    const QTreeWidgetItem* second = shelf->books->topLevelItem(1);
    EXPECT_EQ(second->text(author_column), utf8("某人"));
    EXPECT_EQ(second->text(pages_column), QStringLiteral("3"));
    EXPECT_EQ(second->text(newest_column), utf8("山海书第3章"));
    EXPECT_TRUE(second->text(read_column).startsWith(utf8("山海书第2章")));
    EXPECT_TRUE(shelf->books->topLevelItem(2)->text(read_column).isEmpty());
}

TEST_F(Bookshelf, OpeningShowsTheBookAtItsPlaceOrAnyKeptChapter) {
    open();
    shelf->books->setCurrentItem(shelf->books->topLevelItem(1));
    shelf->open_button->click();
    ReaderWindow* reader = windows->reader_window();
    EXPECT_EQ(reader->link_box->text().toStdString(), address(7, 2));
    EXPECT_TRUE(reader->content_box->chapter_text().contains(utf8("山海书第2章")));

    // A book never read opens at its first page.
    shelf->books->setCurrentItem(shelf->books->topLevelItem(2));
    shelf->open_button->click();
    EXPECT_EQ(reader->link_box->text().toStdString(), address(9, 1));

    // The chapter list in chain order, and a jump to its last entry.
    shelf->books->setCurrentItem(shelf->books->topLevelItem(1));
    auto* list = windows->bookshelf()->show_chapters()->findChild<QListWidget*>();
    ASSERT_NE(list, nullptr);
    ASSERT_EQ(list->count(), 3);
    EXPECT_EQ(list->item(0)->text(), utf8("山海书第1章"));
    emit list->itemDoubleClicked(list->item(2));
    EXPECT_EQ(reader->link_box->text().toStdString(), address(7, 3));
    EXPECT_TRUE(recorded.fetched_links().empty());
}

TEST_F(Bookshelf, RemovingAsksFirstAndTakesTheBookOut) {
    open();
    recorded.answer = false;
    shelf->remove_button->click();
    ASSERT_EQ(recorded.questions.size(), 1U);
    EXPECT_TRUE(recorded.questions[0].contains(utf8("江湖录")));
    EXPECT_EQ(names().size(), 3);

    recorded.answer = true;
    shelf->remove_button->click();
    EXPECT_EQ(names(), (QStringList{utf8("山海书"), utf8("未读集")}));
    EXPECT_FALSE(windows->library()->page_at(address(8, 1)).found);
}

TEST_F(Bookshelf, ExportWritesWhereTheUserSaidAndRemembersTheChoice) {
    open();
    shelf->books->setCurrentItem(shelf->books->topLevelItem(1));
    shelf->format_box->setCurrentIndex(1);    // TXT
    shelf->encoding_box->setCurrentIndex(1);  // UTF-8
    recorded.save_path = recorded.settings_folder.filePath(QStringLiteral("out.txt"));
    shelf->export_button->click();
    ASSERT_EQ(recorded.proposed_paths.size(), 1U);
    EXPECT_TRUE(recorded.proposed_paths[0].endsWith(utf8("/山海书.txt")));
    ASSERT_TRUE(wait_until([&] { return !windows->bookshelf()->exporting(); }));
    EXPECT_TRUE(shelf->note->text().contains(recorded.save_path))
        << shelf->note->text().toStdString();
    QFile written(recorded.save_path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(written.readAll());
    EXPECT_TRUE(text.contains(utf8("山海书第3章")));

    // The choice is there the next time the window opens.
    shelf->close();
    QApplication::processEvents();
    windows->open_bookshelf_window();
    shelf = windows->bookshelf_window();
    EXPECT_EQ(shelf->format_box->currentIndex(), 1);
    EXPECT_EQ(shelf->encoding_box->currentIndex(), 1);
}

}  // namespace
}  // namespace novel::testing

int main(int argc, char** argv) { return novel::testing::run_window_tests(argc, argv); }
