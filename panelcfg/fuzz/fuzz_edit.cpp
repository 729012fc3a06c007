// libFuzzer target: an install and an uninstall planned on any bytes. The first three bytes
// choose the request (where, then x and y), the rest is the panel.cfg. The edits are checked
// by walking the lines of both files here, apart from the editor's own bookkeeping.
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <set>
#include <vector>

#include "panel_edit.h"
#include "text_diff.h"

using namespace panelcfg;

// A property that fails names itself, then aborts for libFuzzer to keep the input.
#define require(property) \
    ((property) ? (void)0 : (fprintf(stderr, "property failed: %s (line %d)\n", #property, __LINE__), abort()))

namespace {

struct PlainLine {
    std::string_view text, end;
};

// Lines end at CRLF, LF or a lone CR.
std::vector<PlainLine> split(std::string_view bytes)
{
    std::vector<PlainLine> lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t stop = start;
        while (stop < bytes.size() && bytes[stop] != '\r' && bytes[stop] != '\n')
            ++stop;
        size_t end = stop == bytes.size() ? 0 : (bytes.substr(stop, 2) == "\r\n" ? 2 : 1);
        lines.push_back({bytes.substr(start, stop - start), bytes.substr(stop, end)});
        start = stop + end;
    }
    return lines;
}

bool holds_our_line(std::string_view text)
{
    std::string lower = lower_ascii(text);
    return lower.find("vqt7_boomcue!vqt7_boomcue") != std::string::npos ||
           lower.find("vqt7_drag_drone!vqt7_drag_drone") != std::string::npos;
}

bool names_a_module(std::string_view text)
{
    std::string lower = lower_ascii(text);
    return lower.find("vqt7_boomcue") != std::string::npos || lower.find("vqt7_drag_drone") != std::string::npos;
}

// Whether `after` is `before` with lines added that hold a line of ours, and some of the
// lines `replaceable` marks replaced by such lines. Every other line keeps its bytes and its
// line end; only a last line without one may gain one. An alignment of the two line lists;
// the lines added are few, so only offsets from 0 to their count are tried.
bool only_added(std::string_view before, std::string_view after, const std::vector<bool> &replaceable)
{
    std::vector<PlainLine> old_lines = split(before), new_lines = split(after);
    size_t n = old_lines.size(), m = new_lines.size();
    if (m < n || replaceable.size() != n)
        return false;
    size_t added = m - n;
    // reach[i * (added + 1) + d]: the first i old lines account for the first i + d new ones.
    std::vector<bool> reach((n + 1) * (added + 1));
    reach[0] = true;
    for (size_t i = 0; i <= n; ++i)
        for (size_t d = 0; d <= added; ++d) {
            if (!reach[i * (added + 1) + d])
                continue;
            size_t j = i + d;
            if (j >= m)
                continue;
            const PlainLine &line = new_lines[j];
            if (d < added && holds_our_line(line.text))
                reach[i * (added + 1) + d + 1] = true;
            if (i == n)
                continue;
            bool same_end = old_lines[i].end == line.end || old_lines[i].end.empty();
            bool kept = old_lines[i].text == line.text;
            if (same_end && (kept || (replaceable[i] && holds_our_line(line.text))))
                reach[(i + 1) * (added + 1) + d] = true;
        }
    // A file without a final line end still has none, and one with it keeps it.
    if (n > 0 && m > 0 && old_lines.back().end.empty() != new_lines.back().end.empty())
        return false;
    return reach[n * (added + 1) + added];
}

// Whether `after` is `before` with some whole lines taken out, each one `removable` allows.
// Checked on bytes, since taking out a line between a lone CR and an empty LF line leaves
// CRLF, which reads as one line end. A file without a final line end keeps none: its new last
// line may lose its end.
bool only_removed(std::string_view before, std::string_view after, bool (*removable)(std::string_view))
{
    std::vector<PlainLine> lines = split(before);
    bool final_end = lines.empty() || !lines.back().end.empty();
    std::set<size_t> reach = {0};  // where in `after` the lines so far can have brought us
    for (const PlainLine &line : lines) {
        std::string_view whole(line.text.data(), line.text.size() + line.end.size());
        std::set<size_t> next;
        for (size_t at : reach) {
            if (removable(line.text))
                next.insert(at);
            if (after.substr(at, whole.size()) == whole)
                next.insert(at + whole.size());
            else if (!final_end && after.substr(at) == line.text)
                next.insert(after.size());
        }
        reach.swap(next);
    }
    return reach.count(after.size()) > 0;
}

// A line as a unified diff carries it: its bytes, and whether a line end follows them. The
// diff does not say which line end (CRLF, LF), so that is all it can be held to.
struct DiffLine {
    std::string_view text;
    bool ended;
    bool operator==(const DiffLine &other) const { return text == other.text && ended == other.ended; }
};

std::vector<DiffLine> diff_lines_of(std::string_view bytes)
{
    std::vector<DiffLine> lines;
    for (const PlainLine &line : split(bytes))
        lines.push_back({line.text, !line.end.empty()});
    return lines;
}

size_t number_at(std::string_view text, size_t &at)
{
    size_t value = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9')
        value = value * 10 + (size_t)(text[at++] - '0');
    return value;
}

// `diff` applied to `before` as patch applies it, every context and removed line checked
// against the line it stands for; false when a hunk does not fit.
bool apply_diff(std::string_view diff, const std::vector<DiffLine> &before, std::vector<DiffLine> &after)
{
    if (diff.empty()) {
        after = before;  // no change, no diff
        return true;
    }
    std::vector<std::string_view> rows;
    for (size_t start = 0; start < diff.size();) {
        size_t stop = diff.find('\n', start);
        if (stop == std::string_view::npos)
            return false;  // every row of a diff ends with "\n"
        rows.push_back(diff.substr(start, stop - start));
        start = stop + 1;
    }
    if (rows.size() < 2 || rows[0].substr(0, 4) != "--- " || rows[1].substr(0, 4) != "+++ ")
        return false;
    size_t old_at = 0;
    for (size_t row = 2; row < rows.size();) {
        // "@@ -s,c +t,d @@": s names the line before the hunk when c is 0.
        std::string_view head = rows[row++];
        size_t at = 4;
        if (head.substr(0, 4) != "@@ -")
            return false;
        size_t old_start = number_at(head, at);
        size_t old_count = head.substr(at, 1) == "," ? (++at, number_at(head, at)) : 1;
        if (head.substr(at, 2) != " +")
            return false;
        at += 2;
        size_t new_start = number_at(head, at);
        size_t new_count = head.substr(at, 1) == "," ? (++at, number_at(head, at)) : 1;
        if (head.substr(at) != " @@")
            return false;
        size_t first = old_count == 0 ? old_start : old_start - 1;
        if (old_count > 0 && old_start == 0)
            return false;
        if (first < old_at || first > before.size())
            return false;  // hunks in order, each after the last
        after.insert(after.end(), before.begin() + (long)old_at, before.begin() + (long)first);
        old_at = first;
        if (new_start != (new_count == 0 ? after.size() : after.size() + 1))
            return false;  // the new side's numbers say where the hunk lands
        size_t olds = 0, news = 0;
        while (row < rows.size() && rows[row].substr(0, 2) != "@@") {
            std::string_view line = rows[row++];
            bool ended = !(row < rows.size() && rows[row] == "\\ No newline at end of file");
            if (!ended)
                ++row;
            char mark = line.empty() ? '?' : line[0];
            DiffLine shown{line.substr(line.empty() ? 0 : 1), ended};
            if (mark == ' ' || mark == '-') {
                if (old_at >= before.size() || !(before[old_at] == shown))
                    return false;
                ++old_at, ++olds;
            } else if (mark != '+') {
                return false;
            }
            if (mark != '-')
                after.push_back(shown), ++news;
        }
        if (olds != old_count || news != new_count)
            return false;
    }
    after.insert(after.end(), before.begin() + (long)old_at, before.end());
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    InstallRequest request;
    request.where = (Where)(data[0] % 3);
    request.x = (int8_t)data[1];
    request.y = (int8_t)data[2];
    std::string input((const char *)data + 3, size - 3);
    Document document = read_document(input);

    // What the input holds that means our gauges, as the reader sees it.
    bool meant_ours = false;
    std::vector<bool> ours_at(document.lines.size());
    for (const GaugeLine &line : gauge_lines(document))
        if (line.verdict.ours || names_our_module(document.lines[(size_t)line.line].value))
            meant_ours = true, ours_at[(size_t)line.line] = true;

    PanelEdit installed = plan_install(document, request);
    if (!installed.refused.empty()) {
        require(installed.bytes == input && installed.changes.empty());
        return 0;
    }
    require(installed.changed() == (installed.bytes != input));
    // Only lines of our gauges added; only lines that already meant them replaced.
    require(only_added(input, installed.bytes, ours_at));

    // Installed once, the panel holds our lines as they should be: a second plan finds nothing to do.
    Document once = read_document(installed.bytes);
    PanelEdit again = plan_install(once, request);
    require(again.bytes == installed.bytes && !again.changed() && again.refused.empty());

    // Uninstall, of the input or of what the install made, takes out only lines naming our
    // modules and leaves no gauge line naming them; from a file that meant none of ours before
    // the install, it takes out exactly what the install added.
    for (const std::string *bytes : {&input, &installed.bytes}) {
        std::string uninstalled = plan_uninstall(read_document(*bytes)).bytes;
        require(only_removed(*bytes, uninstalled, names_a_module));
        Document left = read_document(uninstalled);
        for (const GaugeLine &line : gauge_lines(left))
            require(!names_our_module(left.lines[(size_t)line.line].value));
    }
    PanelEdit removed = plan_uninstall(once);
    if (!meant_ours)
        require(removed.bytes == input);

    // The diff shown before an install is the install: its hunks applied to the input give the
    // file the install writes, line for line.
    std::string diff = unified_diff(document, once, "a", "b");
    require(diff.empty() == (installed.bytes == input));
    std::vector<DiffLine> patched;
    require(apply_diff(diff, diff_lines_of(input), patched));
    require(patched == diff_lines_of(installed.bytes));
    return 0;
}
