// The operating-system face of the program: keys, cursor, time, message boxes, the event
// pump, presenting frames, audio output and the desktop picture. Two backends implement it:
// SdlHost (a real window) and HeadlessHost (virtual clock, scripted input, PNG frames).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/dx/DxTypes.h"

// Windows virtual-key codes the program reads.
namespace vk {
constexpr int BACK = 8, TAB = 9, RETURN = 13, SHIFT = 16, CONTROL = 17, MENU = 18;
constexpr int ESCAPE = 27, SPACE = 32, LEFT = 37, UP = 38, RIGHT = 39, DOWN = 40;
constexpr int F1 = 112, F2 = 113, F11 = 122, F12 = 123;
constexpr int KeyCount = 256;
}  // namespace vk

// Internal resolution: frames are drawn at a whole multiple of the program's frame size.
constexpr int kMaxDisplayScale = 4;

// Message box flags and answers, with the run-time's values.
constexpr int vbOKOnly = 0, vbYesNo = 4, vbCritical = 16, vbInformation = 64;
constexpr int vbOK = 1, vbYes = 6, vbNo = 7;

// The window's handlers, called only from inside DoEvents.
class WindowEvents {
  public:
    virtual ~WindowEvents() = default;
    virtual void KeyUp(int16_t& keyCode, int16_t shift) = 0;
    virtual void KeyPress(int16_t& keyAscii) = 0;
    virtual void Click() = 0;
};

// A picture as 0x00RRGGBB pixels, row by row.
struct RgbImage {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
};

// Where sound goes. The primary buffer only needs a running output.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    virtual bool Open(int samplesPerSec, int bitsPerSample, int channels) = 0;
    virtual void Start() = 0;
    virtual void Stop() = 0;
    virtual bool IsPlaying() const = 0;
    virtual bool IsNull() const = 0;
};

// No sound: a host without a device (headless), or one that plays none (a page).
class NullAudio : public AudioOutput {
  public:
    bool Open(int, int, int) override { return true; }
    void Start() override { playing_ = true; }
    void Stop() override { playing_ = false; }
    bool IsPlaying() const override { return playing_; }
    bool IsNull() const override { return true; }

  private:
    bool playing_ = false;
};

class Host {
  public:
    virtual ~Host() = default;

    // Top bit while the key is down, low bit when pressed since the previous query of that key.
    virtual int16_t GetAsyncKeyState(int key) = 0;
    virtual POINTAPI GetCursorPos() = 0;
    // The display counter: the cursor shows while it is 0 or more.
    virtual int ShowCursor(bool show) = 0;
    // The clock. It moves on only as a frame is presented, by the time since the frame before
    // (the virtual step headless), so every read within a pass tells the same time and a replay
    // that moves it by a session's recorded times reads what the session read.
    // Milliseconds, for the frame timer.
    virtual uint32_t GetTickCount() = 0;
    // The same clock in microseconds from the host's start, for the camera.
    virtual uint64_t TickMicroseconds() = 0;
    // Seconds since midnight: the time of day at the start plus the clock's time since.
    virtual double Timer() = 0;
    virtual int MsgBox(const std::string& text, int flags, const std::string& title) = 0;
    virtual void DoEvents() = 0;
    virtual void SetWindowEvents(WindowEvents* events) = 0;
    virtual void ShowWindow() = 0;
    virtual void HideWindow() = 0;
    // The display mode: the program's frame size. Cursor positions are in its pixels.
    virtual void SetFrameSize(int width, int height) = 0;
    // A finished RGB565 frame, pitch in pixels: the frame size times the display scale.
    virtual void Present(const uint16_t* pixels, int width, int height, int pitch) = 0;
    // How many times the program's frame size the display draws (1 to kMaxDisplayScale). The
    // user's choice: --scale at start, F12 while running; the display takes a change up
    // between frames.
    int DisplayScale() const { return displayScale_; }
    void SetDisplayScale(int scale);  // clamped to 1..kMaxDisplayScale
    // The next scale, after the largest the first again (F12).
    void CycleDisplayScale() { SetDisplayScale(displayScale_ % kMaxDisplayScale + 1); }
    // A page flip waits for the display's vertical refresh before its frame is presented.
    // Hosts without a display (headless: a virtual clock that steps once per frame) have no
    // refresh to wait for.
    virtual void WaitForVerticalRefresh() {}
    virtual AudioOutput& Audio() = 0;
    // The desktop as the user saw it before the program took the screen.
    virtual RgbImage CaptureDesktop(int width, int height) = 0;
    // Keeps the frame presented last as a picture for the user and tells where it went. Returns
    // the file's path, or "" when nothing was kept (no frame yet, a headless run, a failure).
    virtual std::string KeepScreenshot() = 0;
    virtual bool IsHeadless() const = 0;

  private:
    int displayScale_ = 1;
};

// Whole seconds since midnight now, local time.
uint32_t SecondsSinceMidnightNow();
// What Timer() tells elapsedMicros after a start of startSeconds after midnight.
double TimeOfDayAfter(double startSeconds, uint64_t elapsedMicros);

// A stand-in desktop picture where none can be captured.
RgbImage GeneratedDesktop(int width, int height);

// The host the program runs on; set once by main before anything else.
Host& ActiveHost();
void SetActiveHost(Host* host);
