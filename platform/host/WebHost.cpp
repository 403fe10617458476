#include "platform/host/WebHost.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "platform/host/FilePath.h"
#include "platform/host/InputScript.h"
#include "platform/host/PageKeys.h"
#include "platform/host/Screenshots.h"
#include "platform/host/System.h"

// The page's side, in WebHost.js.
extern "C" {
// A page event as the page hands it over.
struct PageEvent {
    int32_t kind;           // one of PageEventKind
    int32_t x, y;           // the pointer over the canvas, in its CSS pixels
    int32_t width, height;  // the canvas's size in CSS pixels
    int32_t repeat;         // a key held down repeating
    char key[32];           // KeyboardEvent.key
    char code[32];          // KeyboardEvent.code
};
int velmora_page_open();
int velmora_page_next_event(PageEvent* event);
void velmora_page_show(const uint32_t* rgba, int width, int height);
void velmora_page_set_aspect(int width, int height);
void velmora_page_set_visible(int visible);
void velmora_page_set_cursor(int visible);
void velmora_page_next_frame(int paced);
int velmora_page_ask(const char* text, const char* title, int flags);
void velmora_page_offer_download(const char* name, const uint8_t* bytes, int length);
void velmora_page_close();
}

namespace {

enum PageEventKind { None, KeyPressed, KeyReleased, PointerMoved, PointerClicked, FocusLost };

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The desktop a page stands in for: the page's own background.
constexpr uint32_t kPageColour = 0x1D2B3A;

// Kept pictures are written here in the page's memory on their way to the download.
constexpr const char* kPicturesFolder = "/pictures";

}  // namespace

std::unique_ptr<WindowHost> OpenWindowHost(const WindowHostOptions& options) {
    return std::make_unique<WebHost>(options);
}

WebHost::WebHost(WindowHostOptions options) : options_(std::move(options)) {
    if (!velmora_page_open()) {
        throw std::runtime_error("no page to show the window in (under Node, run with --headless)");
    }
    if (!options_.recordFile.empty()) {
        velmora_page_close();
        throw std::runtime_error("--record needs a file system; a page has none to keep it in");
    }
}

WebHost::~WebHost() {
    velmora_page_close();
}

void WebHost::KeyDown(int key, std::string_view typed, bool repeat) {
    if (key == vk::F12) {
        // The window's key, not the program's: the next internal resolution.
        if (repeat) return;
        CycleDisplayScale();
        std::cout << "Drawing at " << DisplayScale() << "x: " << frameWidth_ * DisplayScale() << "x"
                  << frameHeight_ * DisplayScale() << std::endl;
        return;
    }
    if (key == vk::SPACE && !repeat) keptThisSpacePress_ = false;
    if (key != 0) {
        if (!keyDown_[key]) keyPressed_[key] = true;
        keyDown_[key] = true;
    }
    // Keys that type a control character, then printable ones as typed text.
    int16_t ch = ControlCharacterOfKey(key);
    if (ch == 0 && typed.size() == 1 && typed[0] >= 32 && typed[0] <= 126 &&
        !keyDown_[vk::CONTROL] && !keyDown_[vk::MENU]) {
        // Typed text, plain ASCII as the program's is; with Ctrl or Alt held a key types
        // nothing, as on the desktop.
        ch = static_cast<int16_t>(typed[0]);
    }
    if (ch != 0 && events_) events_->KeyPress(ch);
}

void WebHost::KeyUp(int key) {
    if (key == 0 || key == vk::F12 || !keyDown_[key]) return;
    keyDown_[key] = false;
    if (events_) {
        int16_t code = static_cast<int16_t>(key);
        events_->KeyUp(code, ShiftStateOf(keyDown_));
    }
}

void WebHost::DoEvents() {
    PageEvent e{};
    while (velmora_page_next_event(&e)) {
        switch (e.kind) {
            case KeyPressed:
                KeyDown(VirtualKeyOfPageKey(e.key, e.code), e.key, e.repeat != 0);
                break;
            case KeyReleased:
                KeyUp(VirtualKeyOfPageKey(e.key, e.code));
                break;
            case PointerMoved:
            case PointerClicked: {
                int x = e.x, y = e.y;
                WindowToFrame(FitFrame(frameWidth_, frameHeight_, e.width, e.height), frameWidth_,
                              frameHeight_, x, y);
                cursor_ = POINTAPI{x, y};
                if (e.kind == PointerClicked && events_) events_->Click();
                break;
            }
            case FocusLost:
                // The page no longer hears the keys: none stays held.
                for (int key = 0; key < vk::KeyCount; ++key) KeyUp(key);
                break;
            default:
                break;
        }
        e = PageEvent{};
    }
}

int16_t WebHost::GetAsyncKeyState(int key) {
    if (key < 0 || key >= vk::KeyCount) return 0;
    // The page hears keys only between frames, in DoEvents: the state as it left them.
    const bool down = keyDown_[key];
    const bool pressed = keyPressed_[key];
    keyPressed_[key] = false;
    return static_cast<int16_t>((down ? 0x8000 : 0) | (pressed ? 1 : 0));
}

POINTAPI WebHost::GetCursorPos() {
    POINTAPI p = cursor_;
    p.x = std::clamp(p.x, 0, frameWidth_ - 1);
    p.y = std::clamp(p.y, 0, frameHeight_ - 1);
    return p;
}

int WebHost::ShowCursor(bool show) {
    cursorCounter_ += show ? 1 : -1;
    velmora_page_set_cursor(cursorCounter_ >= 0);
    return cursorCounter_;
}

uint32_t WebHost::GetTickCount() {
    return clock_.TickCount();
}

double WebHost::Timer() {
    return clock_.Timer();
}

int WebHost::MsgBox(const std::string& text, int flags, const std::string& title) {
    const bool yesNo = (flags & 0xF) == vbYesNo;
    if (yesNo && answerYes_) return *answerYes_ ? vbYes : vbNo;
    if (!yesNo) std::cerr << title << "\n" << text << std::endl;
    const int answer = velmora_page_ask(text.c_str(), title.c_str(), flags);
    if (yesNo) return answer == vbYes ? vbYes : vbNo;
    return vbOK;
}

void WebHost::ShowWindow() {
    velmora_page_set_visible(1);
}

void WebHost::HideWindow() {
    velmora_page_set_visible(0);
}

void WebHost::SetFrameSize(int width, int height) {
    frameWidth_ = width;
    frameHeight_ = height;
    velmora_page_set_aspect(width, height);
}

void WebHost::Present(const uint16_t* pixels, int width, int height, int pitch) {
    const bool multiple = IsScaledFrame(width, height, frameWidth_, frameHeight_);
    if (!multiple) SetFrameSize(width, height);
    ++presented_;
    lastFrame_.Keep(pixels, width, height, pitch);
    // The canvas takes bytes R, G, B, A: little-endian words with red lowest.
    rgba_.resize(static_cast<size_t>(width) * height);
    PixelTarget32 target;
    target.pixels = rgba_.data();
    target.width = width;
    target.height = height;
    target.pitch = width;
    target.redShift = 0;
    target.greenShift = 8;
    target.blueShift = 16;
    target.opaqueBits = 0xFF000000u;
    scaler_.Draw(pixels, width, height, pitch, FrameRect{0, 0, width, height}, target);
    velmora_page_show(rgba_.data(), width, height);
    lastPresentAt_ = SteadySeconds();
    if (presented_ == 1) firstPresentAt_ = lastPresentAt_;
    // The page is the browser's again until its next frame (at once with pacing off).
    velmora_page_next_frame(vsync_ ? 1 : 0);
    clock_.Advance();
}

RgbImage WebHost::CaptureDesktop(int width, int height) {
    RgbImage out;
    out.width = width;
    out.height = height;
    out.pixels.assign(static_cast<size_t>(width) * height, kPageColour);
    return out;
}

std::string WebHost::KeepScreenshot() {
    if (lastFrame_.pixels.empty()) return "";
    if (keptThisSpacePress_ && keyDown_[vk::SPACE]) return "";
    keptThisSpacePress_ = true;
    const std::tm local = LocalTime(std::time(nullptr));
    try {
        const std::filesystem::path file =
            SaveScreenshot(kPicturesFolder, local, lastFrame_.pixels.data(), lastFrame_.width,
                           lastFrame_.height, lastFrame_.width);
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>()};
        in.close();
        const std::string name = Utf8(file.filename());
        std::filesystem::remove(file);
        velmora_page_offer_download(name.c_str(), bytes.data(), static_cast<int>(bytes.size()));
        std::cout << "Screenshot offered as a download: " << name << std::endl;
        return name;
    } catch (const std::exception& e) {
        std::cerr << "velmora: screenshot not saved: " << e.what() << std::endl;
        return "";
    }
}
