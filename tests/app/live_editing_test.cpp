// The whole headless program edits the palm from a script, and a session recorded by the real
// window (SDL's dummy video driver, fed the events a keyboard and mouse would send) replays to
// the frames of the script it was played from.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dx/DirectDraw.h"
#include "platform/host/InputScript.h"
#include "platform/host/SdlHost.h"
#include "tests/support/ResourceTestSupport.h"
#include "tests/support/TestSystem.h"

namespace {

constexpr int kPasses = 320;
// Frames looked at: before any edit, after moving a vertex, with a new triangle, after deleting
// it again.
constexpr int kBefore = 165, kMoved = 210, kWithTriangle = 265, kDeleted = 320;
// Where the palm stands in the frame once the camera has turned towards it.
constexpr int kPalmLeft = 120, kPalmTop = 40, kPalmRight = 420, kPalmBottom = 420;

// Entry rectangles of the generated menu, in frame pixels (the F1 overlay draws each label there).
constexpr const char* kVertexNumber = "30 22";
constexpr const char* kVertexX = "25 48";
constexpr const char* kTriangleNumber = "30 283";
constexpr const char* kCorner1 = "30 309";
constexpr const char* kInsertTriangle = "30 439";
constexpr const char* kDeleteTriangle = "30 465";
constexpr const char* kNothing = "320 240";  // the middle of the view holds no entry

// Turns to the palm, pauses so that only the edits change the frame, then: vertex 40 selected
// and its X set to 2; a copy of triangle 0 inserted, selected and its first corner moved to
// vertex 40; that triangle deleted. Steps whose clicks miss type the same keys, so the random
// source, which every key press stirs, stays the same as in the run that edits.
std::string EditScript(bool editVertex, bool editTriangles) {
    const std::string b = "{BACKSPACE}", b5 = b + b + b + b + b;
    auto at = [](bool hit, const char* entry) { return std::string(hit ? entry : kNothing); };
    std::ostringstream s;
    s << "10 key LEFT down\n62 key LEFT up\n"
      << "166 key P down\n167 key P up\n"
      << "170 mouse " << at(editVertex, kVertexNumber) << "\n170 click\n"
      << "171 type " << b5 << "40{ENTER}\n"
      << "175 mouse " << at(editVertex, kVertexX) << "\n175 click\n"
      << "176 type " << b5 << b5 << "2{ENTER}\n"
      << "215 mouse " << at(editTriangles, kInsertTriangle) << "\n215 click\n"
      << "220 mouse " << at(editTriangles, kTriangleNumber) << "\n220 click\n"
      << "221 type " << b5 << "1{ENTER}\n"
      << "225 mouse " << at(editTriangles, kCorner1) << "\n225 click\n"
      << "226 type " << b5 << "40{ENTER}\n"
      << "270 mouse " << at(editTriangles, kDeleteTriangle) << "\n270 click\n";
    return s.str();
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::trunc) << text;
}

// Runs the headless program on a script; returns the frames of the chosen passes.
std::map<int, RgbImage> RunHeadless(const TempDir& dir, const std::string& name,
                                    const std::string& scriptPath, std::vector<int> passes,
                                    std::vector<std::string> args = {}) {
    for (std::string a : {"--headless", "--seed", "3", "--frames"}) args.push_back(a);
    args.push_back(std::to_string(kPasses));
    args.push_back("--input");
    args.push_back(scriptPath);
    for (int pass : passes) {
        args.push_back("--shot");
        args.push_back(std::to_string(pass) + ":" + dir.File(name + std::to_string(pass) + ".png"));
    }
    std::map<int, RgbImage> frames;
    const ProgramRun run = RunProgram(BuiltProgram("velmora"), args);
    const int status = run.status;
    EXPECT_EQ(status, 0) << run.errors;
    if (status != 0) return frames;
    for (int pass : passes) {
        frames[pass] = DecodeImage(ReadBytes(dir.File(name + std::to_string(pass) + ".png")));
    }
    return frames;
}

struct Difference {
    int pixels = 0;
    int left = 1 << 20, top = 1 << 20, right = -1, bottom = -1;
};

Difference Compare(const RgbImage& a, const RgbImage& b) {
    Difference d;
    EXPECT_EQ(a.width, b.width);
    EXPECT_EQ(a.height, b.height);
    if (a.width != b.width || a.height != b.height) return d;
    for (int y = 0; y < a.height; ++y) {
        for (int x = 0; x < a.width; ++x) {
            const size_t i = static_cast<size_t>(y) * a.width + x;
            if (a.pixels[i] == b.pixels[i]) continue;
            ++d.pixels;
            d.left = std::min(d.left, x);
            d.right = std::max(d.right, x);
            d.top = std::min(d.top, y);
            d.bottom = std::max(d.bottom, y);
        }
    }
    return d;
}

void ExpectChangeOnThePalmOnly(const Difference& d, int atLeast) {
    EXPECT_GE(d.pixels, atLeast);
    EXPECT_GE(d.left, kPalmLeft);
    EXPECT_LE(d.right, kPalmRight);
    EXPECT_GE(d.top, kPalmTop);
    EXPECT_LE(d.bottom, kPalmBottom);
}

TEST(LiveEditing, AScriptMovesAVertexAndInsertsAndDeletesATriangleInTheShownPalm) {
    TempDir dir;
    WriteText(dir.File("edit.txt"), EditScript(true, true));
    WriteText(dir.File("move.txt"), EditScript(true, false));
    WriteText(dir.File("plain.txt"), EditScript(false, false));
    auto edit =
        RunHeadless(dir, "edit", dir.File("edit.txt"), {kBefore, kMoved, kWithTriangle, kDeleted});
    auto move = RunHeadless(dir, "move", dir.File("move.txt"), {kWithTriangle, kDeleted});
    auto plain = RunHeadless(dir, "plain", dir.File("plain.txt"), {kBefore, kMoved});
    ASSERT_EQ(edit.size(), 4u);
    ASSERT_EQ(move.size(), 2u);
    ASSERT_EQ(plain.size(), 2u);

    EXPECT_EQ(Compare(edit[kBefore], plain[kBefore]).pixels, 0);
    // The moved vertex pulls a spike out of the trunk.
    ExpectChangeOnThePalmOnly(Compare(edit[kMoved], plain[kMoved]), 1000);
    // The inserted triangle, stretched to the moved vertex, shows beside it.
    ExpectChangeOnThePalmOnly(Compare(edit[kWithTriangle], move[kWithTriangle]), 200);
    // Deleting it gives back the palm with only the moved vertex.
    EXPECT_EQ(Compare(edit[kDeleted], move[kDeleted]).pixels, 0);
}

// ---------------------------------------------------------------- recording

void Push(const SDL_Event& e) {
    SDL_Event copy = e;
    SDL_PushEvent(&copy);
}

SDL_Keycode SymOf(int key) {
    if (key >= 'A' && key <= 'Z') return SDLK_a + (key - 'A');
    if (key >= '0' && key <= '9') return SDLK_0 + (key - '0');
    if (key >= vk::F1 && key <= vk::F12) return SDLK_F1 + (key - vk::F1);
    switch (key) {
        case vk::LEFT:
            return SDLK_LEFT;
        case vk::RIGHT:
            return SDLK_RIGHT;
        case vk::UP:
            return SDLK_UP;
        case vk::DOWN:
            return SDLK_DOWN;
        case vk::SHIFT:
            return SDLK_LSHIFT;
        case vk::CONTROL:
            return SDLK_LCTRL;
        case vk::MENU:
            return SDLK_LALT;
        case vk::TAB:
            return SDLK_TAB;
        case vk::RETURN:
            return SDLK_RETURN;
        case vk::BACK:
            return SDLK_BACKSPACE;
        case vk::SPACE:
            return SDLK_SPACE;
        default:
            return SDLK_UNKNOWN;
    }
}

void PushKey(Uint32 type, int key) {
    SDL_Event e{};
    e.type = type;
    e.key.keysym.sym = SymOf(key);
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    Push(e);
}

void PushText(char c) {
    SDL_Event e{};
    e.type = SDL_TEXTINPUT;
    e.text.text[0] = c;
    Push(e);
}

// What a keyboard and mouse send the window for one script event: a key down and the text it
// types, printable characters as text input, Enter and Backspace as their keys.
void PushAsDevices(const ScriptEvent& e, bool& shiftDown, POINTAPI& mouse) {
    switch (e.kind) {
        case ScriptEvent::Kind::KeyDown: {
            PushKey(SDL_KEYDOWN, e.key);
            const int16_t ch = CharacterOfKey(e.key, shiftDown);
            if (e.types && ch >= 32) PushText(static_cast<char>(ch));
            if (e.key == vk::SHIFT) shiftDown = true;
            break;
        }
        case ScriptEvent::Kind::KeyUp:
            PushKey(SDL_KEYUP, e.key);
            if (e.key == vk::SHIFT) shiftDown = false;
            break;
        case ScriptEvent::Kind::Type:
            for (char c : e.text) {
                const int key = c == '\r'   ? vk::RETURN
                                : c == '\b' ? vk::BACK
                                : c == '\t' ? vk::TAB
                                            : 0;
                if (key == 0) {
                    PushText(c);
                } else {
                    PushKey(SDL_KEYDOWN, key);
                    PushKey(SDL_KEYUP, key);
                }
            }
            break;
        case ScriptEvent::Kind::Mouse: {
            SDL_Event m{};
            m.type = SDL_MOUSEMOTION;
            m.motion.x = e.x;
            m.motion.y = e.y;
            mouse = POINTAPI{e.x, e.y};
            Push(m);
            break;
        }
        case ScriptEvent::Kind::Click: {
            SDL_Event c{};
            c.type = SDL_MOUSEBUTTONUP;
            c.button.button = SDL_BUTTON_LEFT;
            c.button.x = mouse.x;
            c.button.y = mouse.y;
            Push(c);
            break;
        }
        case ScriptEvent::Kind::Time:  // the clock's, not a device's
        case ScriptEvent::Kind::Session:
        case ScriptEvent::Kind::Answer:
        case ScriptEvent::Kind::Scale:
            break;
    }
}

// The editing session, then Shift+C typed with Caps Lock on (a lower-case c: no selection key)
// and the overlay shown, so the last frame lists the selected vertex.
std::string SessionScript() {
    return EditScript(true, true) +
           "290 key SHIFT down\n291 key C down notype\n291 type c\n292 key C up\n"
           "293 key SHIFT up\n300 key F1 down\n301 key F1 up\n";
}

// The window is fed the events of the played script's pass N once N - 1 frames are presented;
// as a session that is pass N - 1, whose events come after its frame.
std::string AsTheWindowGotIt(const std::vector<ScriptEvent>& played) {
    std::string session = "session 0\n";
    for (ScriptEvent e : played) {
        e.pass -= 1;
        session += FormatScriptEvent(e) + "\n";
    }
    return session;
}

TEST(LiveEditing, ASessionRecordedByTheWindowReplaysToTheFramesOfThePlayedScript) {
    TempDir dir;
    const std::string script = SessionScript();
    std::istringstream in(script);
    std::string error;
    const auto played = ParseInputScript(in, error);
    ASSERT_TRUE(played) << error;
    WriteText(dir.File("played.txt"), AsTheWindowGotIt(*played));

    {
        SetEnvironment("SDL_VIDEODRIVER", "dummy");
        SetEnvironment("SDL_AUDIODRIVER", "dummy");
        std::unique_ptr<SdlHost> window;
        try {
            window = std::make_unique<SdlHost>(SdlHostOptions{false, dir.File("recorded.txt")});
            window->SetFrameSize(640, 480);  // the recorder keeps the cursor inside the frame
        } catch (const std::exception& e) {
            GTEST_SKIP() << "no SDL dummy video: " << e.what();
        }
        // The events of pass N reach the window while N - 1 frames have been presented.
        const std::vector<uint16_t> frame(640 * 480);
        bool shiftDown = false;
        POINTAPI mouse{0, 0};
        size_t next = 0;
        for (int pass = 1; pass <= kPasses; ++pass) {
            for (; next < played->size() && (*played)[next].pass == pass; ++next) {
                PushAsDevices((*played)[next], shiftDown, mouse);
            }
            window->DoEvents();
            window->Present(frame.data(), 640, 480, 640);
        }
        ASSERT_EQ(next, played->size());
    }

    std::ifstream recordedFile(dir.File("recorded.txt"));
    const std::string recorded{std::istreambuf_iterator<char>(recordedFile),
                               std::istreambuf_iterator<char>()};
    EXPECT_NE(recorded.find("290 key C down notype\n290 type c\n"), std::string::npos) << recorded;

    // This window's frames came as fast as the loop above ran; its events are what is compared,
    // so both runs take 25 ms a pass.
    const std::vector<int> passes = {kBefore, kMoved, kWithTriangle, kDeleted};
    auto expected = RunHeadless(dir, "played", dir.File("played.txt"), passes);
    auto replayed =
        RunHeadless(dir, "replayed", dir.File("recorded.txt"), passes, {"--tick-ms", "25"});
    ASSERT_EQ(expected.size(), passes.size());
    ASSERT_EQ(replayed.size(), passes.size());
    for (int pass : passes) {
        EXPECT_EQ(Compare(expected[pass], replayed[pass]).pixels, 0) << "pass " << pass;
    }
}

}  // namespace
