#include "sound/Sound.h"

#include <cmath>

#include "core/Declarations.h"
#include "core/DirectXObjects.h"

WAVEFORMATEX MakeWaveFormat(int32_t samplesPerSec, int16_t bitsPerSample, int16_t channels) {
    WAVEFORMATEX w;
    w.nFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = channels;
    w.lSamplesPerSec = samplesPerSec;
    w.nBlockAlign = static_cast<int16_t>(std::lround(bitsPerSample * channels / 8.0));
    w.lAvgBytesPerSec = samplesPerSec * w.nBlockAlign;
    w.nBitsPerSample = bitsPerSample;
    w.nSize = 22;
    return w;
}

void SetUpSound() {
    SoundEnum = DX->GetDSEnum();
    const std::string guid = SoundEnum->GetGuid(2);
    DirectSoundObject = DX->DirectSoundCreate(guid.c_str());
    DirectSoundObject->GetCaps(SoundCaps);
    DirectSoundObject->SetCooperativeLevel(WindowHandle, DSSCL_PRIORITY);
    BufferDesc = DSBUFFERDESC{};
    BufferDesc.lFlags = 197;  // primary buffer, in hardware, with pan and volume control
    const WAVEFORMATEX format = MakeWaveFormat(44100, 16, 2);
    PrimaryBuffer = DirectSoundObject->CreateSoundBuffer(BufferDesc, format);
    PrimaryBuffer->SetFormat(format);
}

void ReleaseSound() {
    // A released buffer falls silent, whichever way the program ends.
    if (PrimaryBuffer) PrimaryBuffer->Stop();
    PrimaryBuffer.reset();
    DirectSoundObject.reset();
    SoundEnum.reset();
}
