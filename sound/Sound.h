// The sound device and its primary buffer: 44100 Hz, 16-bit stereo, playing from before the
// main loop until after it.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/dx/DirectSound.h"

inline std::shared_ptr<DirectSoundEnum> SoundEnum;
inline std::shared_ptr<DirectSound> DirectSoundObject;  // "DirectSound" names the class
inline DSCAPS SoundCaps;
inline std::shared_ptr<DirectSoundBuffer> PrimaryBuffer;
inline DSBUFFERDESC BufferDesc;

void SetUpSound();
WAVEFORMATEX MakeWaveFormat(int32_t samplesPerSec, int16_t bitsPerSample, int16_t channels);
void ReleaseSound();
