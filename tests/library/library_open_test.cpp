// Opening the library file: a fresh one, a damaged one set aside for a new
// one, and one of a newer schema left exactly as it is.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <regex>

#include "library/library.h"
#include "platform/files.h"
#include "tests/library/library_test_support.h"

namespace novel::testing {
namespace {
namespace fs = std::filesystem;

class LibraryOpen : public ::testing::Test {
protected:
    std::string path() const { return (folder_.path() / "data" / "library.sqlite3").string(); }
    // A closed library with a few pages of 3 KB in it.
    void make_library(int pages) {
        std::unique_ptr<Library> library = open_or_fail(path());
        for (int n = 1; n <= pages; ++n) {
            ASSERT_TRUE(store(*library, "1", std::to_string(n), "", std::string(3000, 'a' + n % 26))
                            .status.ok());
        }
    }
    void expect_set_aside_and_fresh(const std::string& old_bytes) {
        OpenResult opened = open_library(path());
        ASSERT_EQ(opened.outcome, OpenOutcome::made_fresh) << opened.status.message;
        ASSERT_TRUE(opened.library);
        EXPECT_TRUE(opened.library->bookshelf().rows.empty());
        EXPECT_TRUE(store(*opened.library, "1", "1", "").status.ok());
        const std::string name = fs::path(opened.set_aside_path).filename().string();
        EXPECT_TRUE(std::regex_match(name, std::regex(R"(library\.sqlite3\.broken-\d{8}-\d{6})")))
            << name;
        EXPECT_EQ(file_contents(opened.set_aside_path), old_bytes);
        // Told once: the next open finds a sound file.
        opened.library.reset();
        EXPECT_EQ(open_library(path()).outcome, OpenOutcome::opened);
    }
    TempFolder folder_;
};

TEST_F(LibraryOpen, MakesTheFolderAndAFreshFile) {
    OpenResult opened = open_library(path());
    ASSERT_EQ(opened.outcome, OpenOutcome::opened) << opened.status.message;
    EXPECT_TRUE(fs::exists(path()));
    EXPECT_TRUE(opened.set_aside_path.empty());
}

TEST_F(LibraryOpen, SetsRandomBytesAsideAndNeverKeepsTheirLog) {
    fs::create_directories(fs::path(path()).parent_path());
    std::mt19937 random(7);
    std::string junk(20000, '\0');
    for (char& byte : junk) byte = static_cast<char>(random());
    ASSERT_TRUE(write_file(path(), junk).ok);
    ASSERT_TRUE(write_file(path() + "-wal", "not a log").ok);
    expect_set_aside_and_fresh(junk);
    // The old log goes with its file (or SQLite drops it); it must never be
    // replayed into the fresh one.
    EXPECT_NE(file_contents(path() + "-wal"), "not a log");
}

TEST_F(LibraryOpen, SetsATruncatedFileAside) {
    make_library(40);
    ASSERT_FALSE(fs::exists(path() + "-wal")) << "the last close leaves no log";
    const auto size = fs::file_size(path());
    ASSERT_GT(size, 40u * 3000u);
    ASSERT_TRUE(truncate_file(path(), size / 2).ok);
    expect_set_aside_and_fresh(file_contents(path()));
}

TEST_F(LibraryOpen, AnEmptyFileIsAFreshLibrary) {
    fs::create_directories(fs::path(path()).parent_path());
    ASSERT_TRUE(write_file(path(), "").ok);
    EXPECT_EQ(open_library(path()).outcome, OpenOutcome::opened);
}

TEST_F(LibraryOpen, RefusesANewerSchemaAndLeavesTheFileAlone) {
    make_library(3);
    const std::string command = "sqlite3 '" + path() + "' 'PRAGMA user_version = 7'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string before = file_contents(path());

    OpenResult opened = open_library(path());
    EXPECT_EQ(opened.outcome, OpenOutcome::refused);
    EXPECT_EQ(opened.status.error, LibraryError::newer_schema);
    EXPECT_NE(opened.status.message.find("newer"), std::string::npos);
    EXPECT_FALSE(opened.library);
    EXPECT_EQ(file_contents(path()), before);
    for (const auto& entry : fs::directory_iterator(fs::path(path()).parent_path())) {
        EXPECT_EQ(entry.path().string().find(".broken-"), std::string::npos);
    }
}

// A file of the first schema (before exports were remembered) keeps its
// pages and gains the exports table.
TEST_F(LibraryOpen, BringsAVersionOneFileUpToDate) {
    make_library(2);
    const std::string command =
        "sqlite3 '" + path() + "' 'DROP TABLE exports; PRAGMA user_version = 1'";
    ASSERT_EQ(std::system(command.c_str()), 0);

    std::unique_ptr<Library> library = open_or_fail(path());
    ASSERT_TRUE(library);
    EXPECT_TRUE(library->page_at(page_address("1", "2")).found);
    ASSERT_TRUE(library->remember_export("1", {.path = "/tmp/a.txt", .exported_at = 5}).ok());
    library.reset();
    library = open_or_fail(path());
    const ExportLookup remembered = library->last_export("1");
    ASSERT_TRUE(remembered.found) << remembered.status.message;
    EXPECT_EQ(remembered.found->path, "/tmp/a.txt");
}

TEST_F(LibraryOpen, FailsWithTheReasonWhenTheFolderCannotBeMade) {
    ASSERT_TRUE(write_file((folder_.path() / "data").string(), "a file, not a folder").ok);
    const OpenResult opened = open_library(path());
    EXPECT_EQ(opened.outcome, OpenOutcome::failed);
    EXPECT_EQ(opened.status.error, LibraryError::io);
    EXPECT_FALSE(opened.status.message.empty());
}

}  // namespace
}  // namespace novel::testing
