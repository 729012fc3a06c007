// Install and uninstall plans and the whole-line edits under them: every byte not on a line
// they add, fix or take out stays as it was, in every line-end style and encoding; lines that
// mean our gauges wrongly are fixed where they are; refusals change nothing; the diff.
#include <gtest/gtest.h>

#include "panel_edit.h"
#include "test_panels.h"
#include "text_diff.h"

using namespace panelcfg;

namespace {

const char BOOMCUE_AT_ORIGIN[] = "VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40";
const char DRAG_DRONE[] = "VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1";

PanelEdit install(const std::string &bytes, InstallRequest request = {})
{
    return plan_install(read_document(bytes), request);
}
std::string uninstalled(const std::string &bytes) { return plan_uninstall(read_document(bytes)).bytes; }

// `text` with `added` put right after the first occurrence of `after`.
std::string with(std::string text, const std::string &after, const std::string &added)
{
    size_t at = text.find(after);
    EXPECT_NE(at, std::string::npos) << after;
    return at == std::string::npos ? text : text.insert(at + after.size(), added);
}

// The line-end styles a file uses, counted here rather than by the reader.
std::string line_end_styles(const std::string &bytes)
{
    bool crlf = false, lf = false, cr = false;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            crlf = true, ++i;
        else if (bytes[i] == '\r')
            cr = true;
        else if (bytes[i] == '\n')
            lf = true;
    }
    return std::string(crlf ? "crlf " : "") + (lf ? "lf " : "") + (cr ? "cr" : "");
}

TEST(Install, ExactBytesOnARealisticPanel)
{
    const std::string boomcue = "=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40\r\n", drag_drone = "=" + std::string(DRAG_DRONE);
    std::string expected = with(TWIN_PANEL, "gauge13=Cessna!Whiskey Compass, 300, 20 // wet compass  \r\n",
                                "gauge98" + boomcue + "gauge99" + drag_drone + "\r\n");
    expected = with(expected, "gauge00=Cessna!Radio, 0, 0, 512, 128\r\n",
                    "gauge01" + boomcue + "gauge02" + drag_drone + "\r\n");
    PanelEdit edit = install(TWIN_PANEL, {Where::both, 10, 60});
    EXPECT_EQ(edit.refused, "");
    EXPECT_EQ(edit.bytes, expected);
    ASSERT_EQ(edit.changes.size(), 4u);
    // Window00's two lines, then the virtual cockpit's, each at its line in the new file.
    int lines[] = {32, 33, 43, 44};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(edit.changes[i].kind, ChangeKind::add_line) << i;
        EXPECT_EQ(edit.changes[i].gauge, (int)i % 2) << i;
        EXPECT_EQ(edit.changes[i].line, lines[i]) << i;
        EXPECT_EQ(edit.changes[i].section, i < 2 ? "Window00" : "VCockpit01") << i;
    }
    EXPECT_EQ(edit.changes[3].new_text, "gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1");
    EXPECT_TRUE(edit.changed());
    EXPECT_EQ(uninstalled(edit.bytes), TWIN_PANEL);
}

TEST(Install, RoundTripsInEveryLineEndStyleAndEncoding)
{
    struct Row {
        const char *name;
        std::string panel;
    } rows[] = {
        {"crlf", "// \xA9 Test Works\r\n[Window00]\r\ngauge00=Cessna!Airspeed, 10, 10\r\n[Vcockpit01]\r\ngauge00=Cessna!Radio, 0, 0\r\n"},
        {"lf", "// Test\n[Window00]\ngauge00=Cessna!Airspeed, 10, 10\n\n[Vcockpit01]\ngauge00=Cessna!Radio, 0, 0\n"},
        {"cr", "// Test\r[Window00]\rgauge00=Cessna!Airspeed, 10, 10\r\r[Vcockpit01]\rgauge00=Cessna!Radio, 0, 0\r"},
        {"no final line end", "[Window00]\r\ngauge00=Cessna!Airspeed, 10, 10\r\n[Vcockpit01]\r\ngauge00=Cessna!Radio, 0, 0"},
        {"header last, no end", "[Window00]\ngauge00=Cessna!Airspeed, 10, 10\n[Vcockpit01]"},
        {"bom", "\xEF\xBB\xBF[Window00]\r\nfile=a.bmp\r\n[Vcockpit01]\r\n"},
        {"utf-8 punctuation", "// \xC2\xA9 Test \xE2\x80\x94 \xE2\x80\x98twin\xE2\x80\x99\n[WINDOW00]\nGauge00=X!Y, 1, 2\n"},
        {"tabs and trailing spaces", "[Window00]  \t\n\tgauge00\t=\tX!Y,\t1,\t2  \n  \n[VCockpit01] // vc\n"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PanelEdit once = install(row.panel);
        ASSERT_EQ(once.refused, "");
        ASSERT_TRUE(once.changed());
        EXPECT_EQ(install(once.bytes).bytes, once.bytes) << "installing twice";
        EXPECT_EQ(uninstalled(once.bytes), row.panel) << "install, then uninstall";
        EXPECT_EQ(line_end_styles(once.bytes), line_end_styles(row.panel));
        char last = row.panel.back();
        EXPECT_EQ(once.bytes.back() == '\n' || once.bytes.back() == '\r', last == '\n' || last == '\r');
        EXPECT_EQ(once.bytes.rfind("\xEF\xBB\xBF", 0) == 0, row.panel.rfind("\xEF\xBB\xBF", 0) == 0);
    }
    // Mixed line ends: a new line takes the end of the line it follows.
    EXPECT_EQ(install("[Window00]\r\ngauge00=X!Y, 1, 2\n[Vcockpit01]\rgauge00=X!Z, 1, 2\r\n").bytes,
              "[Window00]\r\ngauge00=X!Y, 1, 2\ngauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\n"
              "gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\n"
              "[Vcockpit01]\rgauge00=X!Z, 1, 2\r\ngauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\n"
              "gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n");
}

TEST(Install, LinesMeaningOurGaugesAreFixedInPlace)
{
    const std::string before = "[Window00]\r\ngauge00=Cessna!Airspeed, 10, 10\r\n";
    const std::string after = "\r\ngauge05=Cessna!Clock, 20, 20\r\n";
    const std::string vc = "[Vcockpit01]\r\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\n"
                           "gauge01=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\r\n";
    struct Row {
        const char *name, *line, *fixed, *added;
    } rows[] = {
        {"misspelt key", "guage07=VQT7_Boomcue!VQT7_Boomcue, 10, 60", "gauge07=VQT7_Boomcue!VQT7_Boomcue, 10, 60",
         "gauge08=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"space in key", "gauge 03=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1",
         "gauge03=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1", "gauge06=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"},
        {"underscore in key, comment kept", "Gauge_02=vqt7_boomcue!VQT7_BOOMCUE, 5, 5 ; note",
         "gauge02=VQT7_Boomcue!VQT7_Boomcue, 5, 5 ; note", "gauge06=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"key without a number", "gage=VQT7_Boomcue!VQT7_Boomcue, 1, 2", "gauge06=VQT7_Boomcue!VQT7_Boomcue, 1, 2",
         "gauge07=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"wrong gauge name", "gauge03=VQT7_Boomcue!Boomcue, 10, 60", "gauge03=VQT7_Boomcue!VQT7_Boomcue, 10, 60",
         "gauge06=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"no bang", "gauge03=VQT7_Boomcue, 10, 60", "gauge03=VQT7_Boomcue!VQT7_Boomcue, 10, 60",
         "gauge06=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"no placement: --at and the size", "gauge03=VQT7_Boomcue!VQT7_Boomcue",
         "gauge03=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40", "gauge06=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"bad placement", "gauge03=VQT7_Drag_Drone!VQT7_Drag_Drone, a, b",
         "gauge03=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1", "gauge06=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"},
        {"number taken twice", "gauge05=VQT7_Boomcue!VQT7_Boomcue, 10, 60", "gauge06=VQT7_Boomcue!VQT7_Boomcue, 10, 60",
         "gauge07=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1"},
        {"misspelt module, indent and spaces kept", "  gauge03=VQT7_Drag_Dron!VQT7_Drag_Drone, 0, 0, 1, 1  ",
         "  gauge03=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1  ", "gauge06=VQT7_Boomcue!VQT7_Boomcue, 10, 60, 40, 40"},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PanelEdit edit = install(before + row.line + after + vc, {Where::both, 10, 60});
        EXPECT_EQ(edit.bytes, before + row.fixed + after.substr(0, after.size() - 2) + "\r\n" + row.added + "\r\n" + vc);
        ASSERT_EQ(edit.changes.size(), 4u);
        EXPECT_EQ(edit.changes[0].kind, ChangeKind::fix_line);
        EXPECT_EQ(edit.changes[0].line, 3);
        EXPECT_EQ(edit.changes[0].old_text, row.line);
        EXPECT_NE(edit.changes[0].why, "");
        EXPECT_EQ(edit.changes[1].kind, ChangeKind::add_line);
        EXPECT_EQ(edit.changes[2].kind, ChangeKind::already_installed);
        EXPECT_EQ(edit.changes[3].kind, ChangeKind::already_installed);
        EXPECT_EQ(install(edit.bytes, {Where::both, 10, 60}).bytes, edit.bytes) << "installing twice";
    }
    // Fixed in any window, chosen or not: [Window01] gets no new line, only the fix.
    PanelEdit other = install("[Window00]\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 0, 0\n[Window01]\n"
                              "gauge00=VQT7_Drag_Drone!Drag_Drone, 0, 0\n",
                              {Where::window, 0, 0});
    EXPECT_EQ(other.bytes, "[Window00]\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 0, 0\ngauge01=" + std::string(DRAG_DRONE) +
                               "\n[Window01]\ngauge00=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0\n");
}

TEST(Install, RefusalsChangeNothing)
{
    struct Row {
        const char *name, *panel;
        Where where;
        const char *why_part;
        size_t notes;
    } rows[] = {
        {"alias", "[fltsim]\nalias=Other\\panel\n[Window00]\n", Where::both, "alias=Other\\panel", 0},
        {"no [Window00]", "[Window01]\ngauge00=A!B, 0, 0\n[Vcockpit01]\n", Where::window, "[Window00]", 0},
        {"no virtual cockpit", "[Window00]\n", Where::vcockpit, "[VcockpitNN]", 0},
        {"neither", "[Window Titles]\nWindow00=Main Panel\n", Where::both, "neither a [Window00] section nor", 0},
        {"virtual cockpit after a gap", "[Window00]\n[Vcockpit02]\n", Where::vcockpit, "[VcockpitNN]", 1},
        {"no number left", "[Window00]\ngauge9999=A!B, 0, 0\n", Where::both, "gauge9999", 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        PanelEdit edit = install(row.panel, {row.where, 0, 0});
        EXPECT_NE(edit.refused.find(row.why_part), std::string::npos) << edit.refused;
        EXPECT_TRUE(edit.changes.empty());
        EXPECT_EQ(edit.bytes, row.panel);
        EXPECT_EQ(edit.notes.size(), row.notes);
    }
    // Both asked for, the virtual cockpit never created: the 2D panel alone, with a note.
    PanelEdit edit = install("[Window00]\n[Vcockpit02]\n");
    EXPECT_EQ(edit.bytes, "[Window00]\ngauge00=" + std::string(BOOMCUE_AT_ORIGIN) + "\ngauge01=" + DRAG_DRONE +
                              "\n[Vcockpit02]\n");
    ASSERT_EQ(edit.notes.size(), 1u);
    EXPECT_NE(edit.notes[0].find("[Vcockpit02]"), std::string::npos);
}

TEST(Install, AlreadyInstalledIsLeftAlone)
{
    const std::string panel = "[Window00]\r\ngauge00=VQT7_Boomcue!VQT7_Boomcue, 10, 60\r\n"
                              "gauge01=vqt7_drag_drone!VQT7_Drag_Drone, 0, 0, 1, 1 // out of sight\r\n";
    PanelEdit edit = install(panel, {Where::window, 0, 0});
    EXPECT_FALSE(edit.changed());
    EXPECT_EQ(edit.bytes, panel);
    ASSERT_EQ(edit.changes.size(), 2u);
    EXPECT_EQ(edit.changes[1].kind, ChangeKind::already_installed);
    EXPECT_EQ(edit.changes[1].line, 3);
    EXPECT_EQ(edit.changes[1].old_text, "gauge01=vqt7_drag_drone!VQT7_Drag_Drone, 0, 0, 1, 1 // out of sight");
}

TEST(Uninstall, TakesOutEveryLineNamingOurModules)
{
    const std::string panel = "[Window00]\ngauge00=Cessna!Airspeed, 0, 0\ngauge01=LVLD\\vqt7_boomcue.gau!VQT7_Boomcue, 1, 1\n"
                              "guage02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\n"
                              "gauge03=VQT7_Drag_Dron!VQT7_Drag_Drone, 0, 0\n[Window Titles]\nWindow00=VQT7_Boomcue\n"
                              "[Vcockpit01]\ngauge00=VQT7_Boomcue\n";
    PanelEdit edit = plan_uninstall(read_document(panel));
    EXPECT_EQ(edit.bytes, "[Window00]\ngauge00=Cessna!Airspeed, 0, 0\ngauge03=VQT7_Drag_Dron!VQT7_Drag_Drone, 0, 0\n"
                          "[Window Titles]\nWindow00=VQT7_Boomcue\n[Vcockpit01]\n");
    ASSERT_EQ(edit.changes.size(), 3u);
    EXPECT_EQ(edit.changes[1].gauge, 1);
    EXPECT_EQ(edit.changes[1].line, 4);
    EXPECT_EQ(edit.changes[2].section, "Vcockpit01");
}

TEST(LineEdits, LineEndsAndTheByteOrderMark)
{
    Document document = read_document("\xEF\xBB\xBF" "a\r\nb\nc");
    LineEdits edits(document);
    edits.replace(0, "A");
    edits.insert_after(2, "d");
    edits.insert_after(2, "e");
    EXPECT_EQ(edits.apply(), "\xEF\xBB\xBF" "A\r\nb\nc\r\nd\r\ne");  // a tie of ends: the first, CRLF

    Document last = read_document("a\nb\nc");
    LineEdits removal(last);
    removal.remove(2);
    EXPECT_EQ(removal.apply(), "a\nb");
    LineEdits first(last);
    first.remove(0);
    first.insert_after(-1, "z");
    EXPECT_EQ(first.apply(), "z\nb\nc");
}

TEST(Diff, UnifiedHunks)
{
    Document before = read_document("[Window00]\r\ngauge00=Cessna!Airspeed, 10, 10\r\n[Vcockpit01]\r\ngauge00=Cessna!Radio, 0, 0");
    Document after = read_document(plan_install(before, {}).bytes);
    EXPECT_EQ(unified_diff(before, after, "a/panel.cfg", "b/panel.cfg"),
              "--- a/panel.cfg\n+++ b/panel.cfg\n@@ -1,4 +1,8 @@\n"
              " [Window00]\n gauge00=Cessna!Airspeed, 10, 10\n"
              "+gauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\n+gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\n"
              " [Vcockpit01]\n-gauge00=Cessna!Radio, 0, 0\n\\ No newline at end of file\n+gauge00=Cessna!Radio, 0, 0\n"
              "+gauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\n+gauge02=VQT7_Drag_Drone!VQT7_Drag_Drone, 0, 0, 1, 1\n"
              "\\ No newline at end of file\n");

    std::string lines, changed;
    for (int i = 1; i <= 20; ++i) {
        lines += "l" + std::to_string(i) + "\n";
        changed += (i == 3 ? "" : "l" + std::to_string(i) + "\n") + (i == 15 ? "x\n" : "");
    }
    EXPECT_EQ(unified_diff(read_document(lines), read_document(changed), "old", "new"),
              "--- old\n+++ new\n@@ -1,6 +1,5 @@\n l1\n l2\n-l3\n l4\n l5\n l6\n"
              "@@ -13,6 +12,7 @@\n l13\n l14\n l15\n+x\n l16\n l17\n l18\n");
    EXPECT_EQ(unified_diff(read_document(lines), read_document(lines), "old", "new"), "");
    EXPECT_EQ(unified_diff(read_document(""), read_document("a\n"), "old", "new"), "--- old\n+++ new\n@@ -0,0 +1,1 @@\n+a\n");
}

}  // namespace
