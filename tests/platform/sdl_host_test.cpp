// The real window's recording, driven by events pushed into SDL's queue on its dummy video
// driver, so no display is needed.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>

#include "platform/host/SdlHost.h"
#include "tests/support/ResourceTestSupport.h"

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
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
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
    TempDir dir;
    std::unique_ptr<SdlHost> host;
    WindowLog window;
};

TEST_F(SdlHostRecording, WritesWhatTheWindowReceivedWithThePassOfAHeadlessReplay) {
    host->DoEvents();  // before the first frame: pass 1
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
    EXPECT_EQ(Recorded(),
              "# velmora input, replay with --headless --input FILE\n"
              "1 mouse 11 21\n"
              "1 click\n"
              "3 key C down notype\n"
              "3 type C\n"
              "3 key C up\n"
              "3 key ENTER down notype\n"
              "3 type {ENTER}{ENTER}.\n");
}

}  // namespace
