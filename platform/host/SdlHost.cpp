#include "platform/host/SdlHost.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <stdexcept>
#include <thread>

#include "platform/host/Desktop.h"
#include "platform/host/FilePath.h"
#include "platform/host/InputScript.h"
#include "platform/host/Screenshots.h"
#include "platform/host/System.h"

namespace {

int VirtualKeyOf(SDL_Keycode key) {
    if (key >= SDLK_a && key <= SDLK_z) return 'A' + (key - SDLK_a);
    if (key >= SDLK_0 && key <= SDLK_9) return '0' + (key - SDLK_0);
    if (key >= SDLK_F1 && key <= SDLK_F12) return vk::F1 + (key - SDLK_F1);
    switch (key) {
        case SDLK_LEFT:
            return vk::LEFT;
        case SDLK_RIGHT:
            return vk::RIGHT;
        case SDLK_UP:
            return vk::UP;
        case SDLK_DOWN:
            return vk::DOWN;
        case SDLK_LSHIFT:
        case SDLK_RSHIFT:
            return vk::SHIFT;
        case SDLK_LCTRL:
        case SDLK_RCTRL:
            return vk::CONTROL;
        case SDLK_LALT:
        case SDLK_RALT:
            return vk::MENU;
        case SDLK_ESCAPE:
            return vk::ESCAPE;
        case SDLK_TAB:
            return vk::TAB;
        case SDLK_SPACE:
            return vk::SPACE;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            return vk::RETURN;
        case SDLK_BACKSPACE:
            return vk::BACK;
        default:
            return 0;
    }
}

void SilentCallback(void*, Uint8* stream, int len) {
    SDL_memset(stream, 0, static_cast<size_t>(len));
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string EnvText(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

// Whether the renderer draws on the CPU: SDL's own software renderer, or OpenGL through Mesa's
// software drivers (what an X server without a graphics processor offers).
bool RendersOnCpu(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr) return false;
    const std::string name = info.name;
    if (name == "software") return true;
    if (name.rfind("opengl", 0) != 0) return false;
    // The renderer's context is current: its GL_RENDERER string names the driver.
    using GetString = const unsigned char* (*)(unsigned);
    auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    const unsigned char* text = getString != nullptr ? getString(0x1F01) : nullptr;
    if (text == nullptr) return false;
    std::string driver = reinterpret_cast<const char*>(text);
    std::transform(driver.begin(), driver.end(), driver.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const char* cpu : {"llvmpipe", "softpipe", "software rasterizer", "swrast"}) {
        if (driver.find(cpu) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

// ---------------------------------------------------------------- audio

SdlAudio::~SdlAudio() {
    if (device_ != 0) SDL_CloseAudioDevice(device_);
}

bool SdlAudio::Open(int samplesPerSec, int bitsPerSample, int channels) {
    samplesPerSec_ = samplesPerSec;
    bitsPerSample_ = bitsPerSample;
    channels_ = channels;
    if (device_ != 0) {
        SDL_CloseAudioDevice(device_);
        device_ = 0;
    }
    QuietSoundLibrary();
    if (SDL_WasInit(SDL_INIT_AUDIO) == 0 && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        ReportSilence();
        return false;
    }
    SDL_AudioSpec want{};
    want.freq = samplesPerSec;
    want.format = bitsPerSample == 8 ? AUDIO_U8 : AUDIO_S16SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 1024;
    want.callback = SilentCallback;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    // No device is not an error: the primary buffer runs against a null output instead.
    if (device_ == 0) ReportSilence();
    return device_ != 0;
}

void SdlAudio::ReportSilence() {
    if (silenceReported_) return;
    silenceReported_ = true;
    std::cerr << "velmora: no sound device: running silent" << std::endl;
}

void SdlAudio::Start() {
    playing_ = true;
    if (device_ != 0) SDL_PauseAudioDevice(device_, 0);
}

void SdlAudio::Suspend() {
    if (device_ == 0 && SDL_WasInit(SDL_INIT_AUDIO) == 0) return;
    suspended_ = device_ != 0;
    if (device_ != 0) SDL_CloseAudioDevice(device_);
    device_ = 0;
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudio::Resume() {
    if (!suspended_) return;
    suspended_ = false;
    const bool wasPlaying = playing_;
    if (Open(samplesPerSec_, bitsPerSample_, channels_) && wasPlaying) Start();
}

void SdlAudio::Stop() {
    playing_ = false;
    if (device_ != 0) SDL_PauseAudioDevice(device_, 1);
}

// ---------------------------------------------------------------- host

SdlHost::SdlHost(SdlHostOptions options) : options_(std::move(options)) {
    if (!options_.recordFile.empty()) {
        recordOut_.open(FilePath(options_.recordFile), std::ios::trunc);
        if (!recordOut_) throw std::runtime_error("cannot write " + options_.recordFile);
        recordOut_ << "# velmora input, replay with --headless --input FILE\n";
        recording_ = true;
        // The start seeds the random source and each pass's time moves the clock: a replay
        // with both draws the very frames the session showed.
        RecordSession(recorded_, clock_.StartOfDay());
        RecordScale(recorded_, std::clamp(options_.scale, 1, kMaxDisplayScale));
        WriteNewEvents(recorded_, recordOut_);
    }
    // main() is the program's own: SDL runs no start-up of its own.
    SDL_SetMainReady();
    // Windows: window sizes, the screen and the mouse in real pixels on every monitor, as the
    // manifest declares too (a program that is not DPI-aware is stretched as a blurred bitmap at
    // 125 % scaling and above); the frame's own scaling then fills the real screen.
    SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
    // No timer subsystem: nothing here uses SDL's timers, and its thread would be running
    // when a message box forks (see MsgBox).
    // A driver the user names through SDL's own variable is taken as it is.
    const std::string chosen = EnvText("SDL_VIDEODRIVER");
    std::string tried = "the video driver \"" + chosen + "\" (SDL_VIDEODRIVER)";
    std::string drivers = chosen;
    if (chosen.empty()) {
        drivers = WindowVideoDrivers(tried);
        if (drivers.empty())
            throw std::runtime_error(tried + "; run without a window with --headless");
        SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
    }
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
        throw std::runtime_error("cannot open " + tried + ": " + SDL_GetError() +
                                 "; run without a window with --headless");
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    if (chosen.empty() &&
        (driver == nullptr ||
         ("," + drivers + ",").find("," + std::string(driver) + ",") == std::string::npos)) {
        const std::string got = driver != nullptr ? driver : "none";
        SDL_Quit();
        throw std::runtime_error("cannot open " + tried + " (only the \"" + got +
                                 "\" video driver answered); run without a window with "
                                 "--headless");
    }
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // The window's own pixels are X11 shared memory, not an OpenGL texture in disguise (which
    // SDL would otherwise choose, and which is what the own scaler is there to avoid).
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
}

SdlHost::~SdlHost() {
    if (recording_) WriteNewEvents(recorded_, recordOut_);
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
}

void SdlHost::EnsureWindow() {
    if (window_ != nullptr) return;
    Uint32 flags = SDL_WINDOW_RESIZABLE | SDL_WINDOW_HIDDEN;
    // On an X server without a window manager (a kiosk, a bare session, a test server) nobody
    // answers a full-screen request: the window would keep its size while drawing as if full.
    const char* driver = SDL_GetCurrentVideoDriver();
    plainFullscreenMode_ = driver != nullptr && std::string(driver) == "x11" && !HasWindowManager();
    if (options_.fullscreen && !plainFullscreenMode_) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    // A window at the largest whole multiple of the frame that fits the screen comfortably.
    int scale = 1;
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &bounds) == 0) {
        while (frameWidth_ * (scale + 1) <= bounds.w * 9 / 10 &&
               frameHeight_ * (scale + 1) <= bounds.h * 9 / 10) {
            ++scale;
        }
    }
    windowedWidth_ = frameWidth_ * scale;
    windowedHeight_ = frameHeight_ * scale;
    window_ = SDL_CreateWindow("Velmora", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                               windowedWidth_, windowedHeight_, flags);
    if (window_ == nullptr) throw std::runtime_error(std::string("no window: ") + SDL_GetError());
    if (options_.fullscreen && plainFullscreenMode_) SetPlainFullscreen(true);
    const Uint32 vsync = vsync_ ? SDL_RENDERER_PRESENTVSYNC : 0;
    const bool ownScaler = OwnScalerAllowed();
    surfacePresent_ = false;
    if (!ownScaler || rendererOnCpu_ != true) {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_ACCELERATED | vsync);
        if (ownScaler) rendererOnCpu_ = renderer_ == nullptr || RendersOnCpu(renderer_);
    }
    if (ownScaler && rendererOnCpu_ == true) {
        if (renderer_) SDL_DestroyRenderer(renderer_);
        renderer_ = nullptr;
        surfacePresent_ = SDL_GetWindowSurface(window_) != nullptr;
    }
    if (!surfacePresent_ && renderer_ == nullptr) {
        renderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!surfacePresent_ && renderer_ == nullptr)
        throw std::runtime_error(std::string("no renderer: ") + SDL_GetError());
    if (vsync_) {
        // The refresh rate of the display the window is on; the pacer falls back to 60 Hz.
        SDL_DisplayMode mode{};
        const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
        const int hz = SDL_GetCurrentDisplayMode(display, &mode) == 0 ? mode.refresh_rate : 0;
        // Copying pixels to the window never waits for the refresh: the timer always paces.
        pacer_ = std::make_unique<FramePacer>(hz, !surfacePresent_);
    }
    if (renderer_) SDL_RenderSetLogicalSize(renderer_, frameWidth_, frameHeight_);
    SDL_StartTextInput();
}

// Only on X11, whose window pixels are shared memory the X server copies from; and not where the
// user picked a renderer through SDL_RENDER_DRIVER.
bool SdlHost::OwnScalerAllowed() const {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::string(driver) == "x11" &&
           EnvText("SDL_RENDER_DRIVER").empty();
}

void SdlHost::ShowWindow() {
    EnsureWindow();
    SDL_ShowWindow(window_);
    // A hidden window's place is not always kept when it is first shown.
    if (plainFullscreen_) SetPlainFullscreen(true);
    SDL_RaiseWindow(window_);
}

void SdlHost::HideWindow() {
    // Hidden for good until shown again: the renderer goes with it, and with the renderer the
    // graphics driver's threads, so that a message box after it starts from one thread.
    if (texture_) SDL_DestroyTexture(texture_);
    if (renderer_) SDL_DestroyRenderer(renderer_);
    if (window_) SDL_DestroyWindow(window_);
    texture_ = nullptr;
    textureWidth_ = textureHeight_ = 0;
    renderer_ = nullptr;
    window_ = nullptr;
    plainFullscreen_ = false;
}

// The renderer's logical size stays the program's: the window is sized and the mouse reported
// in its pixels, while a frame drawn at a larger internal resolution fills the same place.
void SdlHost::SetFrameSize(int width, int height) {
    frameWidth_ = width;
    frameHeight_ = height;
    EnsureWindow();
    if (renderer_) SDL_RenderSetLogicalSize(renderer_, width, height);
}

void SdlHost::Present(const uint16_t* pixels, int width, int height, int pitch) {
    // A frame that is no whole multiple of the program's size sets a new size.
    const bool multiple = IsScaledFrame(width, height, frameWidth_, frameHeight_);
    if (!multiple) {
        SetFrameSize(width, height);
    } else if (window_ == nullptr) {
        SetFrameSize(frameWidth_, frameHeight_);
    }
    ++presented_;
    lastFrame_.Keep(pixels, width, height, pitch);
    if (surfacePresent_) {
        DrawOnSurface(pixels, width, height, pitch);
    } else {
        if (texture_ == nullptr || width != textureWidth_ || height != textureHeight_) {
            if (texture_) SDL_DestroyTexture(texture_);
            texture_ = SDL_CreateTexture(renderer_, SDL_PIXELFORMAT_RGB565,
                                         SDL_TEXTUREACCESS_STREAMING, width, height);
            textureWidth_ = width;
            textureHeight_ = height;
        }
        SDL_UpdateTexture(texture_, nullptr, pixels, pitch * 2);
        SDL_SetRenderDrawColor(renderer_, 0, 0, 0, 255);
        SDL_RenderClear(renderer_);
        SDL_RenderCopy(renderer_, texture_, nullptr, nullptr);
    }
    const double began = SteadySeconds(), cpuBefore = ProcessCpuSeconds();
    if (surfacePresent_) {
        SDL_UpdateWindowSurface(window_);
    } else {
        SDL_RenderPresent(renderer_);
    }
    lastPresentAt_ = SteadySeconds();
    if (presented_ == 1) firstPresentAt_ = lastPresentAt_;
    PaceFrame(began, cpuBefore);
    AdvanceClock();
}

void SdlHost::AdvanceClock() {
    const uint64_t us = clock_.Advance();
    if (recording_) RecordPassTime(recorded_, presented_, us);
}

void SdlHost::DrawOnSurface(const uint16_t* pixels, int width, int height, int pitch) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);  // a new one after a resize
    if (surface == nullptr)
        throw std::runtime_error(std::string("no window surface: ") + SDL_GetError());
    const FrameRect place = FitFrame(frameWidth_, frameHeight_, surface->w, surface->h);
    const SDL_PixelFormat& f = *surface->format;
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    if (f.BytesPerPixel == 4 && f.Rloss == 0 && f.Gloss == 0 && f.Bloss == 0) {
        PixelTarget32 target;
        target.pixels = static_cast<uint32_t*>(surface->pixels);
        target.width = surface->w;
        target.height = surface->h;
        target.pitch = surface->pitch / 4;
        target.redShift = f.Rshift;
        target.greenShift = f.Gshift;
        target.blueShift = f.Bshift;
        target.opaqueBits = f.Amask;
        scaler_.Draw(pixels, width, height, pitch, place, target);
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    } else {
        // Any other screen format (a 16-bit X server): SDL converts while it scales.
        if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
        SDL_Surface* frame = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<uint16_t*>(pixels), width, height, 16, pitch * 2, SDL_PIXELFORMAT_RGB565);
        if (frame == nullptr)
            throw std::runtime_error(std::string("no frame surface: ") + SDL_GetError());
        SDL_FillRect(surface, nullptr, SDL_MapRGB(&f, 0, 0, 0));
        SDL_Rect to{place.x, place.y, place.w, place.h};
        SDL_BlitScaled(frame, nullptr, surface, &to);
        SDL_FreeSurface(frame);
    }
}

// What SDL does for a renderer with a logical size: the frame's place in the window, in the
// program's pixels.
POINTAPI SdlHost::FromWindow(int x, int y) const {
    if (!surfacePresent_ || window_ == nullptr) return POINTAPI{x, y};
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    WindowToFrame(FitFrame(frameWidth_, frameHeight_, w, h), frameWidth_, frameHeight_, x, y);
    return POINTAPI{x, y};
}

void SdlHost::PaceFrame(double presentBegan, double cpuBefore) {
    if (!pacer_) return;
    const double sleep =
        pacer_->AfterPresent(presentBegan, SteadySeconds(), ProcessCpuSeconds() - cpuBefore);
    if (sleep > 0) std::this_thread::sleep_for(std::chrono::duration<double>(sleep));
}

void SdlHost::SetPlainFullscreen(bool on) {
    SDL_Rect bounds{0, 0, windowedWidth_, windowedHeight_};
    const int display = std::max(0, SDL_GetWindowDisplayIndex(window_));
    SDL_GetDisplayBounds(display, &bounds);
    SDL_SetWindowBordered(window_, on ? SDL_FALSE : SDL_TRUE);
    if (on) {
        SDL_SetWindowPosition(window_, bounds.x, bounds.y);
        SDL_SetWindowSize(window_, bounds.w, bounds.h);
    } else {
        SDL_SetWindowSize(window_, windowedWidth_, windowedHeight_);
        SDL_SetWindowPosition(window_, SDL_WINDOWPOS_CENTERED_DISPLAY(display),
                              SDL_WINDOWPOS_CENTERED_DISPLAY(display));
    }
    plainFullscreen_ = on;
}

void SdlHost::ToggleFullscreen() {
    if (window_ == nullptr) return;
    if (plainFullscreenMode_) {
        SetPlainFullscreen(!plainFullscreen_);
        return;
    }
    const bool full = (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0;
    SDL_SetWindowFullscreen(window_, full ? 0 : SDL_WINDOW_FULLSCREEN_DESKTOP);
}

// Key state follows the event queue; window events are delivered only from DoEvents, so
// reading keys between passes never runs a handler.
void SdlHost::PumpKeyState() {
    SDL_PumpEvents();
}

void SdlHost::DoEvents() {
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        switch (e.type) {
            case SDL_QUIT:
                // Closing the window ends the program as Esc does, and a replay where it did.
                if (recording_ && !quitRequested_ && !keyDown_[vk::ESCAPE]) {
                    RecordKeyDown(recorded_, RecordingPass(), vk::ESCAPE);
                }
                quitRequested_ = true;
                break;
            case SDL_KEYDOWN: {
                if (e.key.keysym.sym == SDLK_F11) {
                    if (!e.key.repeat) ToggleFullscreen();
                    break;
                }
                // F12 steps the internal resolution. Like F11 it is the window's key, not the
                // program's; it is recorded, so that a replay draws at the same scales.
                if (e.key.keysym.sym == SDLK_F12) {
                    if (e.key.repeat) break;
                    CycleDisplayScale();
                    std::cout << "Drawing at " << DisplayScale()
                              << "x: " << frameWidth_ * DisplayScale() << "x"
                              << frameHeight_ * DisplayScale() << std::endl;
                    if (recording_) RecordKeyDown(recorded_, RecordingPass(), vk::F12);
                    break;
                }
                const int key = VirtualKeyOf(e.key.keysym.sym);
                if (key == 0) break;
                if (key == vk::SPACE && e.key.repeat == 0) keptThisSpacePress_ = false;
                const bool wasDown = keyDown_[key];
                if (!keyDown_[key]) keyPressed_[key] = true;
                keyDown_[key] = true;
                // Keys that type a control character; printable ones arrive as text input.
                int16_t ch = ControlCharacterOfKey(key);
                if (recording_) {
                    // A held key repeats only its character; the second of two Shift keys
                    // changes nothing either.
                    if (e.key.repeat == 0 && !wasDown) {
                        RecordKeyDown(recorded_, RecordingPass(), key);
                    }
                    if (ch != 0) RecordCharacter(recorded_, RecordingPass(), ch);
                }
                if (ch != 0 && events_) events_->KeyPress(ch);
                break;
            }
            case SDL_KEYUP: {
                if (e.key.keysym.sym == SDLK_F11) break;
                if (e.key.keysym.sym == SDLK_F12) {
                    if (recording_) RecordKeyUp(recorded_, RecordingPass(), vk::F12);
                    break;
                }
                const int key = VirtualKeyOf(e.key.keysym.sym);
                if (key == 0) break;
                keyDown_[key] = false;
                if (recording_) RecordKeyUp(recorded_, RecordingPass(), key);
                if (events_) {
                    int16_t code = static_cast<int16_t>(key);
                    events_->KeyUp(code, ShiftStateOf(keyDown_));
                }
                break;
            }
            case SDL_TEXTINPUT:
                for (const char* c = e.text.text; *c != 0; ++c) {
                    const unsigned char u = static_cast<unsigned char>(*c);
                    if (u < 32 || u > 126) continue;  // the program's text is plain ASCII
                    int16_t ch = static_cast<int16_t>(u);
                    if (recording_) RecordCharacter(recorded_, RecordingPass(), ch);
                    if (events_) events_->KeyPress(ch);
                }
                break;
            case SDL_MOUSEMOTION:
                cursor_ = FromWindow(e.motion.x, e.motion.y);
                if (recording_) RecordMouse(recorded_, RecordingPass(), ClampedCursor());
                break;
            case SDL_MOUSEBUTTONUP:
                cursor_ = FromWindow(e.button.x, e.button.y);
                if (e.button.button != SDL_BUTTON_LEFT) break;
                if (recording_) {
                    RecordMouse(recorded_, RecordingPass(), ClampedCursor());
                    RecordClick(recorded_, RecordingPass());
                }
                if (events_) events_->Click();
                break;
            default:
                break;
        }
    }
    if (recording_) WriteNewEvents(recorded_, recordOut_);
}

int16_t SdlHost::GetAsyncKeyState(int key) {
    if (key < 0 || key >= vk::KeyCount) return 0;
    // While recording, keys change only in the event pump between two passes, as the recording
    // says and a replay applies them; a key seen in the middle of a pass could not be replayed.
    if (recording_) {
        const bool down = keyDown_[key] || (key == vk::ESCAPE && quitRequested_);
        const bool pressed = keyPressed_[key] || (key == vk::ESCAPE && quitRequested_);
        keyPressed_[key] = false;
        return static_cast<int16_t>((down ? 0x8000 : 0) | (pressed ? 1 : 0));
    }
    // The key state is read straight from the keyboard, as the hardware reports it now.
    PumpKeyState();
    const Uint8* state = SDL_GetKeyboardState(nullptr);
    bool down = false;
    switch (key) {
        case vk::SHIFT:
            down = state[SDL_SCANCODE_LSHIFT] || state[SDL_SCANCODE_RSHIFT];
            break;
        case vk::CONTROL:
            down = state[SDL_SCANCODE_LCTRL] || state[SDL_SCANCODE_RCTRL];
            break;
        case vk::MENU:
            down = state[SDL_SCANCODE_LALT] || state[SDL_SCANCODE_RALT];
            break;
        default: {
            SDL_Keycode code = 0;
            if (key >= 'A' && key <= 'Z')
                code = SDLK_a + (key - 'A');
            else if (key >= '0' && key <= '9')
                code = SDLK_0 + (key - '0');
            else if (key >= vk::F1 && key <= vk::F12)
                code = SDLK_F1 + (key - vk::F1);
            else if (key == vk::LEFT)
                code = SDLK_LEFT;
            else if (key == vk::RIGHT)
                code = SDLK_RIGHT;
            else if (key == vk::UP)
                code = SDLK_UP;
            else if (key == vk::DOWN)
                code = SDLK_DOWN;
            else if (key == vk::ESCAPE)
                code = SDLK_ESCAPE;
            else if (key == vk::TAB)
                code = SDLK_TAB;
            else if (key == vk::SPACE)
                code = SDLK_SPACE;
            else if (key == vk::RETURN)
                code = SDLK_RETURN;
            else if (key == vk::BACK)
                code = SDLK_BACKSPACE;
            if (code != 0) down = state[SDL_GetScancodeFromKey(code)] != 0;
        }
    }
    if (down && !keyDown_[key]) keyPressed_[key] = true;
    keyDown_[key] = down;
    bool pressed = keyPressed_[key];
    keyPressed_[key] = false;
    // Closing the window ends the program the way Esc does.
    if (key == vk::ESCAPE && quitRequested_) down = pressed = true;
    return static_cast<int16_t>((down ? 0x8000 : 0) | (pressed ? 1 : 0));
}

POINTAPI SdlHost::ClampedCursor() const {
    POINTAPI p = cursor_;
    p.x = std::max(0, std::min(p.x, frameWidth_ - 1));
    p.y = std::max(0, std::min(p.y, frameHeight_ - 1));
    return p;
}

POINTAPI SdlHost::GetCursorPos() {
    return ClampedCursor();
}

int SdlHost::ShowCursor(bool show) {
    cursorCounter_ += show ? 1 : -1;
    SDL_ShowCursor(cursorCounter_ >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return cursorCounter_;
}

uint32_t SdlHost::GetTickCount() {
    return clock_.TickCount();
}

double SdlHost::Timer() {
    return clock_.Timer();
}

int SdlHost::MsgBox(const std::string& text, int flags, const std::string& title) {
    const int answer = ShowMessageBox(text, flags, title);
    // The display question's answer sets the frame size: a replay answers the same.
    if (recording_ && (flags & 0xF) == vbYesNo) {
        RecordAnswer(recorded_, answer == vbYes);
        WriteNewEvents(recorded_, recordOut_);
    }
    return answer;
}

int SdlHost::ShowMessageBox(const std::string& text, int flags, const std::string& title) {
    const bool yesNo = (flags & 0xF) == vbYesNo;
    // The one question, the screen size, answered on the command line.
    if (yesNo && answerYes_) return *answerYes_ ? vbYes : vbNo;
    SDL_MessageBoxButtonData yesNoButtons[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, vbYes, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, vbNo, "No"},
    };
    SDL_MessageBoxButtonData okButton[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, vbOK,
         "OK"},
    };
    SDL_MessageBoxData data{};
    data.flags = (flags & vbCritical) ? SDL_MESSAGEBOX_ERROR : SDL_MESSAGEBOX_INFORMATION;
    data.window = (window_ && (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) ? window_ : nullptr;
    data.title = title.c_str();
    data.message = text.c_str();
    data.numbuttons = yesNo ? 2 : 1;
    data.buttons = yesNo ? yesNoButtons : okButton;
    if (!yesNo) std::cerr << title << "\n" << text << std::endl;
    // A full-screen window would cover the box.
    if (data.window && (SDL_GetWindowFlags(window_) & SDL_WINDOW_FULLSCREEN_DESKTOP)) {
        SDL_MinimizeWindow(window_);
    }
    // On X11 SDL shows the box from a forked child of this process. A fork copies only the
    // calling thread: a lock that another thread (sound, the graphics driver, a timer) held at
    // that moment stays locked in the child for ever, and the box hangs or crashes (seen under
    // the sanitizers, whose allocator is such a lock). So no other SDL thread runs meanwhile.
    audio_.Suspend();
    int answer = -1;
    bool yes = false;
    int shown = -1;
    if (ShowSystemMessageBox(data.window, text, title, yesNo, (flags & vbCritical) != 0, yes)) {
        shown = 0;
        answer = yesNo ? (yes ? vbYes : vbNo) : vbOK;
    } else {
        shown = SDL_ShowMessageBox(&data, &answer);
    }
    audio_.Resume();
    if (shown != 0) {
        // No way to ask (no usable font on the X server, for one): keep the default answer.
        if (yesNo) {
            std::cerr << "velmora: cannot show the question \"" << text << "\" (" << SDL_GetError()
                      << "); answering Yes" << std::endl;
        }
        return yesNo ? vbYes : vbOK;
    }
    return answer < 0 ? (yesNo ? vbNo : vbOK) : answer;
}

std::string SdlHost::KeepScreenshot() {
    if (lastFrame_.pixels.empty()) return "";
    // A held SPACE repeats its character; the picture belongs to the press.
    if (keptThisSpacePress_ && keyDown_[vk::SPACE]) return "";
    keptThisSpacePress_ = true;
    const std::tm local = LocalTime(std::time(nullptr));
    try {
        const std::string path = Utf8(SaveScreenshot(
            PicturesFolder(CurrentPicturesEnvironment()), local, lastFrame_.pixels.data(),
            lastFrame_.width, lastFrame_.height, lastFrame_.width));
        std::cout << "Screenshot saved: " << path << std::endl;
        return path;
    } catch (const std::exception& e) {
        // A picture that cannot be kept must not end the session.
        const std::string why = std::string("velmora: screenshot not saved: ") + e.what();
        if (StandardErrorSeen()) {
            std::cerr << why << std::endl;
        } else {
            MsgBox(why, vbCritical, "Velmora");
            // A full-screen window gave way to the box; the session goes on in it.
            if (SDL_GetWindowFlags(window_) & SDL_WINDOW_MINIMIZED) SDL_RestoreWindow(window_);
        }
        return "";
    }
}

RgbImage SdlHost::CaptureDesktop(int width, int height) {
    RgbImage out;
    if (CaptureScreenPixels(width, height, out.pixels)) {
        out.width = width;
        out.height = height;
        return out;
    }
    return GeneratedDesktop(width, height);
}

std::unique_ptr<WindowHost> OpenWindowHost(const WindowHostOptions& options) {
    return std::make_unique<SdlHost>(options);
}
