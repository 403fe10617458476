#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "platform/host/HeadlessHost.h"
#include "platform/host/InputRecording.h"

namespace {

struct WindowLog : WindowEvents {
    std::string log;
    void KeyUp(int16_t& code, int16_t) override { log += "up" + std::to_string(code) + " "; }
    void KeyPress(int16_t& ch) override { log += "press" + std::to_string(ch) + " "; }
    void Click() override { log += "click "; }
};

std::vector<ScriptEvent> ReadBack(InputRecording& r) {
    std::stringstream file;
    WriteNewEvents(r, file);
    std::string error;
    auto events = ParseInputScript(file, error);
    EXPECT_TRUE(events) << error;
    return events.value_or(std::vector<ScriptEvent>{});
}

void ExpectSame(const std::vector<ScriptEvent>& a, const std::vector<ScriptEvent>& b) {
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i) {
        EXPECT_EQ(a[i].pass, b[i].pass) << i;
        EXPECT_EQ(a[i].kind, b[i].kind) << i;
        EXPECT_EQ(a[i].key, b[i].key) << i;
        EXPECT_EQ(a[i].text, b[i].text) << i;
        EXPECT_EQ(a[i].x, b[i].x) << i;
        EXPECT_EQ(a[i].y, b[i].y) << i;
    }
}

// A short editing session: click an entry, type a value with keys and with characters that
// have no key, a shifted digit, a letter typed with Caps Lock, a key that types nothing, a held
// Enter's repeat, and F2.
InputRecording Session() {
    InputRecording r;
    RecordMouse(r, 1, {320, 200});
    RecordMouse(r, 1, {321, 201});  // the same pass keeps the last position
    RecordClick(r, 1);
    RecordKeyDown(r, 4, '1');
    RecordCharacter(r, 4, '1');
    RecordKeyUp(r, 5, '1');
    RecordCharacter(r, 6, '.');  // no key of its own
    RecordCharacter(r, 6, '5');
    RecordCharacter(r, 6, '#');
    RecordKeyDown(r, 6, vk::SHIFT);
    RecordKeyDown(r, 6, '1');
    RecordCharacter(r, 6, '!');  // another character than the key's own
    RecordKeyUp(r, 6, vk::SHIFT);
    RecordKeyDown(r, 7, 'C');
    RecordCharacter(r, 7, 'C');  // Caps Lock: capital without Shift
    RecordKeyDown(r, 7, vk::RETURN);
    RecordCharacter(r, 7, 13);
    RecordCharacter(r, 9, 13);  // the held key repeats
    RecordCharacter(r, 9, 27);  // Esc's character cannot be written
    RecordKeyUp(r, 9, vk::RETURN);
    RecordMouse(r, 9, {321, 201});  // not moved
    RecordKeyUp(r, 12, vk::F2);
    return r;
}

TEST(InputRecording, ASessionFormatsToAScriptThatParsesBackToTheSameEvents) {
    InputRecording r = Session();
    const std::vector<ScriptEvent> recorded = r.events;
    std::vector<std::string> lines;
    for (const ScriptEvent& e : recorded) lines.push_back(FormatScriptEvent(e));
    const std::vector<std::string> expected = {"1 mouse 321 201",
                                               "1 click",
                                               "4 key 1 down notype",
                                               "4 type 1",
                                               "5 key 1 up",
                                               "6 type .5{HASH}",
                                               "6 key SHIFT down",
                                               "6 key 1 down notype",
                                               "6 type !",
                                               "6 key SHIFT up",
                                               "7 key C down notype",
                                               "7 type C",
                                               "7 key ENTER down notype",
                                               "7 type {ENTER}",
                                               "9 type {ENTER}",
                                               "9 key ENTER up",
                                               "12 key F2 up"};
    EXPECT_EQ(lines, expected);
    std::vector<ScriptEvent> back = ReadBack(r);
    ExpectSame(back, recorded);
    for (size_t i = 0; i < back.size(); ++i) EXPECT_EQ(back[i].types, recorded[i].types) << i;
    EXPECT_TRUE(ReadBack(r).empty());  // written once
}

TEST(InputRecording, AReplayDeliversEachCharacterOnce) {
    InputRecording r = Session();
    HeadlessOptions o;
    o.input = ReadBack(r);
    HeadlessHost host(o);
    WindowLog window;
    host.SetWindowEvents(&window);
    const uint16_t pixel = 0;
    for (int pass = 1; pass <= 12; ++pass) {
        host.Present(&pixel, 1, 1, 1);
        host.DoEvents();
    }
    // One 1, one !, one C: nothing typed twice by a key down and its character.
    EXPECT_EQ(window.log,
              "click press49 up49 press46 press53 press35 press33 up16 press67 press13 press13 "
              "up13 up113 ");
}

TEST(InputRecording, EventsWrittenAlreadyAreNotChangedAfterwards) {
    InputRecording r;
    RecordCharacter(r, 2, 'A');
    RecordMouse(r, 2, {1, 1});
    std::stringstream file;
    WriteNewEvents(r, file);
    RecordMouse(r, 2, {5, 5});
    RecordCharacter(r, 2, 'B');
    WriteNewEvents(r, file);
    EXPECT_EQ(file.str(), "2 type A\n2 mouse 1 1\n2 mouse 5 5\n2 type B\n");
}

}  // namespace
