#include "platform/dx/DirectSound.h"

#include "platform/dx/DirectX7.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/host/Host.h"

namespace {
constexpr int32_t kDsErrInvalidParam = DxHResult(0x80070057u);
constexpr int32_t kDsErrBadFormat = DxHResult(0x88780064u);
constexpr int32_t kDsErrNoDriver = DxHResult(0x88780078u);
constexpr int32_t kDsErrPrioLevelNeeded = DxHResult(0x887800A0u);

const char* const kGuids[] = {"", "{PRIMARY-SOUND-DRIVER}", "{HOST-AUDIO-OUTPUT}"};
}  // namespace

std::string DirectSoundEnum::GetGuid(int32_t index) const {
    if (index < 1 || index > GetCount()) throw DxError(kDsErrInvalidParam, "no such sound device");
    return kGuids[index];
}

std::string DirectSoundEnum::GetDescription(int32_t index) const {
    if (index < 1 || index > GetCount()) throw DxError(kDsErrInvalidParam, "no such sound device");
    return index == 1 ? "Primary Sound Driver" : "Audio output";
}

std::shared_ptr<DirectSoundEnum> DirectX7::GetDSEnum() {
    return std::make_shared<DirectSoundEnum>();
}

std::shared_ptr<DirectSound> DirectX7::DirectSoundCreate(const char* deviceGuid) {
    DxFaultPoint("DirectSoundCreate");
    const std::string guid = deviceGuid ? deviceGuid : "";
    if (guid != kGuids[1] && guid != kGuids[2] && !guid.empty()) {
        throw DxError(kDsErrNoDriver, "no sound device " + guid);
    }
    return std::make_shared<DirectSound>(host_, guid);
}

void DirectSound::SetCooperativeLevel(int32_t, int32_t level) {
    if (level < 1 || level > 4) throw DxError(kDsErrInvalidParam, "bad cooperative level");
    level_ = level;
}

void DirectSound::GetCaps(DSCAPS& caps) const {
    caps = DSCAPS{};
    caps.lMinSecondarySampleRate = 8000;
    caps.lMaxSecondarySampleRate = 48000;
    caps.lPrimaryBuffers = 1;
}

std::shared_ptr<DirectSoundBuffer> DirectSound::CreateSoundBuffer(const DSBUFFERDESC& desc,
                                                                  const WAVEFORMATEX& format) {
    if ((desc.lFlags & DSBCAPS_PRIMARYBUFFER) != 0 && level_ < DSSCL_PRIORITY) {
        throw DxError(kDsErrPrioLevelNeeded, "the primary buffer needs priority level");
    }
    return std::make_shared<DirectSoundBuffer>(host_, desc, format);
}

DirectSoundBuffer::DirectSoundBuffer(Host& host, const DSBUFFERDESC& desc,
                                     const WAVEFORMATEX& format)
    : host_(host), desc_(desc), format_(format) {}

void DirectSoundBuffer::SetFormat(const WAVEFORMATEX& format) {
    const bool pcm = format.nFormatTag == WAVE_FORMAT_PCM;
    const bool sane = format.nChannels >= 1 && format.nChannels <= 2 &&
                      (format.nBitsPerSample == 8 || format.nBitsPerSample == 16) &&
                      format.lSamplesPerSec >= 8000 && format.lSamplesPerSec <= 192000 &&
                      format.nBlockAlign == format.nChannels * format.nBitsPerSample / 8;
    if (!pcm || !sane) throw DxError(kDsErrBadFormat, "unsupported wave format");
    format_ = format;
    // A machine without a sound device still runs: the host falls back to a null output.
    host_.Audio().Open(format.lSamplesPerSec, format.nBitsPerSample, format.nChannels);
}

void DirectSoundBuffer::Play(int32_t flags) {
    looping_ = (flags & DSBPLAY_LOOPING) != 0;
    host_.Audio().Start();
}

void DirectSoundBuffer::Stop() {
    host_.Audio().Stop();
}

int32_t DirectSoundBuffer::GetStatus() const {
    if (!host_.Audio().IsPlaying()) return 0;
    return DSBSTATUS_PLAYING | (looping_ ? DSBSTATUS_LOOPING : 0);
}
