#include <gtest/gtest.h>

#include <string>

#include "platform/host/HeadlessHost.h"
#include "tests/support/ScriptKeys.h"

namespace {

struct Recorder : WindowEvents {
    std::string log;
    void KeyUp(int16_t& code, int16_t shift) override {
        log += "up" + std::to_string(code) + "/" + std::to_string(shift) + " ";
    }
    void KeyPress(int16_t& ch) override { log += "press" + std::to_string(ch) + " "; }
    void Click() override { log += "click "; }
};

// Runs one pass the way the main loop does: read keys, present, pump events.
void Pass(HeadlessHost& host) {
    const uint16_t pixel = 0;
    host.Present(&pixel, 1, 1, 1);
    host.DoEvents();
}

TEST(HeadlessHost, ScriptedEventsArriveInTheirPass) {
    HeadlessOptions o;
    o.frames = 3;
    o.input = {ScriptKey(2, vk::SHIFT, true), ScriptKey(2, 'A', true), ScriptKey(3, 'A', false)};
    ScriptEvent click;
    click.pass = 2;
    click.kind = ScriptEvent::Kind::Click;
    o.input.push_back(click);
    HeadlessHost host(o);
    Recorder rec;
    host.SetWindowEvents(&rec);

    host.DoEvents();  // before the loop: nothing of pass 2 yet
    EXPECT_EQ(host.GetAsyncKeyState('A'), 0);
    Pass(host);  // pass 1
    EXPECT_EQ(rec.log, "");
    // Pass 2 begins: its key state is visible, its window events wait for its pump.
    EXPECT_LT(host.GetAsyncKeyState('A'), -1);
    EXPECT_EQ(rec.log, "");
    Pass(host);
    EXPECT_EQ(rec.log, "press65 click ");               // shifted: capital A
    EXPECT_EQ(host.GetAsyncKeyState(vk::ESCAPE), 0);    // not yet at the end
    EXPECT_EQ(host.GetAsyncKeyState('A') & 0x8000, 0);  // pass 3 released it
    Pass(host);
    EXPECT_EQ(rec.log, "press65 click up65/1 ");
    EXPECT_LT(host.GetAsyncKeyState(vk::ESCAPE), -1);  // --frames reached
}

// A key down types what a keyboard would: nothing when marked notype, and with Ctrl held only
// the control characters Tab, Enter and Backspace.
TEST(HeadlessHost, KeyDownsTypeLikeTheWindowsKeyboard) {
    HeadlessOptions o;
    ScriptEvent quiet = ScriptKey(1, 'B', true);
    quiet.types = false;
    o.input = {quiet,
               ScriptKey(1, 'B', false),
               ScriptKey(1, vk::CONTROL, true),
               ScriptKey(1, 'A', true),
               ScriptKey(1, vk::SPACE, true),
               ScriptKey(1, vk::RETURN, true),
               ScriptKey(1, vk::BACK, true),
               ScriptKey(2, vk::CONTROL, false),
               ScriptKey(2, '7', true)};
    HeadlessHost host(o);
    Recorder rec;
    host.SetWindowEvents(&rec);
    Pass(host);
    EXPECT_EQ(rec.log, "up66/0 press13 press8 ");
    Pass(host);
    EXPECT_EQ(rec.log, "up66/0 press13 press8 up17/0 press55 ");
}

// Shift+Enter with Shift let go in the next pass: the Enter handler still finds Shift down.
TEST(HeadlessHost, HandlersReadTheKeyStateOfTheirOwnPass) {
    struct ShiftReader : WindowEvents {
        HeadlessHost* host = nullptr;
        std::string log;
        void KeyUp(int16_t&, int16_t) override {}
        void KeyPress(int16_t& ch) override {
            log += std::to_string(ch) + (host->GetAsyncKeyState(vk::SHIFT) < -1 ? "+shift " : " ");
        }
        void Click() override {}
    };
    HeadlessOptions o;
    ScriptEvent enter;
    enter.pass = 2;
    enter.kind = ScriptEvent::Kind::Type;
    enter.text = "\r";
    o.input = {ScriptKey(2, vk::SHIFT, true), enter, ScriptKey(3, vk::SHIFT, false), enter};
    o.input.back().pass = 3;
    HeadlessHost host(o);
    ShiftReader reader;
    reader.host = &host;
    host.SetWindowEvents(&reader);
    Pass(host);
    Pass(host);
    EXPECT_EQ(reader.log, "13+shift ");
    EXPECT_EQ(host.GetAsyncKeyState(vk::SHIFT) & 0x8000, 0);  // pass 3 has begun
    Pass(host);
    EXPECT_EQ(reader.log, "13+shift 13 ");
}

TEST(HeadlessHost, VirtualClockAndTimeOfDayAreFixedBySeed) {
    HeadlessOptions o;
    o.seed = 5;
    o.tickMs = 40;
    HeadlessHost a(o), b(o);
    EXPECT_EQ(a.Timer(), b.Timer());
    const uint32_t t0 = a.GetTickCount();
    Pass(a);
    EXPECT_EQ(a.GetTickCount() - t0, 40u);
    EXPECT_NEAR(a.Timer() - b.Timer(), 0.04, 1e-9);
}

}  // namespace
