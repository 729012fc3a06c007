// The panel files an aircraft hands to the simulator, read from in-memory trees shaped as the
// field's aircraft are: ANSI folder names, aliases, VirtualStore copies, names in any case.
#include <gtest/gtest.h>

#include "memory_files.h"
#include "panel_check.h"
#include "sim_reading.h"

using namespace simreading;

namespace {

const std::string ROOT = "C:\\FS9\\Aircraft";
const std::string STORE = "C:\\Users\\pilot\\AppData\\Local\\VirtualStore\\FS9\\Aircraft";
const std::string PANEL = "[Window Titles]\r\nWindow00=Main Panel\r\n\r\n[Window00]\r\ngauge00=Cessna!Airspeed, 10,10\r\n";

std::string fltsim(const std::string &panel_line)
{
    return "[fltsim.0]\r\ntitle=Test Plane\r\n" + panel_line + "\r\n\r\n[General]\r\natc_type=CESSNA\r\n";
}

struct Case {
    const char *name;
    std::vector<std::pair<std::string, std::string>> files;  // path under ROOT, bytes
    std::vector<std::pair<std::string, std::string>> copies;  // VirtualStore: path under ROOT, bytes
    std::vector<std::string> panels;  // read_path of each panel the simulator reads, under ROOT or STORE
    std::string problem;              // a part of the aircraft's problem; empty for none
};

std::vector<Case> cases()
{
    return {
        {"plain panel folder", {{"Plane\\aircraft.cfg", fltsim("panel=")}, {"Plane\\panel\\panel.cfg", PANEL}}, {},
         {ROOT + "\\Plane\\panel\\panel.cfg"}, ""},
        // aircraft.cfg in code page 1252: "panel=Caf\xE9" names the folder "panel.Café".
        {"ANSI panel= folder",
         {{"Plane\\aircraft.cfg", fltsim("panel=Caf\xE9")}, {"Plane\\panel.Caf\xC3\xA9\\panel.cfg", PANEL}}, {},
         {ROOT + "\\Plane\\panel.Caf\xC3\xA9\\panel.cfg"}, ""},
        {"ANSI alias target",
         {{"Plane\\aircraft.cfg", fltsim("panel=")},
          {"Plane\\panel\\panel.cfg", "[fltsim]\r\nalias=Soci\xE9t\xE9\\panel\r\n"},
          {"Soci\xC3\xA9t\xC3\xA9\\panel\\PANEL.CFG", PANEL}},
         {},
         {ROOT + "\\Soci\xC3\xA9t\xC3\xA9\\panel\\PANEL.CFG"},
         ""},
        {"names in another case",
         {{"Plane\\AIRCRAFT.CFG", fltsim("panel=2d")}, {"Plane\\Panel.2D\\Panel.Cfg", PANEL}}, {},
         {ROOT + "\\Plane\\panel.2d\\Panel.Cfg"}, ""},  // the folder as panel= spells it
        {"VirtualStore copy read in place",
         {{"Plane\\aircraft.cfg", fltsim("panel=")}, {"Plane\\panel\\panel.cfg", "[fltsim]\r\nalias=Gone\\panel\r\n"}},
         {{"Plane\\panel\\panel.cfg", PANEL}},
         {STORE + "\\Plane\\panel\\panel.cfg"},
         ""},
        {"alias climbing out of Aircraft",
         {{"Plane\\aircraft.cfg", fltsim("panel=")}, {"Plane\\panel\\panel.cfg", "[fltsim]\r\nalias=..\\Other\\panel\r\n"}},
         {},
         {},
         "names no folder under"},
        {"alias loop",
         {{"Plane\\aircraft.cfg", fltsim("panel=")}, {"Plane\\panel\\panel.cfg", "[fltsim]\r\nalias=plane\\PANEL\r\n"}},
         {},
         {},
         "leads back to itself"},
        {"alias to nothing",
         {{"Plane\\aircraft.cfg", fltsim("panel=")}, {"Plane\\panel\\panel.cfg", "[fltsim]\r\nalias=Nowhere\\panel\r\n"}},
         {},
         {},
         "which does not exist"},
        {"chosen folder without panel.cfg", {{"Plane\\aircraft.cfg", fltsim("panel=VC")}, {"Plane\\panel\\panel.cfg", PANEL}},
         {}, {}, "has no panel.cfg the simulator reads"},
    };
}

TEST(PanelsOf, FindsTheFileTheSimulatorReads)
{
    for (const Case &c : cases()) {
        SCOPED_TRACE(c.name);
        MemoryFiles files;
        for (const auto &[path, bytes] : c.files)
            files.add_file(ROOT + "\\" + path, bytes);
        for (const auto &[path, bytes] : c.copies) {
            files.add_file(STORE + "\\" + path, bytes);
            files.add_copy(ROOT + "\\" + path, STORE + "\\" + path);
        }
        AircraftPanels panels = panels_of(files, ROOT, ROOT + "\\Plane");
        std::vector<std::string> read;
        for (const PanelFile &file : panels.panels)
            read.push_back(file.read_path);
        EXPECT_EQ(read, c.panels);
        if (c.problem.empty())
            EXPECT_EQ(panels.problem, "");
        else
            EXPECT_NE(panels.problem.find(c.problem), std::string::npos) << panels.problem;
    }
}

TEST(PanelsOf, StopsALongChainAtTheLimit)
{
    MemoryFiles files;
    files.add_file(ROOT + "\\P0\\aircraft.cfg", fltsim("panel="));
    for (int i = 0; i <= ALIAS_CHAIN_LIMIT; ++i)
        files.add_file(ROOT + "\\P" + std::to_string(i) + "\\panel\\panel.cfg",
                       "[fltsim]\r\nalias=P" + std::to_string(i + 1) + "\\panel\r\n");
    files.add_file(ROOT + "\\P" + std::to_string(ALIAS_CHAIN_LIMIT + 1) + "\\panel\\panel.cfg", PANEL);
    EXPECT_NE(panels_of(files, ROOT, ROOT + "\\P0").problem.find("longer than 32"), std::string::npos);
}

// Windows' VirtualStore copy is what the simulator reads: the checker judges the copy's lines,
// names the copy as the panel that loads the module, and warns of the file it stands in for.
TEST(CheckPanels, JudgesTheVirtualStoreCopyAndNamesIt)
{
    MemoryFiles files;
    files.add_file(ROOT + "\\Plane\\aircraft.cfg", fltsim("panel="));
    files.add_file(ROOT + "\\Plane\\panel\\panel.cfg", PANEL);
    std::string copy = STORE + "\\Plane\\panel\\panel.cfg";
    files.add_file(copy, std::string(PANEL) + "gauge01=VQT7_Boomcue!VQT7_Boomcue, 0, 0, 40, 40\r\n");
    files.add_copy(ROOT + "\\Plane\\panel\\panel.cfg", copy);
    Findings findings;
    std::vector<ModuleUse> uses = check_panels(files, "C:\\FS9", {}, findings);
    ASSERT_EQ(uses.size(), 1u);
    EXPECT_EQ(uses[0].gauge_name, "VQT7_Boomcue");
    EXPECT_EQ(uses[0].panel_cfg, copy);
    bool warned = false;
    for (const Finding &finding : findings.list)
        warned |= finding.status == Status::warning && finding.file == ROOT + "\\Plane\\panel\\panel.cfg" &&
                  finding.message.find(copy) != std::string::npos;
    EXPECT_TRUE(warned) << "no warning that the copy is read in place of the file";
}

}  // namespace
