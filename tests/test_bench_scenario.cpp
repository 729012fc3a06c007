// The bench's scenario parser: what each line form yields, and the message a bad line gets.
#include "scenario.h"
#include "test_support.h"

using namespace bench;
using test_support::bits_of;

namespace {

TEST(BenchScenario, ParsesEveryLineForm)
{
    const char *text =
        "# comment line\n"
        "\n"
        "instances VQT7_Boomcue 2   # trailing comment\n"
        "at 0 870=0x2400\n"
        "at 0.5   326=9000 61=150.5\n"
        "at 0.5 7=-2.5e1 8=0XFFFFFFFFFFFFFFFF\n"
        "  end 3\n";
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parse_scenario(text, "s.txt", scenario, error)) << error;
    ASSERT_EQ(scenario.instances.size(), 1u);
    EXPECT_EQ(scenario.instances[0].gauge, "VQT7_Boomcue");
    EXPECT_EQ(scenario.instances[0].count, 2);
    EXPECT_EQ(scenario.end_time, 3.0);
    EXPECT_EQ(scenario.end_line, 7);
    ASSERT_EQ(scenario.events.size(), 3u);
    EXPECT_EQ(scenario.events[0].line, 4);

    struct Expected {
        size_t event;
        size_t index;
        uint32_t token;
        bool is_integer;
        uint64_t bits;
    };
    const Expected rows[] = {
        {0, 0, 870, true, 0x2400},  // BCD 124.00 held as an integer
        {1, 0, 326, false, bits_of(9000.0)},
        {1, 1, 61, false, bits_of(150.5)},
        {2, 0, 7, false, bits_of(-25.0)},
        {2, 1, 8, true, 0xFFFFFFFFFFFFFFFFull},
    };
    for (const Expected &row : rows) {
        SCOPED_TRACE("event " + std::to_string(row.event) + " setting " + std::to_string(row.index));
        ASSERT_LT(row.index, scenario.events[row.event].settings.size());
        const VarSetting &setting = scenario.events[row.event].settings[row.index];
        EXPECT_EQ(setting.token, row.token);
        EXPECT_EQ(setting.is_integer, row.is_integer);
        EXPECT_EQ(setting.bits, row.bits);
    }
    EXPECT_EQ(scenario.events[1].time, 0.5);
}

TEST(BenchScenario, EndDefaultsToOneSecondAfterTheLastEvent)
{
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parse_scenario("at 2.5 1=1\n", "s", scenario, error)) << error;
    EXPECT_EQ(scenario.end_time, 3.5);
    ASSERT_TRUE(parse_scenario("# nothing\n", "s", scenario, error)) << error;
    EXPECT_EQ(scenario.end_time, 1.0);
}

TEST(BenchScenario, BadLinesNameTheLineAndWhatWasExpected)
{
    struct Case {
        const char *text;
        const char *message;  // the whole error, file and line included
    };
    const Case cases[] = {
        {"at\n", "f:1: expected a time in seconds (0 to 3600) after 'at'"},
        {"at soon 1=2\n", "f:1: expected a time in seconds (0 to 3600) after 'at', got 'soon'"},
        {"at -1 1=2\n", "f:1: expected a time in seconds (0 to 3600) after 'at', got '-1'"},
        {"at nan 1=2\n", "f:1: expected a time in seconds (0 to 3600) after 'at', got 'nan'"},
        {"at 1\n", "f:1: expected TOKEN=VALUE after the time"},
        {"\nat 1 870\n", "f:2: expected TOKEN=VALUE, got '870'"},
        {"at 1 x=2\n", "f:1: expected a token number before '=', got 'x=2'"},
        {"at 1 =2\n", "f:1: expected a token number before '=', got '=2'"},
        {"at 1 4294967296=2\n", "f:1: expected a token number before '=', got '4294967296=2'"},
        {"at 1 870=0x\n", "f:1: expected a decimal or 0x-hex value after '870=', got '0x'"},
        {"at 1 870=0x24G0\n", "f:1: expected a decimal or 0x-hex value after '870=', got '0x24G0'"},
        {"at 1 870=0x12345678123456789\n",
         "f:1: expected a decimal or 0x-hex value after '870=', got '0x12345678123456789'"},
        {"at 1 61=\n", "f:1: expected a decimal or 0x-hex value after '61=', got ''"},
        {"at 1 61=1e\n", "f:1: expected a decimal or 0x-hex value after '61=', got '1e'"},
        {"at 1 61=inf\n", "f:1: expected a decimal or 0x-hex value after '61=', got 'inf'"},
        {"at 1 61=1 61=2\n", "f:1: token 61 is set twice on one line"},
        {"at 2 1=1\nat 1 1=1\n", "f:2: expected a time at or after the previous event's 2 s: events go forward in time"},
        {"end\n", "f:1: expected one time in seconds (0 to 3600) after 'end'"},
        {"end 3601\n", "f:1: expected one time in seconds (0 to 3600) after 'end'"},
        {"end 1 2\n", "f:1: expected one time in seconds (0 to 3600) after 'end'"},
        {"end 5\nend 6\n", "f:2: a second 'end' line (the first is line 1)"},
        {"at 5 1=1\nend 5\n", "f:1: expected a time before the end at 5 s (line 2), got 5"},
        {"at 1 1=1\nat 3600 1=1\n",
         "f:2: expected a time before the implied end at 3600 s (1 s after the last event, at most 3600), got 3600"},
        {"instances VQT7_Boomcue\n", "f:1: expected 'instances GAUGE COUNT' with a count from 1 to 16"},
        {"instances VQT7_Boomcue 0\n", "f:1: expected 'instances GAUGE COUNT' with a count from 1 to 16"},
        {"instances VQT7_Boomcue 17\n", "f:1: expected 'instances GAUGE COUNT' with a count from 1 to 16"},
        {"instances A 2\ninstances A 3\n", "f:2: instances of 'A' already given on line 1"},
        {"set 870=1\n", "f:1: expected 'at', 'end' or 'instances', got 'set'"},
    };
    for (const Case &row : cases) {
        Scenario scenario;
        std::string error;
        EXPECT_FALSE(parse_scenario(row.text, "f", scenario, error)) << row.text;
        EXPECT_EQ(error, row.message) << "scenario: " << row.text;
    }
}

TEST(BenchScenario, TimesMapToTheFirstCycleAtOrAfterThem)
{
    struct Case {
        double seconds;
        uint32_t cycle;
    };
    const Case cases[] = {
        {0, 0}, {1, 18}, {1.0 / 18, 1}, {0.001, 1}, {0.056, 2}, {0.055, 1}, {13, 234}, {2.5, 45},
    };
    for (const Case &row : cases)
        EXPECT_EQ(cycle_at_or_after(row.seconds), row.cycle) << row.seconds << " s";
    EXPECT_EQ(cycle_count(13), 234u) << "cycles 0..233, the kill at 13 s";
}

TEST(BenchScenario, BuiltInDemoParses)
{
    for (bool twice : {false, true}) {
        Scenario scenario;
        std::string error;
        ASSERT_TRUE(parse_scenario(demo_scenario(twice), "demo", scenario, error)) << error;
        EXPECT_EQ(scenario.instances.size(), twice ? 1u : 0u);
        EXPECT_EQ(scenario.end_time, 13.0);
        EXPECT_EQ(scenario.events.size(), 13u);
    }
}

// Files as editors on every system save them: a UTF-8 byte order mark, CR, LF or CRLF line
// ends; and what is not such a file, said as such.
TEST(BenchScenario, EncodingsAndLineEnds)
{
    struct Case {
        const char *name;
        std::string text;
        const char *error;  // empty: parses to events at 1 and 2 s and an end on line 3
    };
    const Case cases[] = {
        {"UTF-8 with a byte order mark", "\xEF\xBB\xBF" "at 1 870=0x2400\nat 2 1=1\nend 3\n", ""},
        {"CR only", "at 1 870=0x2400\rat 2 1=1\rend 3\r", ""},
        {"CRLF", "at 1 870=0x2400\r\nat 2 1=1\r\nend 3\r\n", ""},
        {"no line end at the end", "at 1 870=0x2400\nat 2 1=1\r\nend 3", ""},
        {"UTF-16 with a little-endian mark", std::string("\xFF\xFE" "a\0t\0", 6),
         "f: the file is UTF-16 little-endian text; save it as UTF-8"},
        {"UTF-16 with a big-endian mark", std::string("\xFE\xFF\0a\0t", 6),
         "f: the file is UTF-16 big-endian text; save it as UTF-8"},
        {"UTF-16 without a mark", std::string("a\0t\0 \0" "1\0", 8), "f: the file is UTF-16 little-endian text; save it as UTF-8"},
        {"NUL in a line", std::string("at 1 1=1\nat 2 1=\0" "2\n", 18), "f:2: a NUL byte in the line (is this a text file?)"},
        {"long bad word", "at 1 1=" + std::string(60, 'a') + "\n",
         "f:1: expected a decimal or 0x-hex value after '1=', got 'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa...'"},
        {"control characters in a bad word", "s\x1b[2Jet 1\n", "f:1: expected 'at', 'end' or 'instances', got 's\\x1B[2Jet'"},
    };
    for (const Case &row : cases) {
        SCOPED_TRACE(row.name);
        Scenario scenario;
        std::string error;
        bool parsed = parse_scenario(row.text, "f", scenario, error);
        EXPECT_EQ(error, row.error);
        if (*row.error) {
            EXPECT_FALSE(parsed);
            continue;
        }
        ASSERT_TRUE(parsed);
        ASSERT_EQ(scenario.events.size(), 2u);
        EXPECT_EQ(scenario.events[0].time, 1.0);
        EXPECT_EQ(scenario.events[0].settings.at(0).bits, 0x2400u);
        EXPECT_EQ(scenario.events[1].line, 2);
        EXPECT_EQ(scenario.end_line, 3);
        EXPECT_EQ(scenario.end_time, 3.0);
    }
}

// Each limit accepted where it is and refused one step past it.
TEST(BenchScenario, LimitsHoldAtTheEdge)
{
    struct Case {
        std::string text;
        bool accepted;
    };
    const Case cases[] = {
        {"instances A 16\n", true},
        {"instances A 17\n", false},
        {"end 3600\n", true},
        {"end 3600.001\n", false},
        {"at 3600 1=1\n", false},  // nothing can happen at the end itself
        {"at 3599.999 1=1\n", true},
        {"at 1 4294967295=1\n", true},
        {"at 1 4294967296=1\n", false},
        {"at 1 1=0xFFFFFFFFFFFFFFFF\n", true},
        {"at 1 1=0x10000000000000000\n", false},
    };
    for (const Case &row : cases) {
        Scenario scenario;
        std::string error;
        EXPECT_EQ(parse_scenario(row.text, "f", scenario, error), row.accepted) << row.text << error;
    }
    // An implied end keeps to the limit too.
    Scenario scenario;
    std::string error;
    ASSERT_TRUE(parse_scenario("at 3599.5 1=1\n", "f", scenario, error)) << error;
    EXPECT_EQ(scenario.end_time, 3600.0);
    EXPECT_EQ(cycle_count(scenario.end_time), 3600u * 18);
}

}  // namespace
