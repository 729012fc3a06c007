// Edits of a panel.cfg that insert, delete or replace whole lines and keep every other byte:
// the encoding, each line's own line end, a missing final line end, comments, spacing and case.
// Planning an install or uninstall of our two gauges into one panel.cfg.
#pragma once

#include <string>
#include <vector>

#include "gauge_lines.h"
#include "panel_document.h"

namespace panelcfg {

// Whole-line edits against a document's line indices, applied together.
class LineEdits {
public:
    explicit LineEdits(const Document &document) : document_(document) {}
    // Several insertions after one line keep the order they were made in. An insertion after a
    // last line without a line end gives that line the new line's end and leaves the new last
    // line without one, so the file still has no final line end.
    void insert_after(int line, std::string text);
    void remove(int line);
    // The line's text replaced; its line end stays.
    void replace(int line, std::string text);
    // The new bytes. A new line takes the line end of the line it follows, or the file's usual
    // one after a last line without one. Removing the last line of a file without a final line
    // end takes the line end off the line that becomes last.
    std::string apply() const;

private:
    enum class EditKind { insert_after, remove, replace };
    struct Edit {
        int line;
        EditKind kind;
        std::string text;
    };
    const Document &document_;
    std::vector<Edit> edits_;  // in the order they were made
};

enum class Where { both, window, vcockpit };

struct InstallRequest {
    Where where = Where::both;  // both: [Window00] and the lowest-numbered [VcockpitNN], each where it exists
    int x = 0, y = 0;           // where the cue's readout goes (--at)
};

enum class ChangeKind {
    add_line,           // a new gauge line
    fix_line,           // a line meaning our gauge, corrected in place
    remove_line,        // a line naming our module, taken out
    already_installed,  // the section already holds the right line: left alone
};

struct LineChange {
    ChangeKind kind;
    int gauge = -1;        // index in RELEASE_GAUGES
    std::string section;   // the section's name as written
    int line = 0;          // 1-based: in the new file for add_line and fix_line, in the old otherwise
    std::string old_text;  // fix_line, remove_line, already_installed: the line as it was, without its line end
    std::string new_text;  // add_line, fix_line: the line as written
    std::string why;       // fix_line: the problem it corrects, as gaugecheck words it
};

struct PanelEdit {
    std::string refused;  // why this panel cannot take the gauges; no changes then
    std::vector<LineChange> changes;
    // What a user should know that changes nothing, such as a [VcockpitNN] section passed over
    // because the simulator never creates it (its numbers start after a gap).
    std::vector<std::string> notes;
    std::string bytes;    // the new file: the old bytes when nothing changes
    bool changed() const;
};

// Both gauges into each chosen section: [Window00] and the lowest-numbered [VcockpitNN] (the
// first of a name that repeats; a virtual cockpit whose lowest number the simulator never
// creates, after a gap from 01, counts as absent, with a note). A line of our gauge that is
// already right is left alone, one that nearly is (a near-miss key, a wrong gauge name, a
// number taken twice) is fixed in place in any window, and a missing one goes right after the
// section's last gauge line, numbered one above the highest gauge number there. Refused: a
// panel without the chosen sections, a panel that hands the aircraft to another through an
// alias, no free gauge number.
PanelEdit plan_install(const Document &document, const InstallRequest &request);
// Every gauge line whose module part names one of our modules, near-miss keys included, taken
// out. Install then uninstall gives back a file that named none of our modules byte for byte.
PanelEdit plan_uninstall(const Document &document);

}  // namespace panelcfg
