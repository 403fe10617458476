// Where kept screenshots go and what they are called: the pictures folder as the desktop names
// it, the time-stamped name, never replacing an earlier picture, and a PNG that holds the frame.
#include "platform/host/Screenshots.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "stb_image.h"
#include "tests/support/ResourceTestSupport.h"

namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(ScreenshotsTest, PicturesFolderFollowsTheDesktopsChoice) {
    TempDir dir;
    const std::string home = dir.Path().string();
    // The environment variable wins when absolute; a relative one is ignored.
    EXPECT_EQ(PicturesFolder({"/data/pics", "", home}), "/data/pics");
    EXPECT_EQ(PicturesFolder({"pics", "", home}), dir.Path() / "Pictures");
    // Nothing set: ~/Pictures.
    EXPECT_EQ(PicturesFolder({"", "", home}), dir.Path() / "Pictures");

    // The desktop's user-dirs.dirs names a localised folder.
    std::filesystem::create_directories(dir.Path() / ".config");
    std::ofstream(dir.File(".config/user-dirs.dirs"))
        << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
           "XDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    EXPECT_EQ(PicturesFolder({"", "", home}), home + "/Bilder");
    // XDG_CONFIG_HOME moves where that file is read.
    EXPECT_EQ(PicturesFolder({"", home + "/elsewhere", home}), dir.Path() / "Pictures");
    EXPECT_EQ(PicturesFolder({"/data/pics", "", home}), "/data/pics");
}

TEST(ScreenshotsTest, UserDirsValues) {
    auto read = [](const std::string& text) {
        std::istringstream in(text);
        return UserDirsPictures(in, "/home/ann");
    };
    EXPECT_EQ(read("XDG_PICTURES_DIR=\"$HOME/Pictures/Mine\"\n"), "/home/ann/Pictures/Mine");
    EXPECT_EQ(read("  XDG_PICTURES_DIR=\"/srv/photos\"\r\n"), "/srv/photos");
    EXPECT_EQ(read("# XDG_PICTURES_DIR=\"/srv/photos\"\n"), "");
    EXPECT_EQ(read("XDG_MUSIC_DIR=\"$HOME/Music\"\n"), "");
    // Relative paths are invalid there, and "$HOME/" means the folder is switched off.
    EXPECT_EQ(read("XDG_PICTURES_DIR=\"Pictures\"\n"), "");
    EXPECT_EQ(read("XDG_PICTURES_DIR=\"$HOME/\"\n"), "");
}

TEST(ScreenshotsTest, NamesSortByTimeAndNumberRepeats) {
    EXPECT_EQ(ScreenshotFileName(At(2026, 1, 2, 3, 4, 5), 1), "velmora-2026-01-02_03-04-05.png");
    EXPECT_EQ(ScreenshotFileName(At(2026, 12, 31, 23, 59, 59), 3),
              "velmora-2026-12-31_23-59-59-3.png");
}

TEST(ScreenshotsTest, SavesTheFrameWithoutReplacingEarlierOnes) {
    TempDir dir;
    // A 3x2 frame in a pitch of 4: red, green, blue / white, black, grey.
    const std::vector<uint16_t> frame{0xF800, 0x07E0, 0x001F, 0x1234,
                                      0xFFFF, 0x0000, 0x8410, 0x1234};
    const std::tm when = At(2026, 12, 7, 22, 35, 39);
    const auto first = SaveScreenshot(dir.Path() / "pics", when, frame.data(), 3, 2, 4);
    const auto second = SaveScreenshot(dir.Path() / "pics", when, frame.data(), 3, 2, 4);
    EXPECT_EQ(first, dir.Path() / "pics/Velmora/velmora-2026-12-07_22-35-39.png");
    EXPECT_EQ(second, dir.Path() / "pics/Velmora/velmora-2026-12-07_22-35-39-2.png");

    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load(first.string().c_str(), &w, &h, &channels, 3);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(w, 3);
    EXPECT_EQ(h, 2);
    const std::vector<uint8_t> got(rgb, rgb + 18);
    stbi_image_free(rgb);
    const std::vector<uint8_t> want{255, 0,   0,   0, 255, 0, 0,   0,   255,
                                    255, 255, 255, 0, 0,   0, 132, 130, 132};
    EXPECT_EQ(got, want);
}

TEST(ScreenshotsTest, UnwritableFolderIsReportedNotIgnored) {
    TempDir dir;
    // A file where the folder should be: no amount of permission makes that writable.
    WriteBytes(dir.File("pics"), Bytes("not a folder"));
    const std::vector<uint16_t> frame(4, 0xFFFF);
    try {
        SaveScreenshot(dir.Path() / "pics", At(2026, 1, 1, 0, 0, 0), frame.data(), 2, 2, 2);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(dir.File("pics")), std::string::npos) << e.what();
    }
}

}  // namespace
