// The command line with names no file can have: refused with one line, never a crash.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/CommandLine.h"

namespace {

TEST(CommandLineLimits, NamesTooLongForAPathAreRefusedNotThrown) {
    const std::string longName(5000, 'a');
    for (const char* option : {"--desktop", "--input"}) {
        std::string error;
        std::optional<CommandLine> cl;
        ASSERT_NO_THROW(cl = ParseCommandLine({"--headless", option, longName}, error)) << option;
        EXPECT_FALSE(cl.has_value()) << option;
        EXPECT_EQ(error.find('\n'), std::string::npos);
        EXPECT_FALSE(error.empty());
    }
}

TEST(CommandLineLimits, ControlCharactersInAWrongOptionStayOnOneLine) {
    std::string error;
    EXPECT_FALSE(ParseCommandLine({"--bogus\nsecond line"}, error).has_value());
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    EXPECT_NE(error.find("--bogus"), std::string::npos) << error;
}

}  // namespace
