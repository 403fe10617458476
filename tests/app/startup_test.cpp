// The whole program in-process on a headless host: start-up, the loop, the one exit.
#include <gtest/gtest.h>

#include "app/Main.h"
#include "app/MainLoop.h"
#include "app/StartupResets.h"
#include "core/Declarations.h"
#include "display/Display.h"
#include "platform/dx/DxError.h"
#include "platform/dx/DxErrorCodes.h"
#include "platform/host/HeadlessHost.h"
#include "resources/Surfaces.h"

namespace {

struct ProgramRun {
    explicit ProgramRun(HeadlessOptions options) : host(std::move(options)) {
        SetActiveHost(&host);
        status = Main();
        SetActiveHost(nullptr);
    }
    HeadlessHost host;
    int status = -1;
};

HeadlessOptions Frames(int n, bool hi = true) {
    HeadlessOptions o;
    o.frames = n;
    o.answerYes = hi;
    o.seed = 7;
    return o;
}

TEST(StartUp, EscOnTheFirstPassEndsNormallyWithoutAMessage) {
    HeadlessOptions o = Frames(1000);
    ScriptEvent esc;
    esc.pass = 1;
    esc.kind = ScriptEvent::Kind::KeyDown;
    esc.key = vk::ESCAPE;
    o.input.push_back(esc);
    ProgramRun run(o);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.host.PassesPresented(), 1);
    ASSERT_EQ(run.host.Messages().size(), 1u);  // only the display question
    EXPECT_EQ(run.host.Messages()[0], "Velmora\nYes for Hi-res(640x480),No for Lo-res(320x240)");
    EXPECT_EQ(run.host.CursorCounter(), 0);
    EXPECT_EQ(FrameCount, 1);
}

TEST(StartUp, AnswerPicksTheFrameSize) {
    ProgramRun hi(Frames(2, true));
    EXPECT_EQ(hi.host.FrameWidth(), 640);
    EXPECT_EQ(hi.host.FrameHeight(), 480);
    ProgramRun lo(Frames(2, false));
    EXPECT_EQ(lo.host.FrameWidth(), 320);
    EXPECT_EQ(lo.host.FrameHeight(), 240);
    EXPECT_EQ(lo.status, 0);
    EXPECT_EQ(lo.host.PassesPresented(), 2);
}

TEST(StartUp, DisplayFailureIsReportedAndTheCursorRestored) {
    ArmDxFault("SetDisplayMode", DDERR_INVALIDMODE);
    ProgramRun run(Frames(5));
    DisarmDxFaults();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.host.PassesPresented(), 0);
    // The cursor was never hidden; the shutdown still shows it once, which leaves it visible.
    EXPECT_EQ(run.host.CursorCounter(), 1);
    ASSERT_EQ(run.host.Messages().size(), 2u);
    const std::string& box = run.host.Messages()[1];
    EXPECT_EQ(box.substr(0, box.find('\n')), "Error: #" + std::to_string(DDERR_INVALIDMODE));
    EXPECT_EQ(box.find("\nDDERR_INVALIDMODE\r\n\r\n"), box.find('\n'));
}

TEST(StartUp, FailureAfterTheCursorIsHiddenStillRestoresIt) {
    ArmDxFault("DirectSoundCreate", DDERR_GENERIC);
    ProgramRun run(Frames(5));
    DisarmDxFaults();
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.host.CursorCounter(), 0);
}

TEST(StartUp, EscTappedBetweenTwoReadsDoesNotEndTheLoop) {
    HeadlessOptions o = Frames(6);
    ScriptEvent down, up;
    down.pass = up.pass = 2;
    down.kind = ScriptEvent::Kind::KeyDown;
    up.kind = ScriptEvent::Kind::KeyUp;
    down.key = up.key = vk::ESCAPE;
    o.input = {down, up};
    ProgramRun run(o);
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.host.PassesPresented(), 6);  // ran on to the last pass
}

TEST(StartUp, CursorHiddenTwiceBeforeStartIsShownAgainAtTheEnd) {
    HeadlessHost host(Frames(2));
    host.ShowCursor(false);
    host.ShowCursor(false);
    SetActiveHost(&host);
    EXPECT_EQ(Main(), 0);
    SetActiveHost(nullptr);
    // Hiding stopped at the first negative count; showing climbed back to exactly 0.
    EXPECT_EQ(host.CursorCounter(), 0);
}

class DesktopFrames : public ::testing::TestWithParam<bool> {};

TEST_P(DesktopFrames, DesktopPictureIsKeptWithItsFrameTable) {
    const bool hi = GetParam();
    HeadlessHost host(Frames(1, hi));
    SetActiveHost(&host);
    DX = std::make_unique<DirectX7>(host);
    StartDisplay();
    const int32_t h = hi ? 480 : 240;
    // The first surface takes the empty slot 0 rather than growing the list.
    ASSERT_EQ(BackgroundSurfaces[0], 0);
    EXPECT_EQ(LastSpriteSurfaceIndex, 0);
    EXPECT_EQ(SpriteSurfaceList.size(), 1u);
    const SurfaceRecord& bgf1 = SpriteSurfaceList.at(static_cast<size_t>(BackgroundSurfaces[0]));
    EXPECT_EQ(bgf1.Name, "BGF1");
    ASSERT_EQ(bgf1.Frames.size(), 3u);
    EXPECT_EQ(bgf1.LastFrame, 2);
    EXPECT_EQ(bgf1.Frames[0].Right, hi ? 640 : 320);
    EXPECT_EQ(bgf1.Frames[0].Bottom, h);
    EXPECT_EQ(bgf1.Frames[1].Left, 320);
    EXPECT_EQ(bgf1.Frames[1].Right, h);
    EXPECT_EQ(bgf1.Frames[1].Bottom, h);
    EXPECT_EQ(bgf1.Frames[2].Top, 240);
    EXPECT_EQ(bgf1.Frames[2].Right, 320);
    EXPECT_EQ(bgf1.Frames[2].Bottom, h);
    // The surface holds the desktop the host showed before the mode change.
    const RgbImage desktop = GeneratedDesktop(RenderWidth, RenderHeight);
    EXPECT_EQ(bgf1.Surface->Row(h - 1)[5],
              Rgb565FromRgb(desktop.pixels[(h - 1) * RenderWidth + 5]));
    EXPECT_EQ(bgf1.Surface->Row(20)[20], Rgb565FromRgb(desktop.pixels[20 * RenderWidth + 20]));
    EXPECT_EQ(ShutDownDisplay(PendingError{}), 0);
    SetActiveHost(nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothSizes, DesktopFrames, ::testing::Bool());

}  // namespace
