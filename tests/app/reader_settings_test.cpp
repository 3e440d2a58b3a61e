// The reader's settings file: what is saved comes back byte for byte, and
// whatever the file holds gives usable values.

#include "app/reader_settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace std::string_literals;

namespace novel {
namespace {

class Settings : public ::testing::Test {
protected:
    // Replaces the file with exactly these bytes.
    void write_file(const QByteArray& bytes) const {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    static void expect_defaults(const ReaderSettings& settings) {
        EXPECT_EQ(settings.reading_place(), SavedPlace{});
        EXPECT_EQ(settings.text_size(), 18);
        EXPECT_EQ(settings.window_place(READER_WINDOW_PLACE), std::nullopt);
        EXPECT_EQ(settings.window_place(DOWNLOAD_WINDOW_PLACE), std::nullopt);
    }

    QTemporaryDir folder;
    QString file = folder.filePath(QStringLiteral("config/novel_reader/settings.ini"));
};

TEST_F(Settings, WhatIsSavedComesBackInTheNextRun) {
    // GBK, a byte no text has, and the file format's own marks.
    const SavedPlace place{.chapter_link = "https://www.qubige.com/1/\xB5\xDA\xFF=;,\"\\\n"s,
                           .next_link = "https://www.qubige.com/1/2.html"};
    {
        ReaderSettings settings(file);
        expect_defaults(settings);  // nothing there yet
        settings.save_reading_place(place);
        settings.save_text_size(30);
        settings.save_window_place(READER_WINDOW_PLACE, {-20, 40, 700, 500});
        settings.save_window_place(DOWNLOAD_WINDOW_PLACE, {300, 200, 320, 202});
    }
    ASSERT_TRUE(QFile::exists(file));
    const ReaderSettings settings(file);
    EXPECT_EQ(settings.reading_place(), place);
    EXPECT_EQ(settings.text_size(), 30);
    EXPECT_EQ(settings.window_place(READER_WINDOW_PLACE), QRect(-20, 40, 700, 500));
    EXPECT_EQ(settings.window_place(DOWNLOAD_WINDOW_PLACE), QRect(300, 200, 320, 202));
}

TEST_F(Settings, ACorruptFileGivesTheDefaultsAndIsReplacedByTheNextSave) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    write_file(QByteArray("\x00\xFF\xFE[reading\n=\n\x01\x02]]]\n", 19) +
               "[reading]\ntext_size=banana\nnext_link=1,2,3\n"
               "[reader_window]\nx=@Rect(1 2 3 4)\ny=\nwidth=twelve\n");
    {
        ReaderSettings settings(file);
        expect_defaults(settings);
        settings.save_text_size(20);
    }
    EXPECT_EQ(ReaderSettings(file).text_size(), 20);
}

TEST_F(Settings, AnUnreadableFileGivesTheDefaults) {
    ASSERT_TRUE(QDir().mkpath(file));  // a folder where the file should be
    ReaderSettings settings(file);
    expect_defaults(settings);
    settings.save_text_size(20);  // nowhere to go, and no harm done
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST_F(Settings, NoFileKeepsNothing) {
    ReaderSettings settings{QString()};
    settings.save_text_size(20);
    settings.save_reading_place({.chapter_link = "a", .next_link = "b"});
    expect_defaults(settings);
}

TEST_F(Settings, ValuesOutOfRangeAreClampedOrIgnored) {
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).path()));
    const auto text_size_in = [&](const QByteArray& value) {
        write_file("[reading]\ntext_size=" + value + "\n");
        return ReaderSettings(file).text_size();
    };
    EXPECT_EQ(text_size_in("500"), 48);
    EXPECT_EQ(text_size_in("3"), 10);
    EXPECT_EQ(text_size_in("99999999999999999999999"), 18);  // not a number we can hold
    write_file("[download]\nfetch_ahead=64\n");
    EXPECT_EQ(ReaderSettings(file).fetch_ahead(), 8);

    const auto reader_place_in = [&](const QByteArray& fields) {
        write_file("[reader_window]\n" + fields);
        return ReaderSettings(file).window_place(READER_WINDOW_PLACE);
    };
    EXPECT_EQ(reader_place_in("x=1\ny=2\nwidth=300\nheight=200\n"), QRect(1, 2, 300, 200));
    EXPECT_EQ(reader_place_in("x=1\ny=2\nwidth=0\nheight=200\n"), std::nullopt);
    EXPECT_EQ(reader_place_in("x=1\ny=2\nwidth=300\n"), std::nullopt);
    EXPECT_EQ(reader_place_in("x=2147483647\ny=2\nwidth=2147483647\nheight=200\n"), std::nullopt);
}

TEST(TextSize, StepsStayBetweenTheSmallestAndTheLargest) {
    EXPECT_EQ(step_text_size(16, 1), 18);
    EXPECT_EQ(step_text_size(16, -1), 14);
    EXPECT_EQ(step_text_size(16, -20), 10);
    EXPECT_EQ(step_text_size(47, 1), 48);
    EXPECT_EQ(step_text_size(48, 1), 48);
    EXPECT_EQ(step_text_size(10, -1), 10);
}

TEST(WindowPlace, OpensOnlyOnAScreenThereIsNow) {
    const QList<QRect> screens{{0, 0, 1920, 1080}, {1920, 0, 1280, 1024}};
    const QSize smallest{200, 140};
    const QSize largest{10000, 10000};
    // Where a second screen used to be.
    EXPECT_EQ(place_on_screens({3300, 100, 459, 286}, screens, smallest, largest), std::nullopt);
    // On a screen there is: kept as it was.
    EXPECT_EQ(place_on_screens({2000, 100, 459, 286}, screens, smallest, largest),
              QRect(2000, 100, 459, 286));
    // Partly off: moved onto the screen it overlaps most.
    EXPECT_EQ(place_on_screens({1800, 900, 459, 286}, screens, smallest, largest),
              QRect(1920, 738, 459, 286));
    // Larger than the screen, or smaller than allowed.
    EXPECT_EQ(place_on_screens({-50, -50, 4000, 3000}, screens, smallest, largest),
              QRect(0, 0, 1920, 1080));
    EXPECT_EQ(place_on_screens({10, 10, 20, 20}, screens, smallest, largest),
              QRect(10, 10, 200, 140));
    // A window of a fixed size gets that size back.
    EXPECT_EQ(place_on_screens({10, 10, 500, 500}, screens, {320, 202}, {320, 202}),
              QRect(10, 10, 320, 202));
}

TEST(SettingsFile, LivesUnderTheUsersConfigFolder) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/home/someone/config");
    EXPECT_EQ(user_settings_file(),
              QStringLiteral("/home/someone/config/novel_reader/settings.ini"));
    // A relative folder is no folder: never beside the program.
    qputenv("XDG_CONFIG_HOME", "config");
    EXPECT_EQ(user_settings_file(),
              QDir::homePath() + QStringLiteral("/.config/novel_reader/settings.ini"));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(user_settings_file(),
              QDir::homePath() + QStringLiteral("/.config/novel_reader/settings.ini"));
    if (!saved.isNull()) qputenv("XDG_CONFIG_HOME", saved);
}

}  // namespace
}  // namespace novel
