// Reading panel.cfg and aircraft.cfg files as the simulator does: each kind of line, the gauge
// keys, windows and values, the text check and the panel folders an aircraft.cfg chooses. The
// files are our own, in the shapes real panels have.
#include <gtest/gtest.h>

#include "aircraft_cfg.h"
#include "gauge_lines.h"
#include "panel_document.h"
#include "test_panels.h"

using namespace panelcfg;

namespace {

TEST(Reading, EachLineOfARealisticPanel)
{
    Document document = read_document(TWIN_PANEL);
    ASSERT_EQ(document.lines.size(), 43u);
    std::vector<std::string> names;
    for (const Section &section : document.sections)
        names.push_back(section.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Window Titles", "VIEWS", "Window00", "Window01", "VCockpit01",
                                               "Vcockpit06"}));
    EXPECT_EQ(document.sections[2].header, 14);
    EXPECT_EQ(document.sections[2].end, 33);
    EXPECT_EQ(document.sections[5].end, 43);

    struct Row {
        int line;
        LineKind kind;
        int section;
        const char *key, *value;
    } rows[] = {
        {0, LineKind::comment, -1, "", ""},
        {2, LineKind::comment, -1, "", ""},
        {3, LineKind::entry, -1, "panel_version", "2"},
        {7, LineKind::entry, 0, "Window07", "100"},
        {8, LineKind::blank, 0, "", ""},
        {10, LineKind::comment, 0, "", ""},
        {16, LineKind::entry, 2, "size_mm", "1280"},
        {21, LineKind::entry, 2, "gauge01", "Cessna!Altimeter , 1036,  308 ,271"},
        {22, LineKind::entry, 2, "gauge02", "Cessna!Attitude,\t200,\t90,\t90,\t90"},
        {23, LineKind::entry, 2, "gauge03", "LVLD\\B767oh!OH_CPT, 0,0,,, ./path\\Sound.ini"},
        {28, LineKind::entry, 2, "gauge08", "Cessna!Text#1, 0, 0, 10, 10, a # note,"},
        {30, LineKind::entry, 2, "gauge13", "Cessna!Whiskey Compass, 300, 20"},
        {31, LineKind::text, 2, "", ""},
        {36, LineKind::section, 4, "", ""},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE("line " + std::to_string(row.line));
        const Line &line = document.lines[(size_t)row.line];
        EXPECT_EQ(line.kind, row.kind);
        EXPECT_EQ(line.section, row.section);
        EXPECT_EQ(line.key, row.key);
        EXPECT_EQ(line.value, row.value);
        EXPECT_EQ(document.line_end(row.line), "\r\n");
    }
    EXPECT_EQ(document.text(30), "gauge13=Cessna!Whiskey Compass, 300, 20 // wet compass  ");

    // Gauge lines only in window sections: not the [Window Titles] entries.
    std::vector<int> lines, numbers;
    for (const GaugeLine &gauge : gauge_lines(document)) {
        lines.push_back(gauge.line);
        numbers.push_back(gauge.key.number);
        EXPECT_FALSE(gauge.verdict.ours) << gauge.line;
    }
    EXPECT_EQ(lines, (std::vector<int>{20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 34, 39, 42}));
    EXPECT_EQ(numbers, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 97, 8, 9, 13, 0, 0, 0}));
    EXPECT_EQ(find_alias(document).line, -1);
}

TEST(Reading, LineEndsBomAndSectionHeaders)
{
    // CRLF, LF, a lone CR, a blank CR line, and a last line without an end.
    Document document = read_document("\xEF\xBB\xBF[ Window00 ] // main\r\nA=1\nB=2\r\rgauge00=x!y;c");
    ASSERT_EQ(document.lines.size(), 5u);
    std::vector<size_t> ends;
    for (const Line &line : document.lines)
        ends.push_back(line.end_length);
    EXPECT_EQ(ends, (std::vector<size_t>{2, 1, 1, 1, 0}));
    EXPECT_EQ(document.text(0), "\xEF\xBB\xBF[ Window00 ] // main");
    EXPECT_EQ(document.lines[0].kind, LineKind::section);
    EXPECT_EQ(document.sections[0].name, "Window00");
    EXPECT_EQ(document.lines[3].kind, LineKind::blank);
    EXPECT_EQ(document.lines[4].value, "x!y");
    EXPECT_EQ(document.find_section("WINDOW00"), 0);
    EXPECT_EQ(document.usual_line_end(), "\r");  // two lone CRs against one CRLF and one LF
    EXPECT_EQ(read_document("a\nb\r\n").usual_line_end(), "\n");  // a tie: the first seen
    EXPECT_EQ(read_document("no end").usual_line_end(), "\r\n");
    EXPECT_TRUE(read_document("").lines.empty());
}

TEST(Reading, GaugeKeys)
{
    struct Row {
        const char *key;
        KeyKind kind;
        int number;
    } rows[] = {
        {"gauge07", KeyKind::exact, 7},      {"GAUGE00", KeyKind::exact, 0},       {"Gauge9999", KeyKind::exact, 9999},
        {"gauge0", KeyKind::exact, 0},       {"guage07", KeyKind::near_miss, 7},   {"gauge 07", KeyKind::near_miss, 7},
        {"gage07", KeyKind::near_miss, 7},   {"Gauge_07", KeyKind::near_miss, 7},  {"gauges07", KeyKind::near_miss, 7},
        {"gauge-3", KeyKind::near_miss, 3},  {"gaueg12", KeyKind::near_miss, 12},  {"gauge", KeyKind::near_miss, -1},
        {"gauge00001", KeyKind::near_miss, -1}, {"image", KeyKind::none, -1},     {"range", KeyKind::none, -1},
        {"page07", KeyKind::none, -1},       {"size_mm", KeyKind::none, -1},       {"gauge07a", KeyKind::none, -1},
        {"g", KeyKind::none, -1},            {"07", KeyKind::none, -1},            {"", KeyKind::none, -1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string("key '") + row.key + "'");
        GaugeKey key = read_gauge_key(row.key);
        EXPECT_EQ(key.kind, row.kind);
        if (row.kind != KeyKind::none)
            EXPECT_EQ(key.number, row.number);
    }
}

TEST(Reading, WindowsAndGaugeValues)
{
    struct Window {
        const char *name;
        WindowKind kind;
        int number;
    } windows[] = {{"Window00", WindowKind::window, 0},   {"WINDOW12", WindowKind::window, 12},
                   {"Vcockpit06", WindowKind::vcockpit, 6}, {"VCockpit01", WindowKind::vcockpit, 1},
                   {"Window Titles", WindowKind::none, -1}, {"Window", WindowKind::none, -1},
                   {"Window00001", WindowKind::none, -1},   {"Windows00", WindowKind::none, -1}};
    for (const Window &row : windows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(window_of(row.name).kind, row.kind);
        EXPECT_EQ(window_of(row.name).number, row.number);
    }

    // gaugecheck's own words, which its README and tests quote.
    struct Value {
        const char *value;
        int gauge;
        const char *problem, *right;
    } values[] = {
        {"VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40", 0, "", "VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"},
        {"vqt7_drag_drone!VQT7_DRAG_DRONE, 0,0 ,1, 1", 1, "", "VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"VQT7_Drag_Drone!Drag_Drone, 0, 0, 1, 1", 1, "module VQT7_Drag_Drone holds no gauge named 'Drag_Drone'",
         "VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"VQT7_Boomcue, 10, 60", 0, "there is no '!' between the module and the gauge name",
         "VQT7_Boomcue!VQT7_Boomcue, 10, 60"},
        {"VQT7_Drag_Dron!VQT7_Drag_Drone, -5,7", 1, "there is no module named 'VQT7_Drag_Dron'",
         "VQT7_Drag_Drone!VQT7_Drag_Drone, -5, 7"},
        {"VQT7_Boomcue!VQT7_Boomcue", 0, "the gauge name must be followed by x, y[, width[, height]] in whole pixels",
         "VQT7_Boomcue!VQT7_Boomcue, X, Y"},
        {"VQT7_Boomcue!VQT7_Boomcue, 1, 2, 3, 4, 5", 0,
         "the gauge name must be followed by x, y[, width[, height]] in whole pixels", "VQT7_Boomcue!VQT7_Boomcue, X, Y"},
        {"Cessna!Airspeed, 10, 10", -1, "", ""},
        {"LVLD\\B767oh!OH_CPT, 0,0,,, ./path\\Sound.ini", -1, "", ""},
    };
    for (const Value &row : values) {
        SCOPED_TRACE(row.value);
        GaugeLineVerdict verdict = judge_gauge_value(row.value);
        EXPECT_EQ(verdict.ours, row.gauge >= 0);
        EXPECT_EQ(verdict.gauge, row.gauge);
        EXPECT_EQ(verdict.problem, row.problem);
        EXPECT_EQ(verdict.right_value, row.right);
    }

    // What an uninstall takes out: our module by name, after a folder, with or without ".gau".
    EXPECT_TRUE(names_our_module("LVLD\\vqt7_boomcue.GAU!VQT7_Boomcue, 0, 0"));
    EXPECT_TRUE(names_our_module("rcb/VQT7_Drag_Drone , 0, 0"));
    EXPECT_FALSE(names_our_module("VQT7_Drag_Dron!VQT7_Drag_Drone, 0, 0"));
    EXPECT_FALSE(names_our_module("Cessna!VQT7_Boomcue, 0, 0"));

    Alias alias = find_alias(read_document("[FLTSIM]\r\nAlias = \"Cessna_172/panel\" // the original\r\n"));
    EXPECT_EQ(alias.line, 1);
    EXPECT_EQ(alias.target, "Cessna_172\\panel");
}

TEST(Reading, TextCheck)
{
    struct Row {
        const char *name;
        std::string bytes;
        bool text;
        Encoding encoding;
    } rows[] = {
        {"ascii", "[Window00]\r\n", true, Encoding::utf8},
        {"empty", "", true, Encoding::utf8},
        {"bom", "\xEF\xBB\xBF[Window00]", true, Encoding::utf8_bom},
        {"utf-8 punctuation", "// \xC2\xA9 2004 \xE2\x80\x94 \xE2\x80\x98panel\xE2\x80\x99", true, Encoding::utf8},
        {"windows-1252", "// \xA9 2004", true, Encoding::ansi},
        {"overlong slash", "a\xC0\xAF", true, Encoding::ansi},
        {"surrogate", "\xED\xA0\x80", true, Encoding::ansi},
        {"cut short", "\xE2\x82", true, Encoding::ansi},
        {"utf-16", std::string("[\0W\0", 4), false, Encoding::ansi},
        {"too large", std::string(TEXT_LIMIT + 1, 'a'), false, Encoding::ansi},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        TextCheck check = check_text(row.bytes);
        EXPECT_EQ(check.text, row.text);
        EXPECT_EQ(check.reason.empty(), row.text);
        if (row.text)
            EXPECT_EQ(check.encoding, row.encoding);
    }
    EXPECT_EQ(check_text(std::string("a\0", 2)).reason,
              "it is not a text file (it holds zero bytes: binary, or saved as UTF-16)");
}

TEST(Reading, PanelFoldersAnAircraftChooses)
{
    struct Row {
        const char *name, *aircraft_cfg;
        std::vector<std::string> folders;  // "!" for a value refused
        std::vector<int> lines;
    } rows[] = {
        {"no aircraft.cfg", "", {"panel"}, {-1}},
        {"no variation", "[General]\nperformance=fast\n", {"panel"}, {-1}},
        {"no panel= entry", "[fltsim.0]\ntitle=Twin\n", {"panel"}, {-1}},
        {"every form",
         "[fltsim.0]\ntitle=Twin\npanel=\n\n[fltsim.1]\npanel=\"\"\n[FLTSIM.2]\nPanel = 2D // the 2D panel\n"
         "[fltsim.3]\npanel=\"IFR\"\n[fltsim.4]\npanel=2d\n[fltsim.5]\npanel=..\\Other\\panel\n[fltsim.6]\n"
         "panel=C:\\panel\n[fltsim]\npanel=Ignored\n",
         {"panel", "panel.2D", "panel.IFR", "!", "!"},
         {2, 7, 9, 13, 15}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> folders;
        std::vector<int> lines;
        for (const PanelChoice &choice : chosen_panel_folders(read_document(row.aircraft_cfg))) {
            folders.push_back(choice.problem.empty() ? choice.folder : "!");
            lines.push_back(choice.line);
            EXPECT_NE(choice.folder.empty(), choice.problem.empty()) << choice.folder;
        }
        EXPECT_EQ(folders, row.folders);
        EXPECT_EQ(lines, row.lines);
    }
}

}  // namespace
