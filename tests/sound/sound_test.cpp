#include "sound/Sound.h"

#include <gtest/gtest.h>

#include "platform/dx/DxError.h"
#include "tests/support/DisplayFixture.h"

namespace {

TEST(WaveFormat, BlockAlignAndByteRateFollowTheSampleShape) {
    const WAVEFORMATEX w = MakeWaveFormat(44100, 16, 2);
    EXPECT_EQ(w.nFormatTag, 1);
    EXPECT_EQ(w.nBlockAlign, 4);
    EXPECT_EQ(w.lAvgBytesPerSec, 176400);
    EXPECT_EQ(w.nSize, 22);
    const WAVEFORMATEX mono8 = MakeWaveFormat(22050, 8, 1);
    EXPECT_EQ(mono8.nBlockAlign, 1);
    EXPECT_EQ(mono8.lAvgBytesPerSec, 22050);
}

class SoundSetUp : public DisplayFixture {};

TEST_F(SoundSetUp, PrimaryBufferRunsOnTheNullOutput) {
    SetUpSound();
    EXPECT_EQ(PrimaryBuffer->GetFormat().lSamplesPerSec, 44100);
    EXPECT_EQ(PrimaryBuffer->GetStatus(), 0);
    PrimaryBuffer->Play(DSBPLAY_LOOPING);
    EXPECT_EQ(PrimaryBuffer->GetStatus(), DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    EXPECT_TRUE(host->Audio().IsNull());
    PrimaryBuffer->Stop();
    EXPECT_EQ(PrimaryBuffer->GetStatus(), 0);
    // A format the output cannot take is refused with the DirectSound number.
    WAVEFORMATEX odd = MakeWaveFormat(44100, 12, 2);
    EXPECT_THROW(PrimaryBuffer->SetFormat(odd), DxError);
    // The device is taken from position 2 of the enumeration.
    EXPECT_EQ(SoundEnum->GetDescription(2), "Audio output");
    EXPECT_THROW(SoundEnum->GetGuid(3), DxError);
}

}  // namespace
