// The real window at its edges, on SDL's dummy video driver: a pointer outside the frame, and a
// pictures folder that cannot take the picture. The session goes on in both.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include "platform/host/SdlHost.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

constexpr int kWidth = 64, kHeight = 48;

class SdlHostLimits : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironment("SDL_VIDEODRIVER", "dummy");
        SetEnvironment("SDL_AUDIODRIVER", "dummy");
        const char* old = std::getenv("XDG_PICTURES_DIR");
        hadPictures_ = old != nullptr;
        if (old) oldPictures_ = old;
        try {
            host = std::make_unique<SdlHost>(SdlHostOptions{false, ""});
            host->SetFrameSize(kWidth, kHeight);
        } catch (const std::exception& e) {
            GTEST_SKIP() << "no SDL dummy video: " << e.what();
        }
    }
    void TearDown() override {
        if (hadPictures_) {
            SetEnvironment("XDG_PICTURES_DIR", oldPictures_);
        } else {
            SetEnvironment("XDG_PICTURES_DIR", std::nullopt);
        }
    }
    // Noise, so that its picture takes some kilobytes however well it packs.
    void Present() {
        std::vector<uint16_t> frame(kWidth * kHeight);
        uint32_t x = 12345;
        for (uint16_t& p : frame) p = static_cast<uint16_t>((x = x * 1103515245u + 12345u) >> 16);
        host->Present(frame.data(), kWidth, kHeight, kWidth);
    }
    static void Motion(int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.x = x;
        e.motion.y = y;
        SDL_PushEvent(&e);
    }
    // Keeps the last frame and returns what it printed on standard error.
    std::string KeepFailing() {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(host->KeepScreenshot(), "");
        const std::string out = testing::internal::GetCapturedStdout();
        EXPECT_EQ(out, "");
        return testing::internal::GetCapturedStderr();
    }
    static int Lines(const std::string& text) {
        return static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }

    TempDir dir;
    std::unique_ptr<SdlHost> host;

  private:
    bool hadPictures_ = false;
    std::string oldPictures_;
};

TEST_F(SdlHostLimits, CursorStaysInsideTheFrameWhenThePointerLeavesIt) {
    struct Case {
        int x, y, wantX, wantY;
    } cases[] = {
        {10, 20, 10, 20},
        {-30, 20, 0, 20},
        {500, 20, kWidth - 1, 20},
        {10, -1, 10, 0},
        {10, 9000, 10, kHeight - 1},
        {-5, -5, 0, 0},
        {kWidth, kHeight, kWidth - 1, kHeight - 1},
        {kWidth - 1, kHeight - 1, kWidth - 1, kHeight - 1},
    };
    for (const Case& c : cases) {
        Motion(c.x, c.y);
        host->DoEvents();
        const POINTAPI p = host->GetCursorPos();
        EXPECT_EQ(p.x, c.wantX) << c.x << ", " << c.y;
        EXPECT_EQ(p.y, c.wantY) << c.x << ", " << c.y;
    }
}

TEST_F(SdlHostLimits, PicturesFolderThatCannotBeMadeIsOneLineAndTheSessionGoesOn) {
    WriteBytes(dir.File("pics"), Bytes("a file where the folder should be"));
    SetEnvironment("XDG_PICTURES_DIR", dir.File("pics"));
    Present();
    const std::string err = KeepFailing();
    EXPECT_EQ(Lines(err), 1) << err;
    EXPECT_NE(err.find("screenshot not saved"), std::string::npos) << err;
    EXPECT_NE(err.find(dir.File("pics")), std::string::npos) << err;
    // The session goes on: the next frame shows and the next picture tries again.
    Present();
    EXPECT_EQ(Lines(KeepFailing()), 1);
}

TEST_F(SdlHostLimits, FullDiskIsOneLineAndLeavesNoPartPicture) {
    SetEnvironment("XDG_PICTURES_DIR", dir.File("pics"));
    Present();
    // A file-size limit of 1 kB fails the picture's write the way a full disk does, also as root,
    // and leaves room for the captured line.
    std::string err;
    {
        const FileSizeLimit tiny(1024);
        if (!tiny.Active()) GTEST_SKIP() << "no way to limit the size of files written here";
        err = KeepFailing();
    }

    EXPECT_EQ(Lines(err), 1) << err;
    EXPECT_NE(err.find("screenshot not saved"), std::string::npos) << err;
    const std::filesystem::path folder = dir.Path() / "pics" / "Velmora";
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_TRUE(std::filesystem::is_empty(folder)) << "a part picture was left behind";
    // With room again the next picture is kept.
    testing::internal::CaptureStdout();
    EXPECT_NE(host->KeepScreenshot(), "");
    testing::internal::GetCapturedStdout();
}

}  // namespace
