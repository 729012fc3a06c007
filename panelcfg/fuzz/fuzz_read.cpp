// libFuzzer target: any bytes read as a panel.cfg and as an aircraft.cfg. Reading never
// crashes or hangs, and the lines it finds cover the bytes exactly, end to end.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include "aircraft_cfg.h"
#include "gauge_lines.h"
#include "panel_document.h"

using namespace panelcfg;

// A property that fails names itself, then aborts for libFuzzer to keep the input.
#define require(property) \
    ((property) ? (void)0 : (fprintf(stderr, "property failed: %s (line %d)\n", #property, __LINE__), abort()))


extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string bytes((const char *)data, size);
    TextCheck check = check_text(bytes);
    require(check.text == check.reason.empty());
    require(check.text == (bytes.find('\0') == std::string::npos));

    Document document = read_document(bytes);
    size_t at = 0;
    for (size_t i = 0; i < document.lines.size(); ++i) {
        const Line &line = document.lines[i];
        require(line.start == at);
        at += line.length + line.end_length;
        std::string_view end = document.line_end((int)i);
        require(end == "\r\n" || end == "\n" || end == "\r" || (end.empty() && i + 1 == document.lines.size()));
        require(document.text((int)i).find_first_of("\r\n") == std::string_view::npos);
        require(line.section < (int)document.sections.size());
        (void)read_gauge_key(line.key);
        (void)judge_gauge_value(line.value);
        (void)names_our_module(line.value);
    }
    require(at == bytes.size());
    for (size_t s = 0; s < document.sections.size(); ++s) {
        const Section &section = document.sections[s];
        require(document.lines[(size_t)section.header].kind == LineKind::section);
        require(section.end > section.header && section.end <= (int)document.lines.size());
        require(document.find_section(section.name) <= (int)s);
        (void)window_of(section.name);
    }
    (void)document.usual_line_end();
    for (const GaugeLine &gauge : gauge_lines(document))
        require(gauge.key.kind != KeyKind::none && gauge.verdict.ours == (gauge.verdict.gauge >= 0));
    Alias alias = find_alias(document);
    require(alias.line < (int)document.lines.size());
    for (const PanelChoice &choice : chosen_panel_folders(document))
        require(choice.folder.empty() != choice.problem.empty());
    return 0;
}
