#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <tuple>
#include <utility>

#include "app/CommandLine.h"
#include "platform/dx/DirectDraw.h"

namespace {

std::optional<CommandLine> Parse(std::vector<std::string> args, std::string* error = nullptr) {
    std::string e;
    auto cl = ParseCommandLine(args, e);
    if (error) *error = e;
    return cl;
}

TEST(CommandLine, DefaultsAreTheInteractiveProgram) {
    auto cl = Parse({});
    ASSERT_TRUE(cl);
    EXPECT_FALSE(cl->headless);
    EXPECT_EQ(cl->headlessOptions.frames, 400);
    EXPECT_EQ(cl->headlessOptions.tickMs, 25);
    EXPECT_TRUE(cl->headlessOptions.answerYes);
    EXPECT_FALSE(cl->headlessOptions.seed.has_value());
}

TEST(CommandLine, HeadlessOptionsAreRead) {
    const std::string dir = ::testing::TempDir();
    auto cl =
        Parse({"--headless", "--frames", "10", "--res", "lo", "--tick-ms", "40", "--seed",
               "4294967295", "--shot", "5:a.png", "--shot", "9:" + dir + "b:c.png", "--stats"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->headlessOptions.frames, 10);
    EXPECT_FALSE(cl->headlessOptions.answerYes);
    EXPECT_EQ(cl->headlessOptions.tickMs, 40);
    EXPECT_EQ(*cl->headlessOptions.seed, 4294967295u);
    EXPECT_EQ(cl->headlessOptions.shots.find(5)->second, "a.png");
    EXPECT_EQ(cl->headlessOptions.shots.find(9)->second, dir + "b:c.png");
    EXPECT_TRUE(cl->stats);
}

// The internal resolution, for the window and headless alike.
TEST(CommandLine, ScaleIsAWholeMultipleFromOneToFour) {
    EXPECT_EQ(Parse({})->scale, 1);
    EXPECT_EQ(Parse({"--scale", "3"})->scale, 3);
    EXPECT_EQ(Parse({"--headless", "--scale", "4"})->scale, 4);
    for (const char* bad : {"0", "5", "2.5", "x", "-1"}) {
        std::string e;
        EXPECT_FALSE(Parse({"--headless", "--scale", bad}, &e)) << bad;
        EXPECT_EQ(e, "--scale needs a number from 1 to 4") << bad;
    }
    std::string e;
    EXPECT_FALSE(Parse({"--scale"}, &e));
}

TEST(CommandLine, TheInteractiveProgramRecordsItsInputForAReplay) {
    auto cl = Parse({"--windowed", "--record", "session.txt"});
    ASSERT_TRUE(cl);
    EXPECT_EQ(cl->recordFile, "session.txt");
    EXPECT_TRUE(Parse({})->recordFile.empty());
    std::string e;
    EXPECT_FALSE(Parse({"--record"}, &e));
    EXPECT_EQ(e, "--record needs a file");
    EXPECT_FALSE(Parse({"--headless", "--record", "x"}, &e));
    EXPECT_NE(e.find("--input"), std::string::npos);
}

TEST(CommandLine, WrongCallsGiveAOneLineReason) {
    std::string e;
    EXPECT_FALSE(Parse({"--bogus"}, &e));
    EXPECT_EQ(e, "unknown option '--bogus'");
    EXPECT_FALSE(Parse({"--frames", "3"}, &e));
    EXPECT_EQ(e, "--frames needs --headless");
    EXPECT_FALSE(Parse({"--headless", "--frames", "0"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--frames", "12x"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--frames"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--res", "mid"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--shot", "x.png"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--shot", "0:x.png"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--seed", "-1"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--input", "/nonexistent/script"}, &e));
    EXPECT_FALSE(Parse({"--headless", "--windowed"}, &e));
    EXPECT_EQ(e.find('\n'), std::string::npos);
}

TEST(InputScript, EventsParseAndFormatBack) {
    std::istringstream in(
        "# fly forward\n"
        "3 key UP down\n"
        "40 key UP up   # and stop\n"
        "\n"
        "41 type 1.5{ENTER}   # blanks before a comment are not typed\n"
        "42 mouse 320 200\n"
        "42 click\n"
        "43 key F2 up\n"
        "44 key C down notype\n"
        "45 type a b{SPACE}{HASH}{LBRACE}\t\r\n");
    std::string error;
    auto events = ParseInputScript(in, error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 8u);
    EXPECT_EQ((*events)[0].key, vk::UP);
    EXPECT_TRUE((*events)[0].types);
    EXPECT_EQ((*events)[1].kind, ScriptEvent::Kind::KeyUp);
    EXPECT_EQ((*events)[2].text, "1.5\r");
    EXPECT_EQ((*events)[3].x, 320);
    EXPECT_EQ((*events)[5].key, vk::F2);
    EXPECT_FALSE((*events)[6].types);
    EXPECT_EQ((*events)[7].text, "a b #{");
    EXPECT_EQ(FormatScriptEvent((*events)[2]), "41 type 1.5{ENTER}");
    EXPECT_EQ(FormatScriptEvent((*events)[5]), "43 key F2 up");
    EXPECT_EQ(FormatScriptEvent((*events)[6]), "44 key C down notype");
    EXPECT_EQ(FormatScriptEvent((*events)[7]), "45 type a{SPACE}b{SPACE}{HASH}{LBRACE}");
}

TEST(CommandLine, TheWindowTakesItsAnswerPaceAndStatsFromTheCommandLine) {
    auto cl = Parse({"--res", "lo", "--no-vsync", "--stats"});
    ASSERT_TRUE(cl);
    EXPECT_FALSE(cl->headless);
    ASSERT_TRUE(cl->windowAnswerYes.has_value());
    EXPECT_FALSE(*cl->windowAnswerYes);
    EXPECT_TRUE(cl->noVsync);
    EXPECT_TRUE(cl->stats);
    EXPECT_TRUE(*Parse({"--res", "hi"})->windowAnswerYes);
    // Without --res the question is asked.
    EXPECT_FALSE(Parse({})->windowAnswerYes.has_value());
    EXPECT_FALSE(Parse({})->noVsync);
    EXPECT_TRUE(Parse({"--version"})->version);
    std::string e;
    EXPECT_FALSE(Parse({"--headless", "--no-vsync"}, &e));
    EXPECT_NE(e.find("--no-vsync"), std::string::npos);
}

// Every --shot is kept, and one that can never be written is refused before the run.
TEST(CommandLine, ShotsOfOnePassAllStayAndNoneLiesBeyondTheLastPass) {
    auto cl = Parse({"--headless", "--shot", "5:a.png", "--shot", "5:b.png", "--frames", "5"});
    ASSERT_TRUE(cl);
    const auto [first, last] = cl->headlessOptions.shots.equal_range(5);
    ASSERT_EQ(std::distance(first, last), 2);
    EXPECT_EQ(first->second, "a.png");
    EXPECT_EQ(std::next(first)->second, "b.png");
    std::string e;
    // --frames may come after --shot; the default is 400 passes.
    EXPECT_FALSE(Parse({"--headless", "--shot", "9:x.png", "--frames", "3"}, &e));
    EXPECT_EQ(e, "--shot 9 is after the last pass (--frames 3)");
    EXPECT_FALSE(Parse({"--headless", "--shot", "401:x.png"}, &e));
    EXPECT_TRUE(Parse({"--headless", "--shot", "400:x.png"}));
    // Nor can a frame whose folder is missing, or whose name is a folder.
    EXPECT_FALSE(Parse({"--headless", "--shot", "3:/nonexistent/dir/x.png"}, &e));
    EXPECT_EQ(e, "--shot 3: no folder /nonexistent/dir");
    EXPECT_FALSE(Parse({"--headless", "--shot", "3:" + ::testing::TempDir()}, &e));
    EXPECT_EQ(e, "--shot 3: " + ::testing::TempDir() + " is a folder");
    EXPECT_FALSE(Parse({"--headless", "--trace", "/nonexistent/dir/t.vtr"}, &e));
    EXPECT_EQ(e, "--trace: no folder /nonexistent/dir");
}

TEST(CommandLine, InputAndDesktopThatCannotBeUsedAreRefusedNamingTheFile) {
    const std::string dir = ::testing::TempDir();
    std::string e;
    // A folder opens like a file and reads as nothing.
    EXPECT_FALSE(Parse({"--headless", "--input", dir}, &e));
    EXPECT_EQ(e, "cannot read input script " + dir);
    const std::string text = dir + "velmora-not-a-picture.png";
    std::ofstream(text) << "hello\n";
    EXPECT_FALSE(Parse({"--headless", "--desktop", text}, &e));
    EXPECT_EQ(e, text + " is not a picture (PNG or BMP)");
    const std::string png = dir + "velmora-desktop.png";
    const uint16_t pixels[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    ASSERT_TRUE(WritePng565(png, pixels, 2, 2, 2));
    auto cl = Parse({"--headless", "--desktop", png}, &e);
    ASSERT_TRUE(cl) << e;
    EXPECT_EQ(cl->headlessOptions.desktopFile, png);
    std::remove(text.c_str());
    std::remove(png.c_str());
}

// A recorded session replays with its own pass times and start, to its end, unless the command
// line says otherwise; a bad time or session line is refused naming the file and the line.
TEST(CommandLine, ASessionsTimesAndStartStandUnlessTheCommandLineSaysOtherwise) {
    const std::string file = ::testing::TempDir() + "velmora-session.txt";
    std::ofstream(file) << "session 45000\nscale 2\n0 mouse 3 4\nanswer no\n1 time 16667\n"
                           "2 time 7001\n2 key A down notype\n450 key ESC down\n";
    auto clock = [](const CommandLine& cl) {
        HeadlessHost host(cl.headlessOptions);
        const uint16_t pixel = 0;
        std::vector<uint64_t> times;
        for (int pass = 1; pass <= 3; ++pass) {
            const uint64_t before = host.TickMicroseconds();
            host.Present(&pixel, 1, 1, 1);
            times.push_back(host.TickMicroseconds() - before);
        }
        return std::make_pair(times, host.Timer());
    };
    std::string e;
    auto cl = Parse({"--headless", "--input", file, "--shot", "450:x.png"}, &e);
    ASSERT_TRUE(cl) << e;
    EXPECT_EQ(cl->headlessOptions.frames, 450);   // runs to the recorded Esc
    EXPECT_FALSE(cl->headlessOptions.answerYes);  // the recorded answer and scale
    EXPECT_EQ(cl->scale, 2);
    auto [times, timer] = clock(*cl);
    EXPECT_EQ(times, (std::vector<uint64_t>{16667, 7001, 25000}));  // pass 3 has no time
    EXPECT_DOUBLE_EQ(timer, 45000 + 0.048668);

    cl = Parse({"--headless", "--input", file, "--tick-ms", "40", "--seed", "5", "--res", "hi",
                "--scale", "1"},
               &e);
    ASSERT_TRUE(cl) << e;
    EXPECT_TRUE(cl->headlessOptions.answerYes);
    EXPECT_EQ(cl->scale, 1);
    std::tie(times, timer) = clock(*cl);
    EXPECT_EQ(times, (std::vector<uint64_t>{40000, 40000, 40000}));
    EXPECT_DOUBLE_EQ(timer, 36005 + 0.12);

    EXPECT_FALSE(
        Parse({"--headless", "--input", file, "--frames", "100", "--shot", "450:x.png"}, &e));
    EXPECT_EQ(e, "--shot 450 is after the last pass (--frames 100)");

    const std::pair<const char*, const char*> bad[] = {
        {"1 time -5", "line 2: time needs whole microseconds from 0 to 86400000000"},
        {"1 time 1e3", "line 2: time needs whole microseconds from 0 to 86400000000"},
        {"1 time 86400000001", "line 2: time needs whole microseconds from 0 to 86400000000"},
        {"1 time 5 ms", "line 2: unexpected 'ms'"},
        {"0 time 5", "line 2: time needs a pass from 1: pass 0 has no frame"},
        {"4 time 5\n4 time 6", "line 3: pass 4 has a time already (line 2)"},
        {"session 86400", "line 2: a second session line (the first is line 1)"},
        {"-1 click", "line 2: pass must be a number from 0"},
        {"answer maybe", "line 2: answer needs yes or no"},
        {"scale 5", "line 2: scale needs a number from 1 to 4"},
        {"scale 1\nscale 2", "line 3: a second scale line"},
    };
    for (const auto& [lines, why] : bad) {
        std::ofstream(file) << "session 1\n" << lines << "\n";
        EXPECT_FALSE(Parse({"--headless", "--input", file}, &e)) << lines;
        EXPECT_EQ(e, file + ": " + why);
    }
    std::ofstream(file) << "session 86400\n";
    EXPECT_FALSE(Parse({"--headless", "--input", file}, &e));
    EXPECT_EQ(e, file + ": line 1: session needs its start in seconds after midnight, 0 to 86399");
    // Pass 0 is the time before the first frame, which only a recorded session has.
    std::ofstream(file) << "0 key A down\n";
    EXPECT_FALSE(Parse({"--headless", "--input", file}, &e));
    EXPECT_EQ(e, file + ": line 1: pass must be a number from 1 (0 after a session line)");
    std::remove(file.c_str());
}

TEST(CommandLine, NoOutputWritesOverAnInputOrAnotherOutput) {
    const std::string dir = ::testing::TempDir();
    const std::string script = dir + "velmora-same-file.txt";
    std::ofstream(script) << "1 key A down\n";
    std::string e;
    // The script under another name: through "..", and relative to nothing but the folder.
    const std::string roundabout = dir + "sub/../velmora-same-file.txt";
    std::filesystem::create_directories(dir + "sub");
    EXPECT_FALSE(Parse({"--headless", "--input", script, "--trace", roundabout}, &e));
    EXPECT_EQ(e, "--trace would write over the file of --input");
    EXPECT_FALSE(Parse({"--headless", "--input", script, "--shot", "3:" + script}, &e));
    EXPECT_EQ(e, "--shot 3 would write over the file of --input");
    // Two frames into one picture keep only the last.
    const std::string png = dir + "velmora-same-shot.png";
    EXPECT_FALSE(Parse({"--headless", "--shot", "2:" + png, "--shot", "5:" + png}, &e));
    EXPECT_EQ(e, "--shot 5 would write over the file of --shot 2");
    EXPECT_FALSE(Parse({"--headless", "--trace", png, "--shot", "5:" + png}, &e));
    EXPECT_EQ(e, "--shot 5 would write over the file of --trace");
    // Different files are fine, and so is a script that is only read.
    EXPECT_TRUE(Parse({"--headless", "--input", script, "--trace", dir + "velmora-same.vtr",
                       "--shot", "2:" + png},
                      &e))
        << e;
    std::remove(script.c_str());
    std::filesystem::remove(dir + "sub");
}

TEST(InputScript, WordsAndAByteOrderMarkAreReadAsWritten) {
    std::istringstream in(
        "\xEF\xBB\xBF"
        "1 KEY Left DOWN NoType\n2 Key left Up\n3 CLICK\n4 Mouse 3 4\n"
        "5 Type aB\n");
    std::string error;
    auto events = ParseInputScript(in, error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 5u);
    EXPECT_EQ(FormatScriptEvent((*events)[0]), "1 key LEFT down notype");
    EXPECT_EQ(FormatScriptEvent((*events)[1]), "2 key LEFT up");
    EXPECT_EQ((*events)[2].kind, ScriptEvent::Kind::Click);
    EXPECT_EQ((*events)[3].x, 3);
    // Typed text keeps its case: it is what the keys type.
    EXPECT_EQ((*events)[4].text, "aB");
    std::istringstream bare("7\n");
    EXPECT_FALSE(ParseInputScript(bare, error));
    EXPECT_EQ(error, "line 1: no event after the pass (key, type, mouse, click or time)");
}

TEST(InputScript, KeyNamesAreReadInAnyCase) {
    std::istringstream in(
        "1 key Left down\n2 key esc down\n3 key f2 up\n4 key a down\n"
        "5 key BackSpace down\n");
    std::string error;
    auto events = ParseInputScript(in, error);
    ASSERT_TRUE(events) << error;
    ASSERT_EQ(events->size(), 5u);
    EXPECT_EQ((*events)[0].key, vk::LEFT);
    EXPECT_EQ((*events)[1].key, vk::ESCAPE);
    EXPECT_EQ((*events)[2].key, vk::F2);
    EXPECT_EQ((*events)[3].key, 'A');
    EXPECT_EQ((*events)[4].key, vk::BACK);
    // Written back, names are in the one spelling.
    EXPECT_EQ(FormatScriptEvent((*events)[0]), "1 key LEFT down");
    std::istringstream bad("1 key Home down\n");
    EXPECT_FALSE(ParseInputScript(bad, error));
    EXPECT_NE(error.find("unknown key 'Home'"), std::string::npos) << error;
    EXPECT_NE(error.find("LEFT RIGHT UP DOWN"), std::string::npos) << error;
    EXPECT_NE(error.find("F1-F12"), std::string::npos) << error;
}

TEST(InputScript, BadLinesNameTheirLine) {
    const char* bad[] = {"x key A down",       "0 key A down",
                         "3 key HOME down",    "3 key A sideways",
                         "3 mouse 4",          "3 type",
                         "3 type {F5}",        "3 jump",
                         "3 click now",        "3 key A up notype",
                         "3 key A down quiet", "3 type   "};
    for (const char* line : bad) {
        std::istringstream in(std::string("1 click\n") + line + "\n");
        std::string error;
        EXPECT_FALSE(ParseInputScript(in, error)) << line;
        EXPECT_EQ(error.rfind("line 2: ", 0), 0u) << error;
    }
}

}  // namespace
