#include "library/script_converter.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace novel {
namespace {

ScriptConverter& converter() {
    static ScriptConverterOpening opening = ScriptConverter::open();
    if (!opening.converter) throw std::runtime_error(opening.reason);
    return *opening.converter;
}

TEST(ScriptConverter, TurnsSimplifiedIntoTraditional) {
    EXPECT_EQ(converter().convert("这是他说的话。"), "這是他說的話。");
    EXPECT_EQ(converter().convert("第2章 夜行"), "第2章 夜行");
    EXPECT_EQ(converter().convert(""), "");
    EXPECT_EQ(converter().convert("ASCII <&> stays"), "ASCII <&> stays");
}

TEST(ScriptConverter, PrefersTaiwanPhrasesAndFallsBackToCharacters) {
    const ScriptConverterOpening preferred = ScriptConverter::open();
    ASSERT_TRUE(preferred.converter) << preferred.reason;
    EXPECT_EQ(preferred.config, "s2twp.json");
    // Taiwan's own word for software, which the character table alone does not give.
    EXPECT_EQ(preferred.converter->convert("软件"), "軟體");

    const ScriptConverterOpening fallback =
        ScriptConverter::open({.configs = {"no-such-config.json", "s2t.json"}});
    ASSERT_TRUE(fallback.converter) << fallback.reason;
    EXPECT_EQ(fallback.config, "s2t.json");
    EXPECT_EQ(fallback.converter->convert("软件"), "軟件");
}

TEST(ScriptConverter, SaysWhyWhenNoConfigurationOpens) {
    const ScriptConverterOpening opening =
        ScriptConverter::open({.configs = {"no-such-config.json", "/nowhere/either.json"}});
    EXPECT_FALSE(opening.converter);
    EXPECT_NE(opening.reason.find("no-such-config.json"), std::string::npos) << opening.reason;
    EXPECT_NE(opening.reason.find("/nowhere/either.json"), std::string::npos) << opening.reason;
    EXPECT_FALSE(ScriptConverter::open({.configs = {}}).reason.empty());
}

TEST(ScriptConverter, OneConverterServesSeveralThreads) {
    std::vector<std::thread> threads;
    std::vector<int> mismatches(4, 0);
    for (std::size_t t = 0; t < mismatches.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 200; ++i) {
                if (converter().convert("她说这里的书") != "她說這裡的書") ++mismatches[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace novel
