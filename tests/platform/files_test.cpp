#include "platform/files.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

using namespace novel;
using namespace std::string_view_literals;
namespace fs = std::filesystem;

namespace {

class FilesTest : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = testing::TempDir() + "files_test_XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }

    [[nodiscard]] std::string path(std::string_view name) const { return (dir_ / name).string(); }

    [[nodiscard]] static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    fs::path dir_;
};

TEST_F(FilesTest, WriteReplacesTheWholeContentWithExactBytes) {
    const std::string file = path("文本.txt");
    ASSERT_TRUE(write_file(file, "old content that is longer"sv).ok);
    const auto bytes = "\r\n\xb5\xda\x31\xd5\xc2\r\n\0tail"sv;
    ASSERT_TRUE(write_file(file, bytes).ok);
    EXPECT_EQ(contents(file), bytes);

    ASSERT_TRUE(write_file(file, ""sv).ok);
    EXPECT_TRUE(fs::exists(file));
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(FilesTest, AppendAddsToTheEndOfAnExistingFile) {
    const std::string file = path("out.txt");
    ASSERT_TRUE(write_file(file, "\r\nA"sv).ok);
    ASSERT_TRUE(append_file(file, "\r\nB"sv).ok);
    ASSERT_TRUE(append_file(file, ""sv).ok);
    ASSERT_TRUE(append_file(file, "\r\nC\0"sv).ok);
    EXPECT_EQ(contents(file), "\r\nA\r\nB\r\nC\0"sv);
}

TEST_F(FilesTest, AppendToAMissingFileFailsInsteadOfStartingANewOne) {
    const std::string file = path("gone.txt");
    const FileResult result = append_file(file, "piece"sv);
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "No such file or directory");
    EXPECT_FALSE(fs::exists(file));
}

TEST_F(FilesTest, FailuresCarryTheSystemsReason) {
    const std::string missing_dir = path("no/such/dir/文本.txt");
    const FileResult written = write_file(missing_dir, "x"sv);
    EXPECT_FALSE(written.ok);
    EXPECT_EQ(written.reason, "No such file or directory");

    // A directory where the file should be stops even root.
    const std::string directory = path("dir.txt");
    fs::create_directory(directory);
    const FileResult over_directory = write_file(directory, "x"sv);
    EXPECT_FALSE(over_directory.ok);
    EXPECT_EQ(over_directory.reason, "Is a directory");
    EXPECT_FALSE(append_file(directory, "x"sv).ok);

    const FileContent read_directory = read_file(directory);
    EXPECT_FALSE(read_directory.ok);
    EXPECT_EQ(read_directory.reason, "Is a directory");

    const FileContent read_missing = read_file(missing_dir);
    EXPECT_FALSE(read_missing.ok);
    EXPECT_EQ(read_missing.reason, "No such file or directory");
}

TEST_F(FilesTest, ReadReturnsEveryByteOfALargeFile) {
    std::string big;
    for (int i = 0; big.size() < 300'000; ++i) big += std::to_string(i) + '\0' + "\xce\xc4";
    const std::string file = path("big.bin");
    ASSERT_TRUE(write_file(file, big).ok);
    const FileContent read = read_file(file);
    ASSERT_TRUE(read.ok);
    EXPECT_EQ(read.bytes, big);

    ASSERT_TRUE(write_file(file, ""sv).ok);
    const FileContent empty = read_file(file);
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(empty.bytes, "");
}

// A file size limit makes the write stop part way, as a full disk would.
TEST_F(FilesTest, AnAppendThatFailsPartWayLeavesTheOldContent) {
    const std::string file = path("limited.txt");
    ASSERT_TRUE(write_file(file, std::string(100, 'a')).ok);

    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old_limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    rlimit limit = old_limit;
    limit.rlim_cur = 150;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const FileResult result = append_file(file, std::string(100, 'b'));
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &old_limit), 0);

    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.reason, "File too large");
    EXPECT_EQ(contents(file), std::string(100, 'a'));
}

// A run opens the file once for every page: a descriptor kept on any path
// would run the process out of them.
TEST_F(FilesTest, NoOperationKeepsADescriptorOpen) {
    const auto open_descriptors = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto before = open_descriptors();
    const std::string file = path("out.txt");
    const std::string directory = path("dir.txt");
    fs::create_directory(directory);
    for (int i = 0; i < 50; ++i) {
        EXPECT_TRUE(write_file(file, "x"sv).ok);
        EXPECT_TRUE(append_file(file, "y"sv).ok);
        EXPECT_TRUE(read_file(file).ok);
        EXPECT_FALSE(write_file(directory, "x"sv).ok);
        EXPECT_FALSE(append_file(directory, "x"sv).ok);
        EXPECT_FALSE(read_file(directory).ok);
        EXPECT_FALSE(append_file(path("gone.txt"), "x"sv).ok);
    }
    EXPECT_EQ(open_descriptors(), before);
}

TEST(ProgramDirectory, IsTheDirectoryThatHoldsTheRunningProgram) {
    const ProgramDirectory directory = program_directory();
    ASSERT_TRUE(directory.ok) << directory.reason;
    ASSERT_FALSE(directory.path.empty());
    EXPECT_NE(directory.path.back(), '/');
    EXPECT_TRUE(fs::is_regular_file(fs::path(directory.path) / "files_test"));
}

}  // namespace

TEST_F(FilesTest, OnlyRegularFilesAreReadOrWrittenAndJournalsRefuseLinks) {
    const std::string fifo = path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // None of these may block on a FIFO nobody reads or writes.
    EXPECT_EQ(open_for_writing(fifo).reason, NOT_A_REGULAR_FILE);
    EXPECT_EQ(append_file(fifo, "x"sv).reason, NOT_A_REGULAR_FILE);
    EXPECT_EQ(write_file(fifo, "x"sv).reason, NOT_A_REGULAR_FILE);
    EXPECT_EQ(read_file(fifo).reason, NOT_A_REGULAR_FILE);
    EXPECT_EQ(open_for_writing("/dev/null").reason, NOT_A_REGULAR_FILE);

    const std::string target = path("target");
    ASSERT_TRUE(write_file(target, "old"sv).ok);
    fs::create_symlink(target, path("link"));
    EXPECT_TRUE(append_file(path("link"), "+"sv).ok);
    EXPECT_FALSE(append_file(path("link"), "+"sv, Links::refuse).ok);
    EXPECT_FALSE(read_file(path("link"), Links::refuse).ok);
    EXPECT_EQ(read_file(target).bytes, "old+");

    // A file planted at the old temporary name is left alone by an atomic replace.
    fs::create_symlink(target, path("state.tmp"));
    ASSERT_TRUE(replace_file_atomically(path("state"), "new"sv).ok);
    EXPECT_EQ(read_file(path("state")).bytes, "new");
    EXPECT_EQ(read_file(target).bytes, "old+");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir_)) ++entries;
    EXPECT_EQ(entries, 5u) << "fifo, target, link, state.tmp and state: no temporary left";
}
