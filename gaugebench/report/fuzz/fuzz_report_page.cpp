// Fuzz target: any run, with any bytes a gauge or a scenario can put in its names, paths and
// texts, gives a page that is valid UTF-8 in which every '<' opens one of the page's own tags and
// every '&' one of its own references, and whose variable lanes hold one mark for each pixel
// column that a change falls in, however many changes fall there.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "report_axis.h"
#include "report_page.h"
#include "report_record.h"

using namespace bench;

namespace {

struct Input {
    const uint8_t *data;
    size_t size, at = 0;
    bool more() const { return at < size; }
    uint8_t byte() { return at < size ? data[at++] : 0; }
    uint64_t bits()
    {
        uint64_t value = 0;
        for (int i = 0; i < 8; ++i)
            value = value << 8 | byte();
        return value;
    }
    std::string text()
    {
        size_t length = byte() % 24;
        std::string out;
        while (length-- && more())
            out += (char)byte();
        return out;
    }
};

// A property that fails names itself and where in the page, then aborts for libFuzzer to keep
// the input.
void fail(const char *what, const std::string &page, size_t at)
{
    fprintf(stderr, "property failed: %s, at byte %zu of the page\n", what, at);
    (void)page;
    abort();
}

bool valid_utf8(const std::string &s, size_t &bad)
{
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        size_t n = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
        if (!n || i + n > s.size() || (n == 2 && c < 0xC2)) {
            bad = i;
            return false;
        }
        uint32_t code = n == 1 ? c : c & (0x7F >> n);
        for (size_t k = 1; k < n; ++k) {
            if (((unsigned char)s[i + k] & 0xC0) != 0x80) {
                bad = i;
                return false;
            }
            code = code << 6 | (s[i + k] & 0x3F);
        }
        bool overlong_or_outside = (n == 3 && code < 0x800) || (n == 4 && (code < 0x10000 || code > 0x10FFFF));
        if (overlong_or_outside || (code >= 0xD800 && code <= 0xDFFF)) {
            bad = i;
            return false;
        }
        i += n;
    }
    return true;
}

// The pixel columns of the plot that the changes of each variable fall in, summed over them.
size_t variable_columns(const ReportRecord &record)
{
    size_t columns = 0;
    for (const VariableLane &lane : record.variables) {
        std::vector<bool> used(AXIS_PLOT_WIDTH);
        for (const VariableLane::Change &change : lane.changes) {
            size_t column = (size_t)(change.mark.time / record.duration * AXIS_PLOT_WIDTH);
            used[column < used.size() ? column : used.size() - 1] = true;
        }
        for (bool is_used : used)
            columns += is_used;
    }
    return columns;
}

void check_page(const std::string &page, size_t variable_columns)
{
    static const char *const TAGS[] = {"!DOCTYPE", "html", "head", "meta", "title", "style", "body", "h1", "h2", "h3",
                                       "section", "table", "thead", "tbody", "tr", "th", "td", "ul", "li", "p",
                                       "svg", "text", "rect", "line", "path", "circle", "g", "figure", "img",
                                       "figcaption"};
    static const char *const REFERENCES[] = {"&amp;", "&lt;", "&gt;", "&quot;", "&#39;", "&#10;"};
    size_t bad = 0;
    if (!valid_utf8(page, bad))
        fail("not UTF-8", page, bad);
    for (size_t at = 0; (at = page.find('<', at)) != std::string::npos; ++at) {
        size_t name = at + 1 + (page[at + 1] == '/');
        bool known = false;
        for (const char *tag : TAGS) {
            size_t length = strlen(tag);
            known = known || (page.compare(name, length, tag) == 0 && strchr(" >/", page[name + length]));
        }
        if (!known)
            fail("a '<' that opens no tag of the page", page, at);
    }
    for (size_t at = 0; (at = page.find('&', at)) != std::string::npos; ++at) {
        bool known = false;
        for (const char *reference : REFERENCES)
            known = known || page.compare(at, strlen(reference), reference) == 0;
        if (!known)
            fail("an '&' that is no reference of the page", page, at);
    }
    size_t marks = 0;
    for (size_t at = 0; (at = page.find("<circle", at)) != std::string::npos; ++at)
        ++marks;
    for (size_t at = 0; (at = page.find("<g class=\"value\"", at)) != std::string::npos; ++at)
        ++marks;
    if (marks != variable_columns)
        fail("not one variable mark for each pixel column a change falls in", page, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    Input input{data, size};
    ReportCollector collector;
    uint32_t cycle = 0;
    TimelineEvent start;
    start.kind = EventKind::Start;
    collector.add_step(0, {start});
    while (input.more()) {
        uint8_t op = input.byte();
        cycle += op & 0x80 ? input.byte() * 97u : input.byte() % 4u;
        TimelineEvent event;
        event.cycle = cycle;
        event.time = cycle / 18.0;
        event.kind = EventKind::Sound;
        event.gauge = input.text();
        event.instance = input.byte() % 17;
        event.phase = CallPhase::Update;
        switch (op % 8) {
        case 0:
        case 1:
            event.kind = EventKind::Set;
            event.settings.push_back({input.byte() % 6u, op % 8 == 1, input.bits(), input.text()});
            break;
        case 2:
            event.call = SoundCall::Play, event.effect = SoundEffect::PlayedOnce, event.path = input.text();
            break;
        case 3:
            event.call = SoundCall::Play, event.effect = SoundEffect::StartedLoop, event.name = input.text();
            event.path = input.text();
            break;
        case 4:
            event.call = SoundCall::Stop, event.name = input.text();
            event.effect = input.byte() & 1 ? SoundEffect::Stopped : SoundEffect::NotPlaying;
            break;
        case 5:
            event.call = SoundCall::Terminate, event.effect = SoundEffect::Terminated;
            break;
        case 6:
            event.call = SoundCall::Unload;
            break;
        case 7:
            event.kind = EventKind::Text;
            event.element = input.byte() % 3;
            event.old_text = input.text();
            event.new_text = input.text();
            break;
        }
        collector.add_step(cycle, {event});
    }
    TimelineEvent end;
    end.kind = EventKind::End;
    end.cycle = cycle + 1;
    end.time = end.cycle / 18.0;
    collector.add_step(cycle + 1, {end});
    collector.finish(end.time, cycle + 1);
    std::string page;
    PageSink sink = [&](const char *bytes, size_t length) { return page.append(bytes, length), true; };
    if (!write_report_page(collector.record(), 0, sink))
        abort();
    check_page(page, variable_columns(collector.record()));
    return 0;
}
