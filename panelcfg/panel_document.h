// A panel.cfg or aircraft.cfg read as the simulator reads it, over the file's own bytes. Every
// line keeps its bytes and its line end, so an edit that inserts or deletes whole lines leaves
// every other byte as it was. No Windows header: this builds natively too.
#pragma once

#include <stddef.h>

#include <string>
#include <string_view>
#include <vector>

namespace panelcfg {

// A panel.cfg is a few KB of text; a file past this is not one, and is not read whole.
inline constexpr size_t TEXT_LIMIT = 4u << 20;

enum class Encoding { utf8_bom, utf8, ansi };

// Whether bytes are a text file the simulator could read: no NUL byte (binary, or saved as
// UTF-16), at most TEXT_LIMIT bytes. `reason` says why not, for a user.
struct TextCheck {
    bool text = false;
    Encoding encoding = Encoding::ansi;  // UTF-8 (with or without a BOM) when every byte is valid UTF-8
    std::string reason;
};
TextCheck check_text(std::string_view bytes);

enum class LineKind {
    blank,    // nothing but spaces and tabs
    comment,  // starts, after spaces, with "//" or ";" (so ";//", ";/", "//[Color]", "// [VCockpit02]")
    section,  // "[Name]", perhaps with a comment after it
    entry,    // key=value
    text,     // anything else, such as a bare word left over from a wrapped comment
};

struct Line {
    size_t start = 0;       // offset of its first byte in Document::bytes
    size_t length = 0;      // its bytes before its line end
    size_t end_length = 0;  // 2 for CRLF, 1 for LF or a lone CR, 0 only for a last line without one
    LineKind kind = LineKind::blank;
    int section = -1;       // index in Document::sections; -1 for a line above every section
    std::string key;        // entry: trimmed of spaces and tabs
    std::string value;      // entry: cut at a "//" or ";" comment, then trimmed
};

struct Section {
    std::string name;  // as written, without the brackets and the spaces inside them
    int header = 0;    // index in Document::lines of its "[...]" line
    int end = 0;       // one past the index of its last line (the next header, or the line count)
};

struct Document {
    std::string bytes;  // the file, exactly as read
    std::vector<Line> lines;
    std::vector<Section> sections;  // in file order; a name may appear twice

    // The first section of that name, compared case-insensitively (ASCII); -1 when none.
    int find_section(std::string_view name) const;
    // A line's bytes without its line end, and its line end alone. A byte-order mark stays in
    // the first line's bytes; the line's kind, key and value are read after it.
    std::string_view text(int line) const;
    std::string_view line_end(int line) const;
    // The line end the file uses most ("\r\n" for a file with none; the first seen on a tie).
    std::string_view usual_line_end() const;
};

// Never fails: any bytes give lines. Lines end at CRLF, LF or a lone CR.
Document read_document(std::string bytes);

// ASCII case-insensitive equality, as the simulator compares section and key names.
bool same_ascii(std::string_view a, std::string_view b);
std::string lower_ascii(std::string_view text);
std::string_view trim(std::string_view text);  // spaces, tabs, CR and LF at both ends

}  // namespace panelcfg
