// A unified diff over lines (Myers' shortest edit script), for showing a planned edit. Equal
// lines at both ends are taken off first, so a large file with a few changes stays quick.
#include "text_diff.h"

#include <algorithm>
#include <vector>

namespace panelcfg {

namespace {

const int CONTEXT = 3;
// Past this many differences (or this much comparing) the middle is shown as all removed,
// then all added: still a correct diff, only not the shortest.
const int MOST_DIFFERENCES = 2000;
const long long MOST_STEPS = 50'000'000;

enum class Op : unsigned char { same, removed, added };

// A line with its line end, as the lines compare.
std::string_view whole_line(const Document &document, size_t line)
{
    const Line &at = document.lines[line];
    return std::string_view(document.bytes).substr(at.start, at.length + at.end_length);
}

// The edit script between a[a0, a0 + n) and b[b0, b0 + m); false when past the bounds above.
bool shortest_script(const Document &a, size_t a0, int n, const Document &b, size_t b0, int m, std::vector<Op> &script)
{
    auto same = [&](int x, int y) { return whole_line(a, a0 + (size_t)x) == whole_line(b, b0 + (size_t)y); };
    // trace[d][k + d]: the furthest x on diagonal k (x - y) after d differences.
    std::vector<std::vector<int>> trace;
    long long steps = 0;
    for (int d = 0; d <= n + m; ++d) {
        if (d > MOST_DIFFERENCES)
            return false;
        std::vector<int> furthest((size_t)(2 * d + 1));
        for (int k = -d; k <= d; k += 2) {
            int x;
            if (d == 0)
                x = 0;
            else {
                const std::vector<int> &before = trace.back();
                auto at = [&](int diagonal) { return before[(size_t)(diagonal + d - 1)]; };
                x = (k == -d || (k != d && at(k - 1) < at(k + 1))) ? at(k + 1) : at(k - 1) + 1;
            }
            int y = x - k;
            while (x < n && y < m && same(x, y))
                ++x, ++y, ++steps;
            furthest[(size_t)(k + d)] = x;
            if (x >= n && y >= m) {
                trace.push_back(std::move(furthest));
                // Back from the end: each difference, then the equal run that followed it.
                std::vector<Op> reversed;
                int cx = n, cy = m;
                for (int e = d; e > 0; --e) {
                    const std::vector<int> &before = trace[(size_t)(e - 1)];
                    auto at = [&](int diagonal) { return before[(size_t)(diagonal + e - 1)]; };
                    int ck = cx - cy;
                    bool down = ck == -e || (ck != e && at(ck - 1) < at(ck + 1));
                    int px = at(down ? ck + 1 : ck - 1), py = px - (down ? ck + 1 : ck - 1);
                    int mx = down ? px : px + 1;
                    while (cx > mx)
                        reversed.push_back(Op::same), --cx, --cy;
                    reversed.push_back(down ? Op::added : Op::removed);
                    cx = px, cy = py;
                }
                while (cx > 0)
                    reversed.push_back(Op::same), --cx;
                script.insert(script.end(), reversed.rbegin(), reversed.rend());
                return true;
            }
        }
        trace.push_back(std::move(furthest));
        steps += d;
        if (steps > MOST_STEPS)
            return false;
    }
    return false;
}

std::string range(size_t start, size_t count)
{
    // A hunk that holds no line of a side names the line before it.
    return std::to_string(count == 0 ? start : start + 1) + "," + std::to_string(count);
}

void put_line(std::string &out, char mark, const Document &document, size_t line)
{
    out += mark;
    out += document.text((int)line);
    out += '\n';
    if (document.lines[line].end_length == 0)
        out += "\\ No newline at end of file\n";
}

}  // namespace

std::string unified_diff(const Document &before, const Document &after, std::string_view old_name,
                         std::string_view new_name)
{
    if (before.bytes == after.bytes)
        return std::string();
    size_t n = before.lines.size(), m = after.lines.size();
    size_t head = 0, tail = 0;
    while (head < n && head < m && whole_line(before, head) == whole_line(after, head))
        ++head;
    while (tail < n - head && tail < m - head && whole_line(before, n - 1 - tail) == whole_line(after, m - 1 - tail))
        ++tail;

    std::vector<Op> script(head, Op::same);
    int middle_a = (int)(n - head - tail), middle_b = (int)(m - head - tail);
    if (!shortest_script(before, head, middle_a, after, head, middle_b, script)) {
        script.resize(head);
        script.insert(script.end(), (size_t)middle_a, Op::removed);
        script.insert(script.end(), (size_t)middle_b, Op::added);
    }
    script.insert(script.end(), tail, Op::same);

    std::string out = "--- " + std::string(old_name) + "\n+++ " + std::string(new_name) + "\n";
    std::vector<size_t> a_at(script.size() + 1), b_at(script.size() + 1);  // lines of each side before op i
    for (size_t i = 0; i < script.size(); ++i) {
        a_at[i + 1] = a_at[i] + (script[i] != Op::added);
        b_at[i + 1] = b_at[i] + (script[i] != Op::removed);
    }
    for (size_t i = 0; i < script.size();) {
        if (script[i] == Op::same) {
            ++i;
            continue;
        }
        // One hunk: changes whose equal runs between them are short enough to share context.
        size_t last = i;
        for (size_t j = i + 1; j < script.size() && j <= last + 2 * CONTEXT + 1; ++j)
            if (script[j] != Op::same)
                last = j;
        size_t start = i >= (size_t)CONTEXT ? i - CONTEXT : 0, stop = std::min(script.size(), last + 1 + CONTEXT);
        out += "@@ -" + range(a_at[start], a_at[stop] - a_at[start]) + " +" +
               range(b_at[start], b_at[stop] - b_at[start]) + " @@\n";
        for (size_t k = start; k < stop; ++k) {
            if (script[k] == Op::added)
                put_line(out, '+', after, b_at[k]);
            else
                put_line(out, script[k] == Op::same ? ' ' : '-', before, a_at[k]);
        }
        i = stop;
    }
    return out;
}

}  // namespace panelcfg
