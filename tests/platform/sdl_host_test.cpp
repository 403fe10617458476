// The real window's recording, driven by events pushed into SDL's queue on its dummy video
// driver, so no display is needed.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "platform/host/SdlHost.h"
#include "stb_image.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

struct WindowLog : WindowEvents {
    std::string log;
    void KeyUp(int16_t& code, int16_t) override { log += "up" + std::to_string(code) + " "; }
    void KeyPress(int16_t& ch) override { log += "press" + std::to_string(ch) + " "; }
    void Click() override { log += "click "; }
};

void PushKey(Uint32 type, SDL_Keycode sym, Uint8 repeat = 0) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = sym;
    e.key.repeat = repeat;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    SDL_PushEvent(&e);
}

void PushText(const char* text) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    std::strncpy(e.text.text, text, sizeof e.text.text - 1);
    SDL_PushEvent(&e);
}

void PushMouse(Uint32 type, int x, int y) {
    SDL_Event e{};
    e.type = type;
    if (type == SDL_MOUSEMOTION) {
        e.motion.x = x;
        e.motion.y = y;
    } else {
        e.button.button = SDL_BUTTON_LEFT;
        e.button.x = x;
        e.button.y = y;
    }
    SDL_PushEvent(&e);
}

class SdlHostRecording : public ::testing::Test {
  protected:
    void SetUp() override {
        SetEnvironment("SDL_VIDEODRIVER", "dummy");
        SetEnvironment("SDL_AUDIODRIVER", "dummy");
        try {
            host = std::make_unique<SdlHost>(SdlHostOptions{false, dir.File("session.txt")});
            host->SetFrameSize(64, 48);
        } catch (const std::exception& e) {
            GTEST_SKIP() << "no SDL dummy video: " << e.what();
        }
        host->SetWindowEvents(&window);
    }
    void Present() {
        const std::vector<uint16_t> frame(64 * 48);
        host->Present(frame.data(), 64, 48, 64);
    }
    std::string Recorded() {
        std::ifstream in(dir.File("session.txt"));
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The recording without its start and pass times, which the clock decides.
    std::string RecordedEvents() {
        std::istringstream in(Recorded());
        std::string line, events;
        while (std::getline(in, line)) {
            if (line.rfind("session ", 0) == 0 || line.find(" time ") != std::string::npos)
                continue;
            events += line + "\n";
        }
        return events;
    }
    TempDir dir;
    std::unique_ptr<SdlHost> host;
    WindowLog window;
};

TEST_F(SdlHostRecording, WritesWhatTheWindowReceivedWithThePassOfAHeadlessReplay) {
    host->DoEvents();  // before the first frame: pass 0
    PushMouse(SDL_MOUSEMOTION, 10, 20);
    PushMouse(SDL_MOUSEBUTTONUP, 11, 21);
    host->DoEvents();
    Present();
    Present();
    PushKey(SDL_KEYDOWN, SDLK_c);
    PushText("C");  // typed with Caps Lock on: another character than the key's own
    PushKey(SDL_KEYUP, SDLK_c);
    PushKey(SDL_KEYDOWN, SDLK_RETURN);
    PushKey(SDL_KEYDOWN, SDLK_RETURN, 1);
    PushText(".");
    PushKey(SDL_KEYDOWN, SDLK_F11);  // the window's own key
    host->DoEvents();
    EXPECT_EQ(window.log, "click press67 up67 press13 press13 press46 ");
    // A session: its start, then each event with the frames presented before it came.
    EXPECT_EQ(Recorded().rfind("# velmora input, replay with --headless --input FILE\nsession ", 0),
              0u)
        << Recorded();
    EXPECT_NE(Recorded().find("\n1 time "), std::string::npos) << Recorded();
    EXPECT_NE(Recorded().find("\n2 time "), std::string::npos) << Recorded();
    EXPECT_EQ(RecordedEvents(),
              "# velmora input, replay with --headless --input FILE\n"
              "scale 1\n"
              "0 mouse 11 21\n"
              "0 click\n"
              "2 key C down notype\n"
              "2 type C\n"
              "2 key C up\n"
              "2 key ENTER down notype\n"
              "2 type {ENTER}{ENTER}.\n");
}

// SPACE's picture: the frame presented last, in the pictures folder, its path on stdout.
TEST_F(SdlHostRecording, KeepsTheLastPresentedFrameInThePicturesFolder) {
    const char* old = std::getenv("XDG_PICTURES_DIR");
    const std::string saved = old != nullptr ? old : "";
    SetEnvironment("XDG_PICTURES_DIR", dir.File("pics"));
    EXPECT_EQ(host->KeepScreenshot(), "");  // nothing presented yet

    std::vector<uint16_t> frame(64 * 48, 0x07E0);
    frame[0] = 0xF800;
    host->Present(frame.data(), 64, 48, 64);
    std::fill(frame.begin(), frame.end(), 0);  // the caller may reuse its buffer at once
    testing::internal::CaptureStdout();
    const std::string path = host->KeepScreenshot();
    const std::string out = testing::internal::GetCapturedStdout();
    if (old != nullptr) {
        SetEnvironment("XDG_PICTURES_DIR", saved);
    } else {
        SetEnvironment("XDG_PICTURES_DIR", std::nullopt);
    }

    EXPECT_EQ(path.rfind((dir.Path() / "pics" / "Velmora" / "velmora-").string(), 0), 0u) << path;
    EXPECT_EQ(out, "Screenshot saved: " + path + "\n");
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load(path.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 48);
    EXPECT_EQ(rgb[0], 255);  // red first pixel
    EXPECT_EQ(rgb[4], 255);  // green second
    stbi_image_free(rgb);
}

// F12 is the window's key: it steps the internal resolution and is recorded for a replay, and
// the program's handlers never see it. A frame twice the program's size is shown and kept
// whole, while the cursor stays in the program's pixels.
TEST_F(SdlHostRecording, F12StepsTheScaleAndALargerFrameIsKeptWhole) {
    host->DoEvents();
    testing::internal::CaptureStdout();
    PushKey(SDL_KEYDOWN, SDLK_F12);
    PushKey(SDL_KEYDOWN, SDLK_F12, 1);  // held: one step only
    PushKey(SDL_KEYUP, SDLK_F12);
    host->DoEvents();
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Drawing at 2x: 128x96\n");
    EXPECT_EQ(host->DisplayScale(), 2);
    EXPECT_EQ(window.log, "");
    EXPECT_NE(Recorded().find("0 key F12 down"), std::string::npos) << Recorded();
    EXPECT_NE(Recorded().find("0 key F12 up"), std::string::npos) << Recorded();

    std::vector<uint16_t> frame(128 * 96, 0x07E0);
    host->Present(frame.data(), 128, 96, 128);
    PushMouse(SDL_MOUSEMOTION, 500, 500);
    host->DoEvents();
    EXPECT_EQ(host->GetCursorPos().x, 63);
    EXPECT_EQ(host->GetCursorPos().y, 47);

    const char* old = std::getenv("XDG_PICTURES_DIR");
    const std::string saved = old != nullptr ? old : "";
    SetEnvironment("XDG_PICTURES_DIR", dir.File("pics"));
    testing::internal::CaptureStdout();
    const std::string path = host->KeepScreenshot();
    testing::internal::GetCapturedStdout();
    if (old != nullptr) {
        SetEnvironment("XDG_PICTURES_DIR", saved);
    } else {
        SetEnvironment("XDG_PICTURES_DIR", std::nullopt);
    }
    int w = 0, h = 0, channels = 0;
    stbi_uc* rgb = stbi_load(path.c_str(), &w, &h, &channels, 3);
    ASSERT_NE(rgb, nullptr) << path;
    EXPECT_EQ(w, 128);
    EXPECT_EQ(h, 96);
    stbi_image_free(rgb);
}

// A held SPACE repeats its key and its character; only the press keeps a picture.
TEST_F(SdlHostRecording, AHeldSpaceKeepsOnePicturePerPress) {
    struct Keeper : WindowEvents {
        SdlHost* host = nullptr;
        int kept = 0;
        void KeyUp(int16_t&, int16_t) override {}
        void KeyPress(int16_t& ch) override {
            if (ch == 32 && !host->KeepScreenshot().empty()) ++kept;
        }
        void Click() override {}
    } keeper;
    keeper.host = host.get();
    host->SetWindowEvents(&keeper);
    const char* old = std::getenv("XDG_PICTURES_DIR");
    const std::string saved = old != nullptr ? old : "";
    SetEnvironment("XDG_PICTURES_DIR", dir.File("pics"));
    Present();
    testing::internal::CaptureStdout();
    for (int press = 0; press < 2; ++press) {
        for (Uint8 repeat = 0; repeat < 4; ++repeat) {
            PushKey(SDL_KEYDOWN, SDLK_SPACE, repeat);
            PushText(" ");
        }
        host->DoEvents();
        EXPECT_EQ(keeper.kept, press + 1);
        PushKey(SDL_KEYUP, SDLK_SPACE);
        host->DoEvents();
    }
    // A space typed without a key seen going down (another input method) still keeps one.
    PushText(" ");
    host->DoEvents();
    testing::internal::GetCapturedStdout();
    if (old != nullptr) {
        SetEnvironment("XDG_PICTURES_DIR", saved);
    } else {
        SetEnvironment("XDG_PICTURES_DIR", std::nullopt);
    }
    EXPECT_EQ(keeper.kept, 3);
}

// --res answers the screen-size question: no box, the given answer.
TEST_F(SdlHostRecording, AnAnswerGivenInAdvanceShowsNoQuestion) {
    host->AnswerQuestion(false);
    EXPECT_EQ(host->MsgBox("Yes for Hi-res(640x480),No for Lo-res(320x240)", vbYesNo, "Velmora"),
              vbNo);
    host->AnswerQuestion(true);
    EXPECT_EQ(host->MsgBox("q", vbYesNo, "Velmora"), vbYes);
    // Both answers are recorded: a replay answers as the session did.
    host->DoEvents();
    EXPECT_NE(Recorded().find("answer no\nanswer yes\n"), std::string::npos) << Recorded();
}

// The window's clock tells one time throughout a pass and moves on as a frame is presented, by
// the time since the frame before, which the recording keeps: a replay's clock reads the same.
TEST_F(SdlHostRecording, TheClockMovesAsAFrameIsPresentedAndTheRecordingKeepsEachMove) {
    const uint64_t start = host->TickMicroseconds();
    const uint32_t ticks = host->GetTickCount();
    const double day = host->Timer();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(host->TickMicroseconds(), start);
    EXPECT_EQ(host->GetTickCount(), ticks);
    EXPECT_EQ(host->Timer(), day);
    Present();
    const uint64_t first = host->TickMicroseconds();
    std::this_thread::sleep_for(std::chrono::milliseconds(8));
    EXPECT_EQ(host->TickMicroseconds(), first);
    Present();
    host->DoEvents();
    const uint64_t second = host->TickMicroseconds();
    EXPECT_GE(second - first, 8000u);
    EXPECT_EQ(host->GetTickCount() - ticks, static_cast<uint32_t>(second / 1000 - start / 1000));

    std::istringstream in(Recorded());
    std::string error;
    const auto script = ParseInputScript(in, error);
    ASSERT_TRUE(script) << error;
    uint64_t recorded = 0;
    uint32_t startOfDay = 86400;
    for (const ScriptEvent& e : *script) {
        if (e.kind == ScriptEvent::Kind::Time) recorded += e.micros;
        if (e.kind == ScriptEvent::Kind::Session) startOfDay = e.seconds;
    }
    EXPECT_EQ(recorded, second - start);
    EXPECT_EQ(host->Timer(), TimeOfDayAfter(startOfDay, second));
}

}  // namespace
