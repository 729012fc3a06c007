// The report's core without Windows: what the collector keeps of a run's steps (loops cut where
// the library was told to stop them, one-shots with their timeline lines, the table folded as
// the text timeline folds), the thinning of a lane to its pixels, the markup's escaping, and the
// render streamed whole into the page.
#include <gtest/gtest.h>
#include <string.h>

#include <random>

#include "report_axis.h"
#include "report_markup.h"
#include "report_page.h"
#include "report_record.h"
#include "timeline_events.h"

using namespace bench;

namespace {

TEST(ReportCollector, LoopsAreCutWhereStoppedTerminatedOrAtTheEndAndOneShotsKeepTheirLines)
{
    ReportCollector collector;
    const char *brake = "sound\\QX\\Speed_Brake.wav", *cue = "sound\\QX\\Supersonic.wav";
    collector.add_step(0, {sound(0, "Drag", CallPhase::Update, SoundCall::Play,
        brake, "SPBR", SoundEffect::StartedLoop, {"SPBR"})});
    collector.add_step(1, {sound(1, "Drag", CallPhase::Update, SoundCall::Play,
        brake, "SPBR", SoundEffect::AlreadyPlaying, {"SPBR"})});
    collector.add_step(18, {sound(18, "VQT7_Boomcue", CallPhase::StringUpdate, SoundCall::Play,
        cue, "", SoundEffect::PlayedOnce, {"SPBR"})});
    collector.add_step(36, {sound(36, "Drag", CallPhase::Update, SoundCall::Stop,
        "", "SPBR", SoundEffect::Stopped)});
    collector.add_step(37, {sound(37, "Drag", CallPhase::Update, SoundCall::Stop,
        "", "SPBR", SoundEffect::NotPlaying)});
    collector.add_step(54, {sound(54, "Drag", CallPhase::Update, SoundCall::Play,
        brake, "SPBR", SoundEffect::StartedLoop, {"SPBR"})});
    TimelineEvent terminate = sound(72, "VQT7_Boomcue", CallPhase::Kill, SoundCall::Terminate,
        "", "", SoundEffect::Terminated);
    terminate.count = 1;
    collector.add_step(72, {terminate});
    collector.add_step(90, {sound(90, "Drag", CallPhase::Update, SoundCall::Play,
        brake, "SPBR", SoundEffect::StartedLoop, {"SPBR"})});
    collector.finish(6.0, 108);
    const ReportRecord &record = collector.record();

    // Lanes in the order they first sounded: the loop's name, then the unnamed one-shots.
    ASSERT_EQ(record.sounds.size(), 2u);
    EXPECT_EQ(record.sounds[0].name, "SPBR");
    EXPECT_EQ(record.sounds[1].name, "");
    const std::vector<LoopSpan> &loops = record.sounds[0].loops;
    struct Span {
        const char *name;
        double start, cut;
        const char *cut_line;  // empty: nothing cut it before the end
    };
    const Span expected[] = {
        {"stopped at 2 s", 0, 2, "   2.000     36  sound    Drag[1] update: stop(\"SPBR\") -> stopped; playing: none"},
        {"terminated at 4 s", 3, 4,
         "   4.000     72  sound    VQT7_Boomcue[1] kill: terminate() -> terminated 1; playing: none"},
        {"still playing at the end", 5, 6, ""},
    };
    ASSERT_EQ(loops.size(), 3u) << "repeated plays and stops that changed nothing draw nothing";
    for (size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].name);
        EXPECT_DOUBLE_EQ(loops[i].start.time, expected[i].start);
        EXPECT_DOUBLE_EQ(loops[i].cut.time, expected[i].cut);
        EXPECT_EQ(loops[i].cut.line, expected[i].cut_line);
        EXPECT_EQ(loops[i].start.label, "Speed_Brake.wav");
    }
    ASSERT_EQ(record.sounds[1].one_shots.size(), 1u);
    const ReportMark &shot = record.sounds[1].one_shots[0];
    EXPECT_EQ(shot.label, "Supersonic.wav");
    EXPECT_EQ(shot.cycle, 18u);
    EXPECT_EQ(shot.line, "   1.000     18  sound    VQT7_Boomcue[1] string update: "
                         "play(\"sound\\QX\\Supersonic.wav\", \"\", 0) -> played once; playing: SPBR");
}

TEST(ReportCollector, TableFoldsRepeatsAsTheTextTimelineDoes)
{
    ReportCollector collector;
    for (uint32_t cycle = 0; cycle < 5; ++cycle)
        collector.add_step(cycle, {sound(cycle, "G", CallPhase::Update, SoundCall::Stop,
            "", "SPBR", SoundEffect::NotPlaying)});
    collector.add_step(5, {at(EventKind::End, 5)});
    collector.finish(5 / 18.0, 5);
    const std::vector<TimelineRow> &table = collector.record().table;
    ASSERT_EQ(table.size(), 3u) << "the first call, the summary of the four after it, the end; no header";
    EXPECT_EQ(table[0].text(), "   0.000      0  sound    G[1] update: stop(\"SPBR\") -> not playing; playing: none");
    EXPECT_EQ(table[1].text(), "   0.222      4  sound    G[1] update: stop(\"SPBR\") -> not playing; playing: none"
                               "  [the same on every cycle to here: 4 more]");
    EXPECT_EQ(table[2].text().substr(0, 26), "   0.278      5  end      ");
    EXPECT_EQ(table[1].cycle, 4u);
    EXPECT_STREQ(table[1].event, "sound");
}

TEST(ReportCollector, FacesAtTextChangesOnlyWhileTwelveOrFewer)
{
    ReportCollector collector;
    for (uint32_t step = 1; step <= 13; ++step) {
        TimelineEvent text = at(EventKind::Text, step);
        text.gauge = "G";
        text.instance = 1;
        text.new_text = std::to_string(step);
        TimelineEvent second = text;
        second.instance = 2;
        collector.add_step(step, {text, second});
        SCOPED_TRACE("step " + std::to_string(step));
        EXPECT_EQ(collector.wants_text_face(), step <= 12);
        if (collector.wants_text_face())
            collector.add_text_face({1, 2, 3});
        collector.add_step(step, {});
        EXPECT_FALSE(collector.wants_text_face()) << "a step that changed no text";
    }
    EXPECT_TRUE(collector.record().too_many_text_faces);
    EXPECT_TRUE(collector.record().text_faces.empty()) << "past twelve, none is kept";
    ASSERT_EQ(collector.record().texts.size(), 2u);
    EXPECT_EQ(collector.record().texts[0].changes.size(), 13u) << "every text change stays on the axis";
}

// Random runs of changes: at most one entry a pixel column, in order, each with the lowest and
// highest value of the changes that fall in it and the last of them.
TEST(ReportThinning, NoMoreEntriesThanColumnsEachWithItsColumnsRange)
{
    std::mt19937 random(7);
    const int columns = 50;
    for (int round = 0; round < 200; ++round) {
        size_t count = random() % 400;
        double duration = 1 + random() % 100;
        std::vector<double> times, values;
        double time = 0;
        for (size_t i = 0; i < count; ++i) {
            time += (random() % 1000) / 1000.0 * duration / (count + 1) * 2;
            times.push_back(std::min(time, duration));
            values.push_back((double)(random() % 2001) - 1000);
        }
        std::vector<ColumnValue> thinned = thin_to_columns(times, values, duration, columns);
        ASSERT_LE(thinned.size(), (size_t)columns);
        size_t covered = 0;
        for (size_t k = 0; k < thinned.size(); ++k) {
            const ColumnValue &entry = thinned[k];
            if (k)
                ASSERT_GT(entry.column, thinned[k - 1].column);
            double low = 1e9, high = -1e9;
            size_t last = 0, in_column = 0;
            for (size_t i = 0; i < count; ++i) {
                int column = std::min((int)(times[i] / duration * columns), columns - 1);
                if (column == entry.column) {
                    low = std::min(low, values[i]), high = std::max(high, values[i]), last = i, ++in_column;
                }
            }
            ASSERT_EQ(entry.low, low);
            ASSERT_EQ(entry.high, high);
            ASSERT_EQ(entry.last, last);
            ASSERT_EQ(entry.changes, in_column);
            covered += in_column;
        }
        ASSERT_EQ(covered, count) << "every change falls in some entry";
    }
}

TEST(ReportMarkup, ValuesAndTextAsThePageShowsThem)
{
    struct Row {
        const char *name;
        std::string in, out;
    };
    const Row texts[] = {
        {"markup", "</title><script>alert('x')</script>", "&lt;/title&gt;&lt;script&gt;alert(&#39;x&#39;)&lt;/script&gt;"},
        {"attribute quotes and ampersand", "a\"b&c", "a&quot;b&amp;c"},
        {"UTF-8 kept", "124.00 \xC3\xA9\xE2\x82\xAC\xF0\x9F\x9B\xA9", "124.00 \xC3\xA9\xE2\x82\xAC\xF0\x9F\x9B\xA9"},
        {"stray continuation byte", "a\x80z", "a\xEF\xBF\xBDz"},
        {"overlong slash", "\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"surrogate", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"cut sequence at the end", "x\xE2\x82", "x\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"control characters", std::string("\x01\t\x7F\0", 4), "\\x01\\x09\\x7F\\x00"},
        {"line break of a tooltip", "one\ntwo", "one&#10;two"},
    };
    for (const Row &row : texts)
        EXPECT_EQ(html_text(row.in), row.out) << row.name;

    const Row base64_rows[] = {{"empty", "", ""},         {"one", "f", "Zg=="},        {"two", "fo", "Zm8="},
                               {"three", "foo", "Zm9v"},  {"four", "foob", "Zm9vYg=="}, {"five", "fooba", "Zm9vYmE="},
                               {"six", "foobar", "Zm9vYmFy"}, {"high bytes", "\xFF\xFE\xFD", "//79"}};
    for (const Row &row : base64_rows)
        EXPECT_EQ(base64((const uint8_t *)row.in.data(), row.in.size()), row.out) << row.name;

    struct Frequency {
        uint64_t bits;
        const char *shown;  // as the readout's "1%d%d.%d%d" of the four BCD digits
    };
    const Frequency frequencies[] = {{0x2400, "124.00"}, {0x1800, "118.00"}, {0x2405, "124.05"}, {0x0000, "100.00"},
                                     {0x3697, "136.97"}, {0x24A0, ""},       {0xF000, ""},       {0x12400, ""}};
    for (const Frequency &row : frequencies)
        EXPECT_EQ(bcd_frequency_text(row.bits), row.shown) << std::hex << row.bits;
}

// The test's own decoder: the page's data: address must give back the render byte for byte.
std::string from_base64(const std::string &text)
{
    std::string out;
    uint32_t bits = 0;
    int held = 0;
    for (char c : text) {
        const char *digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char *found = strchr(digits, c);
        if (c == '=' || !found || !c)
            break;
        bits = bits << 6 | (uint32_t)(found - digits);
        if ((held += 6) >= 8)
            out += (char)(bits >> (held -= 8) & 0xFF);
    }
    return out;
}

TEST(ReportPage, RenderStreamedWholeInOddPiecesAndNoScriptWithoutIt)
{
    ReportCollector collector;
    collector.add_step(0, {at(EventKind::Start, 0)});
    collector.finish(1, 18);
    std::string render;
    for (size_t i = 0; i < 200003; ++i)
        render += (char)(i * 7919 >> 3);
    size_t offered = 0;
    ReportAudio audio;
    audio.seconds = 1;
    audio.read = [&](uint8_t *buffer, size_t size, size_t &got) {
        got = std::min<size_t>({size, 7, render.size() - offered});
        memcpy(buffer, render.data() + offered, got);
        offered += got;
        return true;
    };
    std::string page;
    PageSink sink = [&](const char *bytes, size_t size) { return page.append(bytes, size), true; };
    ASSERT_TRUE(write_report_page(collector.record(), &audio, sink));
    const std::string lead = "<audio id=\"render\" controls preload=\"auto\" src=\"data:audio/wav;base64,";
    size_t start = page.find(lead);
    ASSERT_NE(start, std::string::npos);
    start += lead.size();
    std::string encoded = page.substr(start, page.find('"', start) - start);
    EXPECT_EQ(encoded.size() % 4, 0u);
    EXPECT_TRUE(from_base64(encoded) == render) << "the render, byte for byte";
    EXPECT_NE(page.find("<line id=\"cursor\""), std::string::npos);
    EXPECT_NE(page.find("<script>"), std::string::npos);

    std::string silent;
    PageSink silent_sink = [&](const char *bytes, size_t size) { return silent.append(bytes, size), true; };
    ASSERT_TRUE(write_report_page(collector.record(), 0, silent_sink));
    EXPECT_EQ(silent.find("<audio"), std::string::npos);
    EXPECT_EQ(silent.find("<script"), std::string::npos) << "without a render the page needs no script";
    EXPECT_EQ(silent.find("id=\"cursor\""), std::string::npos);

    // A sink that fails (a full disk) ends the writing with false.
    int calls = 0;
    PageSink full = [&](const char *, size_t) { return ++calls > 1 ? false : true; };
    offered = 0;
    EXPECT_FALSE(write_report_page(collector.record(), &audio, full));
}

}  // namespace
