// A host without window or devices: a virtual clock that advances a fixed step (or the time
// the script gives) per presented frame, scripted input, message-box answers from options, PNG
// files of chosen frames and a null audio output. Runs are reproducible: same options and script,
// same frames.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/Host.h"
#include "platform/host/InputScript.h"

struct HeadlessOptions {
    int frames = 400;                       // passes before Esc reads as down
    bool answerYes = true;                  // the Hi-res/Lo-res question
    int tickMs = 25;                        // virtual milliseconds per pass the input does not time
    std::optional<uint32_t> seed;           // fixes the time of day, also over a session's start
    std::vector<ScriptEvent> input;         // scripted events, pass times and session
    std::multimap<int, std::string> shots;  // pass -> PNG path (a pass may have several)
    std::string desktopFile;                // picture used as the desktop
};

class HeadlessHost : public Host {
  public:
    explicit HeadlessHost(HeadlessOptions options);

    int16_t GetAsyncKeyState(int key) override;
    POINTAPI GetCursorPos() override;
    int ShowCursor(bool show) override;
    uint32_t GetTickCount() override;
    uint64_t TickMicroseconds() override { return virtualUs_; }
    double Timer() override;
    int MsgBox(const std::string& text, int flags, const std::string& title) override;
    void DoEvents() override;
    void SetWindowEvents(WindowEvents* events) override { events_ = events; }
    void ShowWindow() override { windowShown_ = true; }
    void HideWindow() override { windowShown_ = false; }
    void SetFrameSize(int width, int height) override;
    void Present(const uint16_t* pixels, int width, int height, int pitch) override;
    AudioOutput& Audio() override { return audio_; }
    RgbImage CaptureDesktop(int width, int height) override;
    // Headless runs write pictures only where --shot says; a kept screenshot is counted.
    std::string KeepScreenshot() override {
        ++screenshotRequests_;
        return "";
    }
    bool IsHeadless() const override { return true; }

    // What tests and the stats line look at.
    int PassesPresented() const { return presented_; }
    int CursorCounter() const { return cursorCounter_; }
    int ScreenshotRequests() const { return screenshotRequests_; }
    const std::vector<std::string>& Messages() const { return messages_; }
    bool ShotFailed() const { return shotFailed_; }
    // The --shot requests (as N:FILE) whose pass never came: the run ended early.
    std::vector<std::string> ShotsNotReached() const;
    const std::vector<uint16_t>& LastFrame() const { return lastFrame_; }
    int FrameWidth() const { return frameWidth_; }
    int FrameHeight() const { return frameHeight_; }
    // The wall-clock time of a presented pass that fraction p (0 to 1) of the passes do not
    // exceed, in milliseconds, for --stats.
    double FrameTimePercentileMs(double p) const;
    double WallSeconds() const;
    // Ticks the virtual clock forward by ms without presenting (tests).
    void AdvanceClock(uint32_t ms) { virtualUs_ += uint64_t{ms} * 1000; }
    // Sets the tick counter directly (tests of the wrap).
    void SetTickCount(uint32_t ticks) {
        tickBase_ = ticks - static_cast<uint32_t>(virtualUs_ / 1000);
    }
    void SetKey(int key, bool down);

  private:
    void ApplyKeyState();
    void Apply(const ScriptEvent& e);
    void Deliver(const ScriptEvent& e);
    // How long pass's frame takes on the virtual clock.
    uint64_t PassMicros(int pass) const;

    HeadlessOptions options_;
    WindowEvents* events_ = nullptr;
    NullAudio audio_;
    bool keyDown_[vk::KeyCount] = {};
    bool keyPressed_[vk::KeyCount] = {};
    bool eventKeyDown_[vk::KeyCount] = {};  // key state in the order window events arrive
    POINTAPI cursor_;
    int cursorCounter_ = 0;
    uint32_t tickBase_ = 0x00100000;
    uint64_t virtualUs_ = 0;
    double realStartOfDay_ = 0;
    bool session_ = false;  // a recorded session: its events change the keys in the event pump
    std::optional<uint32_t> sessionStart_;  // seconds after midnight
    std::map<int, uint64_t> passMicros_;    // the input's pass times
    int presented_ = 0;
    int screenshotRequests_ = 0;
    size_t nextStateEvent_ = 0;   // next script event whose key state is not yet applied
    size_t nextWindowEvent_ = 0;  // next script event whose window event is not yet delivered
    bool delivering_ = false;     // inside DoEvents, handing window events to the handlers
    bool windowShown_ = false;
    bool shotFailed_ = false;
    std::vector<std::string> messages_;
    std::vector<uint16_t> lastFrame_;
    int frameWidth_ = 0, frameHeight_ = 0;
    // Pass times in 10-microsecond steps, the last step holding everything slower: a fixed
    // size, so a run of any length measures itself without growing.
    static constexpr double kFrameTimeStepMs = 0.01;
    std::vector<uint32_t> frameTimeCounts_ = std::vector<uint32_t>(100000);
    std::chrono::steady_clock::time_point start_, lastPresent_;
};
