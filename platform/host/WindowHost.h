// The host a person watches: a window on the desktop (SdlHost), a canvas in a web page
// (WebHost). Each build has one of them; main opens it without naming which.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/host/Host.h"

struct WindowHostOptions {
    bool fullscreen = true;
    std::string recordFile;  // where the session's input goes as an input script; "" for none
    int scale = 1;           // the internal resolution at the start, for the recording
};

class WindowHost : public Host {
  public:
    // The Hi-res/Lo-res question answered in advance (true: Yes): the box is not shown.
    virtual void AnswerQuestion(bool yes) = 0;
    // Frames keep to the display's refresh unless this is switched off before the first one;
    // off, they are shown as fast as they are drawn.
    virtual void SetVsync(bool on) = 0;
    // For --stats: frames presented, and the seconds from the first to the last of them.
    virtual int PassesPresented() const = 0;
    virtual double PresentingSeconds() const = 0;
};

// Whether a frame of width x height is the program's size times a display scale (1 to
// kMaxDisplayScale); any other sets a new program size.
bool IsScaledFrame(int width, int height, int programWidth, int programHeight);

// The frame presented last, row by row, kept for a screenshot.
struct KeptFrame {
    std::vector<uint16_t> pixels;
    int width = 0, height = 0;
    void Keep(const uint16_t* frame, int frameWidth, int frameHeight, int pitch);
};

// The build's window host. Throws std::runtime_error saying why when there is nothing to show
// frames on.
std::unique_ptr<WindowHost> OpenWindowHost(const WindowHostOptions& options);
