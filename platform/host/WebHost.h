// The page: frames shown in the page's canvas (scaled sharp, the aspect kept), keys and the
// pointer from the page's events, the boxes as dialogs in the page, full screen through the
// browser (F11 and the page's button), kept pictures offered as downloads. Frames are paced by
// the browser's frame callback: presenting a frame gives the page back to the browser until
// it calls for the next one, so the page never waits on the program. The desktop picture is a
// plain colour (a page cannot see the desktop) and the sound output is silent.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/host/PassClock.h"
#include "platform/host/WindowFrame.h"
#include "platform/host/WindowHost.h"

class WebHost : public WindowHost {
  public:
    // Throws std::runtime_error outside a page with Velmora's canvas (a program run by Node).
    explicit WebHost(WindowHostOptions options);
    ~WebHost() override;

    int16_t GetAsyncKeyState(int key) override;
    POINTAPI GetCursorPos() override;
    int ShowCursor(bool show) override;
    uint32_t GetTickCount() override;
    uint64_t TickMicroseconds() override { return clock_.Micros(); }
    double Timer() override;
    int MsgBox(const std::string& text, int flags, const std::string& title) override;
    void DoEvents() override;
    void SetWindowEvents(WindowEvents* events) override { events_ = events; }
    void ShowWindow() override;
    void HideWindow() override;
    void SetFrameSize(int width, int height) override;
    void Present(const uint16_t* pixels, int width, int height, int pitch) override;
    AudioOutput& Audio() override { return audio_; }
    RgbImage CaptureDesktop(int width, int height) override;
    // Offers the frame presented last as a PNG download; one per press of SPACE.
    std::string KeepScreenshot() override;
    bool IsHeadless() const override { return false; }

    void AnswerQuestion(bool yes) override { answerYes_ = yes; }
    void SetVsync(bool on) override { vsync_ = on; }
    int PassesPresented() const override { return presented_; }
    double PresentingSeconds() const override { return lastPresentAt_ - firstPresentAt_; }

  private:
    void KeyDown(int key, std::string_view typed, bool repeat);
    void KeyUp(int key);

    WindowHostOptions options_;
    std::optional<bool> answerYes_;
    bool vsync_ = true;
    WindowEvents* events_ = nullptr;
    NullAudio audio_;
    FrameScaler scaler_;
    std::vector<uint32_t> rgba_;  // the frame as the canvas takes it
    int frameWidth_ = 640, frameHeight_ = 480;
    bool keyDown_[vk::KeyCount] = {};
    bool keyPressed_[vk::KeyCount] = {};
    POINTAPI cursor_;
    int cursorCounter_ = 0;
    int presented_ = 0;
    KeptFrame lastFrame_;  // the frame presented last, for KeepScreenshot
    bool keptThisSpacePress_ = false;
    double firstPresentAt_ = 0, lastPresentAt_ = 0;
    PassClock clock_;
};
