// DirectSound over the host's audio output: the device enumeration, the sound object and its
// primary buffer, which only needs to run (play looping, stop) at the format it was given.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/dx/DxTypes.h"

class Host;

constexpr int32_t DSSCL_PRIORITY = 2;
constexpr int32_t DSBCAPS_PRIMARYBUFFER = 0x1;
constexpr int32_t DSBPLAY_LOOPING = 1;
constexpr int32_t DSBSTATUS_PLAYING = 1;
constexpr int32_t DSBSTATUS_LOOPING = 4;
constexpr int16_t WAVE_FORMAT_PCM = 1;

struct DSCAPS {
    int32_t lFlags = 0;
    int32_t lMinSecondarySampleRate = 0, lMaxSecondarySampleRate = 0;
    int32_t lPrimaryBuffers = 0;
};

class DirectSoundEnum {
  public:
    int32_t GetCount() const { return 2; }
    // Items count from 1: the primary sound driver, then the host's output.
    std::string GetGuid(int32_t index) const;
    std::string GetDescription(int32_t index) const;
};

class DirectSoundBuffer {
  public:
    DirectSoundBuffer(Host& host, const DSBUFFERDESC& desc, const WAVEFORMATEX& format);
    void SetFormat(const WAVEFORMATEX& format);
    void Play(int32_t flags);
    void Stop();
    int32_t GetStatus() const;
    WAVEFORMATEX GetFormat() const { return format_; }

  private:
    Host& host_;
    DSBUFFERDESC desc_;
    WAVEFORMATEX format_;
    bool looping_ = false;
};

class DirectSound {
  public:
    DirectSound(Host& host, std::string guid) : host_(host), guid_(std::move(guid)) {}
    void SetCooperativeLevel(int32_t hWnd, int32_t level);
    void GetCaps(DSCAPS& caps) const;
    std::shared_ptr<DirectSoundBuffer> CreateSoundBuffer(const DSBUFFERDESC& desc,
                                                         const WAVEFORMATEX& format);

  private:
    Host& host_;
    std::string guid_;
    int32_t level_ = 0;
};
