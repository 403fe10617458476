// A session flown at an uneven frame rate replays from its recording to the very camera it
// showed, pass by pass, and the camera moves by each frame's time to the microsecond.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "app/MainLoop.h"
#include "core/Declarations.h"
#include "platform/host/HeadlessHost.h"
#include "platform/host/InputRecording.h"
#include "render/Camera.h"

namespace {

constexpr int kPasses = 400;

// About 144 frames a second, never two alike, with a hitch now and then.
uint64_t FrameMicros(int pass) {
    if (pass % 97 == 0) return 41234;
    return 6944 + static_cast<uint64_t>(pass * 7919 % 1201) - 600;
}

// Keys the window saw in the event pump after a pass's frame. Each comes after a pass that
// takes a camera step, where a key seen one pass early or late would show.
struct KeyChange {
    int afterPass;
    int key;
    bool down;
};
constexpr KeyChange kKeys[] = {
    {9, 'A', true}, {151, vk::LEFT, true}, {233, vk::LEFT, false}, {332, 'A', false}};

void StartCamera() {
    CameraState = CameraStateRecord{};
    CameraState.CameraPosition = D3DVECTOR{0, 4, 0};
    CameraState.UpVector = D3DVECTOR{0, 1, 0};
    CameraState.Yaw = 55;
    ResetCameraClock();
}

// The window's side: its clock moves on as each frame is shown, and the recording keeps the
// session's start, every pass's time and the keys.
std::vector<CameraStateRecord> FlyLive(std::string& script) {
    HeadlessHost keyboard{HeadlessOptions{}};
    SetActiveHost(&keyboard);
    StartCamera();
    InputRecording r;
    RecordSession(r, 45000);
    std::vector<CameraStateRecord> seen;
    for (int pass = 1; pass <= kPasses; ++pass) {
        AdvanceCamera(pass == 1 ? 0 : static_cast<int64_t>(FrameMicros(pass - 1)));
        seen.push_back(ViewedCamera());
        RecordPassTime(r, pass, FrameMicros(pass));
        for (const KeyChange& k : kKeys) {
            if (k.afterPass != pass) continue;
            keyboard.SetKey(k.key, k.down);
            k.down ? RecordKeyDown(r, pass, k.key) : RecordKeyUp(r, pass, k.key);
        }
    }
    std::ostringstream text;
    WriteNewEvents(r, text);
    script = text.str();
    SetActiveHost(nullptr);
    return seen;
}

// The headless side: the main loop's frame timer on the host's clock, as the program runs it.
std::vector<CameraStateRecord> Replay(const std::string& script) {
    std::istringstream in(script);
    std::string error;
    auto events = ParseInputScript(in, error);
    EXPECT_TRUE(events) << error;
    HeadlessOptions o;
    o.input = events.value_or(std::vector<ScriptEvent>{});
    HeadlessHost host(o);
    SetActiveHost(&host);
    StartCamera();
    ResetMainLoopState();
    SpeedFactor = 0.04f;
    LastTick = static_cast<int32_t>(host.GetTickCount());
    LastTickUs = host.TickMicroseconds();
    host.DoEvents();
    std::vector<CameraStateRecord> seen;
    const uint16_t pixel = 0;
    for (int pass = 1; pass <= kPasses; ++pass) {
        UpdateFrameTimer();
        AdvanceCamera(FrameUs);
        seen.push_back(ViewedCamera());
        host.Present(&pixel, 1, 1, 1);
        host.DoEvents();
    }
    SetActiveHost(nullptr);
    return seen;
}

TEST(SessionReplay, AnUnevenSessionReplaysToTheSameCameraPassByPass) {
    std::string script;
    const std::vector<CameraStateRecord> live = FlyLive(script);
    const std::vector<CameraStateRecord> replayed = Replay(script);
    ASSERT_EQ(replayed.size(), live.size());
    for (size_t i = 0; i < live.size(); ++i) {
        const CameraStateRecord &a = live[i], &b = replayed[i];
        ASSERT_EQ(a.CameraPosition.x, b.CameraPosition.x) << "pass " << i + 1;
        ASSERT_EQ(a.CameraPosition.y, b.CameraPosition.y) << "pass " << i + 1;
        ASSERT_EQ(a.CameraPosition.z, b.CameraPosition.z) << "pass " << i + 1;
        ASSERT_EQ(a.Yaw, b.Yaw) << "pass " << i + 1;
        ASSERT_EQ(a.Pitch, b.Pitch) << "pass " << i + 1;
    }
    // The flight went somewhere: forward, turning and back to a stop.
    EXPECT_GT(std::hypot(live.back().CameraPosition.x, live.back().CameraPosition.z), 20.0);
    EXPECT_NE(live.back().Yaw, 55.0f);

    // Flying straight at full speed (passes 100 to 149), each frame moves the camera by its own
    // time: a clock of whole milliseconds would make 6.3 ms frames move 5 or 6 ms worth.
    for (int pass = 100; pass < 149; ++pass) {
        const CameraStateRecord &from = replayed[static_cast<size_t>(pass - 1)],
                                &to = replayed[static_cast<size_t>(pass)];
        const double moved = std::hypot(to.CameraPosition.x - from.CameraPosition.x,
                                        to.CameraPosition.z - from.CameraPosition.z);
        const double expected = 0.4 * static_cast<double>(FrameMicros(pass)) / 25000.0;
        EXPECT_NEAR(moved / expected, 1.0, 2e-3) << "pass " << pass + 1;
    }
}

}  // namespace
