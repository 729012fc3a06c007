// Reading a panel.cfg or aircraft.cfg into lines over its own bytes: where each line starts and
// ends, and what the simulator makes of it (a section header, a key=value entry, a comment).
#include "panel_document.h"

#include <algorithm>
#include <array>

namespace panelcfg {

static constexpr std::string_view UTF8_BOM = "\xEF\xBB\xBF";

bool same_ascii(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = (char)(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = (char)(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

std::string lower_ascii(std::string_view text)
{
    std::string lower(text);
    for (char &c : lower)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return lower;
}

std::string_view trim(std::string_view text)
{
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string_view::npos)
        return std::string_view();
    size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(start, end - start + 1);
}

// Strict UTF-8, as Windows' MB_ERR_INVALID_CHARS takes it: no overlong forms, no surrogates,
// nothing past U+10FFFF.
static bool valid_utf8(std::string_view bytes)
{
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char lead = (unsigned char)bytes[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        unsigned char low = 0x80, high = 0xBF;  // the second byte's range
        if (lead >= 0xC2 && lead <= 0xDF)
            extra = 1;
        else if (lead >= 0xE0 && lead <= 0xEF) {
            extra = 2;
            if (lead == 0xE0)
                low = 0xA0;
            if (lead == 0xED)
                high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            extra = 3;
            if (lead == 0xF0)
                low = 0x90;
            if (lead == 0xF4)
                high = 0x8F;
        } else
            return false;
        if (bytes.size() - i <= extra)
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char next = (unsigned char)bytes[i + k];
            if (next < (k == 1 ? low : 0x80) || next > (k == 1 ? high : 0xBF))
                return false;
        }
        i += extra + 1;
    }
    return true;
}

TextCheck check_text(std::string_view bytes)
{
    TextCheck check;
    if (bytes.find('\0') != std::string_view::npos) {
        check.reason = "it is not a text file (it holds zero bytes: binary, or saved as UTF-16)";
        return check;
    }
    if (bytes.size() > TEXT_LIMIT) {
        check.reason = "it is larger than " + std::to_string(TEXT_LIMIT >> 20) + " MB, too large for a panel.cfg";
        return check;
    }
    check.text = true;
    bool bom = bytes.substr(0, 3) == UTF8_BOM;
    if (valid_utf8(bom ? bytes.substr(3) : bytes))
        check.encoding = bom ? Encoding::utf8_bom : Encoding::utf8;
    else
        check.encoding = Encoding::ansi;
    return check;
}

// What one line is, read after any byte-order mark. Comments are cut at the first "//" or
// ";" anywhere in the line, as gaugecheck has always cut them; a lone '/' starts none.
static void read_line(std::string_view content, Line &line)
{
    std::string_view whole = trim(content);
    if (whole.empty()) {
        line.kind = LineKind::blank;
        return;
    }
    std::string_view cut = whole.substr(0, std::min(whole.find("//"), whole.find(';')));
    cut = trim(cut);
    if (cut.empty()) {
        line.kind = LineKind::comment;
        return;
    }
    if (cut.front() == '[') {
        line.kind = LineKind::section;
        return;
    }
    size_t equals = cut.find('=');
    if (equals == std::string_view::npos) {
        line.kind = LineKind::text;
        return;
    }
    line.kind = LineKind::entry;
    line.key = std::string(trim(cut.substr(0, equals)));
    line.value = std::string(trim(cut.substr(equals + 1)));
}

// "[ Window00 ] // main" -> "Window00"; an unclosed "[Window00" names Window00 too.
static std::string section_name(std::string_view content)
{
    std::string_view cut = trim(content);
    cut = trim(cut.substr(0, std::min(cut.find("//"), cut.find(';'))));
    cut.remove_prefix(1);
    return std::string(trim(cut.substr(0, cut.find(']'))));
}

Document read_document(std::string bytes)
{
    Document document;
    document.bytes = std::move(bytes);
    std::string_view all = document.bytes;
    for (size_t start = 0; start < all.size();) {
        size_t stop = all.find_first_of("\r\n", start);
        Line line;
        line.start = start;
        if (stop == std::string_view::npos) {
            line.length = all.size() - start;
            line.end_length = 0;
        } else {
            line.length = stop - start;
            line.end_length = all[stop] == '\r' && stop + 1 < all.size() && all[stop + 1] == '\n' ? 2 : 1;
        }
        start += line.length + line.end_length;
        std::string_view content = all.substr(line.start, line.length);
        if (document.lines.empty() && content.substr(0, 3) == UTF8_BOM)
            content.remove_prefix(3);
        read_line(content, line);
        int index = (int)document.lines.size();
        if (line.kind == LineKind::section) {
            if (!document.sections.empty())
                document.sections.back().end = index;
            document.sections.push_back({section_name(content), index, index + 1});
        }
        line.section = (int)document.sections.size() - 1;
        document.lines.push_back(std::move(line));
    }
    if (!document.sections.empty())
        document.sections.back().end = (int)document.lines.size();
    return document;
}

int Document::find_section(std::string_view name) const
{
    for (size_t i = 0; i < sections.size(); ++i)
        if (same_ascii(sections[i].name, name))
            return (int)i;
    return -1;
}

std::string_view Document::text(int line) const
{
    const Line &at = lines[(size_t)line];
    return std::string_view(bytes).substr(at.start, at.length);
}

std::string_view Document::line_end(int line) const
{
    const Line &at = lines[(size_t)line];
    return std::string_view(bytes).substr(at.start + at.length, at.end_length);
}

std::string_view Document::usual_line_end() const
{
    static constexpr std::array<std::string_view, 3> ENDS = {"\r\n", "\n", "\r"};
    std::array<size_t, 3> count{}, first{};
    first.fill(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string_view end = line_end((int)i);
        for (size_t k = 0; k < ENDS.size(); ++k)
            if (end == ENDS[k]) {
                ++count[k];
                first[k] = std::min(first[k], i);
            }
    }
    size_t best = 0;
    for (size_t k = 1; k < ENDS.size(); ++k)
        if (count[k] > count[best] || (count[k] == count[best] && count[k] > 0 && first[k] < first[best]))
            best = k;
    return ENDS[best];
}

}  // namespace panelcfg
