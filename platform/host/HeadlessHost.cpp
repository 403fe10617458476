#include "platform/host/HeadlessHost.h"

#include <algorithm>
#include <fstream>
#include <iostream>
#include <iterator>

#include "platform/dx/DirectDraw.h"
#include "platform/host/FilePath.h"
#include "platform/host/System.h"

HeadlessHost::HeadlessHost(HeadlessOptions options) : options_(std::move(options)) {
    // The pass times and the session line say how the clock runs; the rest are events.
    std::vector<ScriptEvent> events;
    for (ScriptEvent& e : options_.input) {
        if (e.kind == ScriptEvent::Kind::Time) {
            passMicros_[e.pass] = e.micros;
        } else if (e.kind == ScriptEvent::Kind::Session) {
            session_ = true;
            sessionStart_ = e.seconds;
        } else if (e.kind == ScriptEvent::Kind::Answer || e.kind == ScriptEvent::Kind::Scale) {
            // The command line takes these up (ParseCommandLine).
        } else {
            events.push_back(std::move(e));
        }
    }
    options_.input = std::move(events);
    std::stable_sort(options_.input.begin(), options_.input.end(),
                     [](const ScriptEvent& a, const ScriptEvent& b) { return a.pass < b.pass; });
    realStartOfDay_ = SecondsSinceMidnightNow();
    start_ = lastPresent_ = std::chrono::steady_clock::now();
}

void HeadlessHost::SetKey(int key, bool down) {
    if (key < 0 || key >= vk::KeyCount) return;
    if (down) keyPressed_[key] = true;
    keyDown_[key] = down;
}

void HeadlessHost::Apply(const ScriptEvent& e) {
    // F12 steps the internal resolution, as in the window.
    if (e.kind == ScriptEvent::Kind::KeyDown && e.key == vk::F12 && !keyDown_[vk::F12]) {
        CycleDisplayScale();
    }
    if (e.kind == ScriptEvent::Kind::KeyDown)
        SetKey(e.key, true);
    else if (e.kind == ScriptEvent::Kind::KeyUp)
        SetKey(e.key, false);
    else if (e.kind == ScriptEvent::Kind::Mouse)
        cursor_ = POINTAPI{e.x, e.y};
}

// Key state and cursor changes of pass N become visible when pass N begins, that is once
// N - 1 frames have been presented. While the window events of pass N are delivered, a handler
// reading keys still sees pass N: Shift+Enter keeps editing when Shift is let go in pass N + 1.
// A session's events change the keys only in the event pump, one by one as they came (DoEvents).
void HeadlessHost::ApplyKeyState() {
    if (session_) return;
    const auto& in = options_.input;
    const int lastPass = delivering_ ? presented_ : presented_ + 1;
    while (nextStateEvent_ < in.size() && in[nextStateEvent_].pass <= lastPass) {
        Apply(in[nextStateEvent_++]);
    }
}

int16_t HeadlessHost::GetAsyncKeyState(int key) {
    ApplyKeyState();
    if (key < 0 || key >= vk::KeyCount) return 0;
    bool down = keyDown_[key];
    bool pressed = keyPressed_[key];
    if (key == vk::ESCAPE && presented_ >= options_.frames) down = pressed = true;
    keyPressed_[key] = false;
    return static_cast<int16_t>((down ? 0x8000 : 0) | (pressed ? 1 : 0));
}

POINTAPI HeadlessHost::GetCursorPos() {
    ApplyKeyState();
    return cursor_;
}

int HeadlessHost::ShowCursor(bool show) {
    cursorCounter_ += show ? 1 : -1;
    return cursorCounter_;
}

uint32_t HeadlessHost::GetTickCount() {
    return tickBase_ + static_cast<uint32_t>(virtualUs_ / 1000);
}

double HeadlessHost::Timer() {
    double base = realStartOfDay_;
    if (options_.seed) {
        base = 36000.0 + static_cast<double>(*options_.seed % 36000u);
    } else if (sessionStart_) {
        base = *sessionStart_;
    }
    return TimeOfDayAfter(base, virtualUs_);
}

uint64_t HeadlessHost::PassMicros(int pass) const {
    const auto timed = passMicros_.find(pass);
    if (timed != passMicros_.end()) return timed->second;
    return static_cast<uint64_t>(options_.tickMs) * 1000;
}

int HeadlessHost::MsgBox(const std::string& text, int flags, const std::string& title) {
    messages_.push_back(title + "\n" + text);
    if ((flags & 0xF) == vbYesNo) return options_.answerYes ? vbYes : vbNo;
    TellUser(title + "\n" + text, true);
    return vbOK;
}

// Shift, Ctrl and Alt as the window events see them: in script order, so a modifier pressed
// or let go in the same pass counts for the events after it and not before.
void HeadlessHost::Deliver(const ScriptEvent& e) {
    // F12 is the window's key (the internal resolution, see ApplyKeyState), not the program's.
    const bool key = e.kind == ScriptEvent::Kind::KeyDown || e.kind == ScriptEvent::Kind::KeyUp;
    if (key && e.key == vk::F12) return;
    if ((e.kind == ScriptEvent::Kind::KeyDown || e.kind == ScriptEvent::Kind::KeyUp) &&
        e.key >= 0 && e.key < vk::KeyCount) {
        eventKeyDown_[e.key] = e.kind == ScriptEvent::Kind::KeyDown;
    }
    if (events_ == nullptr) return;
    switch (e.kind) {
        case ScriptEvent::Kind::KeyDown: {
            if (!e.types) break;
            int16_t ch = CharacterOfKey(e.key, eventKeyDown_[vk::SHIFT]);
            // As in the window: with Ctrl held a printable key types nothing, while Tab,
            // Enter and Backspace still do.
            if (eventKeyDown_[vk::CONTROL] && ch >= 32) ch = 0;
            if (ch != 0) events_->KeyPress(ch);
            break;
        }
        case ScriptEvent::Kind::KeyUp: {
            int16_t code = static_cast<int16_t>(e.key);
            const int16_t shift = static_cast<int16_t>((eventKeyDown_[vk::SHIFT] ? 1 : 0) |
                                                       (eventKeyDown_[vk::CONTROL] ? 2 : 0) |
                                                       (eventKeyDown_[vk::MENU] ? 4 : 0));
            events_->KeyUp(code, shift);
            break;
        }
        case ScriptEvent::Kind::Type:
            for (char c : e.text) {
                int16_t ch = static_cast<int16_t>(static_cast<unsigned char>(c));
                events_->KeyPress(ch);
            }
            break;
        case ScriptEvent::Kind::Click:
            events_->Click();
            break;
        case ScriptEvent::Kind::Mouse:
        case ScriptEvent::Kind::Time:
        case ScriptEvent::Kind::Session:
        case ScriptEvent::Kind::Answer:
        case ScriptEvent::Kind::Scale:
            break;
    }
}

// The window events of pass N are delivered by that pass's event pump, after its frame. A
// session's events also change the keys there, each before its handler runs, as they did live.
void HeadlessHost::DoEvents() {
    if (session_) {
        const auto& in = options_.input;
        while (nextWindowEvent_ < in.size() && in[nextWindowEvent_].pass <= presented_) {
            const ScriptEvent& e = in[nextWindowEvent_++];
            Apply(e);
            Deliver(e);
        }
        return;
    }
    delivering_ = true;
    ApplyKeyState();
    const auto& in = options_.input;
    while (nextWindowEvent_ < in.size() && in[nextWindowEvent_].pass <= presented_) {
        Deliver(in[nextWindowEvent_++]);
    }
    delivering_ = false;
    ApplyKeyState();
}

void HeadlessHost::SetFrameSize(int width, int height) {
    frameWidth_ = width;
    frameHeight_ = height;
}

void HeadlessHost::Present(const uint16_t* pixels, int width, int height, int pitch) {
    ApplyKeyState();
    ++presented_;
    const auto now = std::chrono::steady_clock::now();
    const double ms = std::chrono::duration<double, std::milli>(now - lastPresent_).count();
    const size_t step = static_cast<size_t>(ms / kFrameTimeStepMs);
    ++frameTimeCounts_[std::min(step, frameTimeCounts_.size() - 1)];
    lastPresent_ = now;
    virtualUs_ += PassMicros(presented_);
    frameWidth_ = width;
    frameHeight_ = height;
    lastFrame_.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        std::copy_n(pixels + static_cast<size_t>(y) * pitch, width,
                    lastFrame_.begin() + static_cast<ptrdiff_t>(y) * width);
    }
    const auto [first, last] = options_.shots.equal_range(presented_);
    for (auto shot = first; shot != last; ++shot) {
        if (!WritePng565(shot->second, lastFrame_.data(), width, height, width)) {
            TellUser("velmora: cannot write " + shot->second, true);
            shotFailed_ = true;
        }
    }
}

std::vector<std::string> HeadlessHost::ShotsNotReached() const {
    std::vector<std::string> missed;
    for (auto it = options_.shots.upper_bound(presented_); it != options_.shots.end(); ++it) {
        missed.push_back(std::to_string(it->first) + ":" + it->second);
    }
    return missed;
}

RgbImage HeadlessHost::CaptureDesktop(int width, int height) {
    RgbImage out = GeneratedDesktop(width, height);
    if (options_.desktopFile.empty()) return out;
    std::ifstream in(FilePath(options_.desktopFile), std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                               std::istreambuf_iterator<char>());
    RgbImage pic = DecodeImage(bytes);  // a picture that does not decode is a DirectX error
    for (int y = 0; y < std::min(height, pic.height); ++y) {
        for (int x = 0; x < std::min(width, pic.width); ++x) {
            out.pixels[static_cast<size_t>(y) * width + x] =
                pic.pixels[static_cast<size_t>(y) * pic.width + x];
        }
    }
    return out;
}

double HeadlessHost::FrameTimePercentileMs(double p) const {
    if (presented_ == 0) return 0;
    // The same rank rule as a sorted list of the times: the element at p * (n - 1), rounded.
    const uint64_t rank = static_cast<uint64_t>(p * (presented_ - 1) + 0.5);
    uint64_t seen = 0;
    for (size_t step = 0; step < frameTimeCounts_.size(); ++step) {
        seen += frameTimeCounts_[step];
        if (seen > rank) return (static_cast<double>(step) + 0.5) * kFrameTimeStepMs;
    }
    return static_cast<double>(frameTimeCounts_.size()) * kFrameTimeStepMs;
}

double HeadlessHost::WallSeconds() const {
    return std::chrono::duration<double>(lastPresent_ - start_).count();
}
