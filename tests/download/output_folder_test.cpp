#include "download/output_folder.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace novel
