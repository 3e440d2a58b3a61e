#include "download/output_folder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace novel {
namespace {
namespace fs = std::filesystem;

TEST(ChooseOutputFolder, TakesTheProgramsFolderElseTheFirstUsableFallback) {
    const std::string here = ::testing::TempDir();
    const std::string missing = here + "/no such folder";
    const std::string file = here + "/output_folder_test_file";
    std::FILE* made = std::fopen(file.c_str(), "w");
    ASSERT_NE(made, nullptr);
    std::fclose(made);

    EXPECT_EQ(choose_output_folder(here, {missing})->beside_program, true);
    const std::optional<OutputFolder> fallback = choose_output_folder(missing, {file, "", here});
    ASSERT_TRUE(fallback.has_value());
    EXPECT_EQ(fallback->path, here);
    EXPECT_FALSE(fallback->beside_program);
    EXPECT_FALSE(choose_output_folder(std::nullopt, {missing, file}).has_value());
    fs::remove(file);
}

TEST(ChooseOutputFolder, SystemFoldersAndTheirSubfoldersAreNeverTheProgramsPlace) {
    for (const char* system : {"/", "/usr", "/usr/local", "/usr/local/bin/", "/opt/reader", "/bin",
                               "/sbin", "/lib", "/lib64", "/usr//lib"}) {
        EXPECT_TRUE(is_system_folder(system)) << system;
    }
    for (const char* own :
         {"/home/someone/reader", "/tmp/build", "/usrlocal", "/optional", "/root/reader"}) {
        EXPECT_FALSE(is_system_folder(own)) << own;
    }
    // Writable for root, yet the file goes to the user's folder.
    const std::string here = ::testing::TempDir();
    const std::optional<OutputFolder> chosen = choose_output_folder("/usr", {here});
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->path, here);
    EXPECT_FALSE(chosen->beside_program);
}

TEST(ChooseOutputFolder, AProgramFolderOwnedBySomeoneElseIsPassedOver) {
    const fs::path theirs = fs::path(::testing::TempDir()) / "output_folder_test_theirs";
    fs::create_directories(theirs);
    fs::permissions(theirs, fs::perms::all);
    const std::string here = ::testing::TempDir();
    if (::chown(theirs.c_str(), ::geteuid() + 1, static_cast<gid_t>(-1)) != 0) {
        fs::remove_all(theirs);
        GTEST_SKIP() << "cannot give a folder away (not root)";
    }
    const std::optional<OutputFolder> chosen = choose_output_folder(theirs.string(), {here});
    fs::remove_all(theirs);
    ASSERT_TRUE(chosen.has_value());
    EXPECT_EQ(chosen->path, here);
    EXPECT_FALSE(chosen->beside_program);
}

}  // namespace
}  // namespace novel
