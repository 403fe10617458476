// The real window: SDL2 for the window, keyboard, mouse, message boxes and audio; the desktop
// picture and the system's own message boxes where the system has them (Desktop.h). Frames are
// scaled to the window with their aspect kept; F11 switches between full screen and a window.
#pragma once

#include <chrono>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/host/FramePacer.h"
#include "platform/host/Host.h"
#include "platform/host/InputRecording.h"
#include "platform/host/PassClock.h"
#include "platform/host/WindowFrame.h"
#include "platform/host/WindowHost.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;

using SdlHostOptions = WindowHostOptions;

class SdlAudio : public AudioOutput {
  public:
    ~SdlAudio() override;
    bool Open(int samplesPerSec, int bitsPerSample, int channels) override;
    void Start() override;
    void Stop() override;
    bool IsPlaying() const override { return playing_; }
    bool IsNull() const override { return device_ == 0; }
    // Closes the device and SDL's audio, whose threads must not run while a message box is up;
    // Resume opens the same output again and plays on if it was playing.
    void Suspend();
    void Resume();

  private:
    // Says once on standard error that the program runs without sound.
    void ReportSilence();

    uint32_t device_ = 0;
    bool playing_ = false;
    bool silenceReported_ = false;
    bool suspended_ = false;
    int samplesPerSec_ = 0, bitsPerSample_ = 0, channels_ = 0;
};

class SdlHost : public WindowHost {
  public:
    // Throws std::runtime_error when no display can be opened or the record file not written.
    // Only a real display counts: X11 or Wayland as the environment names them (Windows' own
    // desktop there), or the video driver the user chose through SDL_VIDEODRIVER.
    explicit SdlHost(SdlHostOptions options);
    ~SdlHost() override;

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
    // Saves into the user's pictures folder (Velmora/) and prints the path on standard output.
    // One picture per press of SPACE: the key's repeats while it is held keep nothing more.
    std::string KeepScreenshot() override;
    bool IsHeadless() const override { return false; }

    void AnswerQuestion(bool yes) override { answerYes_ = yes; }
    // Off only before the window opens.
    void SetVsync(bool on) override { vsync_ = on; }
    int PassesPresented() const override { return presented_; }
    double PresentingSeconds() const override { return lastPresentAt_ - firstPresentAt_; }

  private:
    void PumpKeyState();
    int ShowMessageBox(const std::string& text, int flags, const std::string& title);
    void PaceFrame(double presentBegan, double cpuBefore);
    // Moves the clock on to now, as a frame has just been presented.
    void AdvanceClock();
    void ToggleFullscreen();
    // Full screen without a window manager to ask: a borderless window over the whole display.
    void SetPlainFullscreen(bool on);
    void EnsureWindow();
    // Whether frames go to the window's own pixels through FrameScaler instead of a renderer.
    bool OwnScalerAllowed() const;
    // The frame scaled into the window's own pixels, shown at the next window update.
    void DrawOnSurface(const uint16_t* pixels, int width, int height, int pitch);
    // A mouse position in the window in the program's coordinates.
    POINTAPI FromWindow(int x, int y) const;
    POINTAPI ClampedCursor() const;
    // A session's events carry the frames presented before they came.
    int RecordingPass() const { return presented_; }

    SdlHostOptions options_;
    std::optional<bool> answerYes_;
    bool vsync_ = true;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* renderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    // Without a graphics processor OpenGL draws on the CPU, at several times the cost of the
    // program's own scaler: frames then go straight to the window's pixels (X11's shared memory).
    bool surfacePresent_ = false;
    std::optional<bool> rendererOnCpu_;  // learnt with the first window, kept for later ones
    FrameScaler scaler_;
    int frameWidth_ = 640, frameHeight_ = 480;        // the program's size: window, cursor
    int textureWidth_ = 0, textureHeight_ = 0;        // the frames presented (times the scale)
    int windowedWidth_ = 640, windowedHeight_ = 480;  // the size a window has when not full
    bool plainFullscreenMode_ = false;  // no window manager: full screen by size and place
    bool plainFullscreen_ = false;
    WindowEvents* events_ = nullptr;
    SdlAudio audio_;
    bool keyDown_[vk::KeyCount] = {};
    bool keyPressed_[vk::KeyCount] = {};
    bool quitRequested_ = false;
    POINTAPI cursor_;
    int cursorCounter_ = 0;
    int presented_ = 0;
    KeptFrame lastFrame_;                // the frame presented last, for KeepScreenshot
    bool keptThisSpacePress_ = false;    // a picture was kept since SPACE last went down
    std::unique_ptr<FramePacer> pacer_;  // null with vsync off
    double firstPresentAt_ = 0, lastPresentAt_ = 0;
    PassClock clock_;
    bool recording_ = false;
    InputRecording recorded_;
    std::ofstream recordOut_;
};
