// The option table and its parser: each option's name, whether it takes a value, what the value
// is called in messages, and what it sets. Checks between options come after the table.
#include "options.h"

#include <math.h>
#include <stdlib.h>
#include <windows.h>

#include "toolbox.h"

namespace bench {

// How --scale's value is named in the help and in messages.
static const std::string SCALE_RANGE = "1 to " + std::to_string(MAX_SCALE);

const char *usage_text()
{
    static const std::string text =
        "usage: gaugebench [--scenario FILE] [options] MODULE.gau...\n"
        "Loads gauge modules into one stand-in host and runs them at 18 panel cycles a second of\n"
        "simulated time, then kills every gauge. Without --scenario it runs the built-in demo.\n"
        "  --scenario FILE       panel variables over time (see --print-demo for the format)\n"
        "  --json                write the timeline as JSON Lines\n"
        "  --every-call          list repeated calls that change nothing instead of folding them\n"
        "  --snapshot FILE.png   draw the gauge faces at the end of the run\n"
        "  --snapshot-at SECONDS draw them after the cycle at that time instead\n"
        "  --scale N             snapshot scale, " + SCALE_RANGE + " (default 1)\n"
        "  --audio FILE.wav      render what the sound library plays (22050 Hz, 16-bit mono)\n"
        "  --sounds DIR          the folder the gauges' sound paths are relative to\n"
        "  --report FILE.html    write one self-contained page of the run: its time axis, faces,\n"
        "                        the render to listen to (with --audio) and the timeline\n"
        "  --print-demo          print the built-in demo scenario and exit\n"
        "Outputs are written only when the run succeeds; an earlier file stays as it was otherwise.\n"
        "Exit codes: 0 done, 1 a module or file failed, 2 bad command line or scenario,\n"
        "3 a gauge called a host service the bench does not provide, 4 a gauge crashed or its\n"
        "module cannot be read safely, 70 the bench itself failed (an unexpected error), 130 stopped\n"
        "by Ctrl+C or its window closed.\n";
    return text.c_str();
}

// A plain number: strtod would also take "nan", "inf" and hex floats.
static bool parse_number(const std::string &text, double &value)
{
    char *end = 0;
    value = strtod(text.c_str(), &end);
    return !text.empty() && *end == 0 && isfinite(value) && text.find_first_of("xXnN") == std::string::npos;
}

// Each setter takes the option's value (empty for a flag) and returns false with a message.
typedef bool (*SetOption)(const std::string &value, Options &options, std::string &error);

struct OptionRow {
    const char *name;
    const char *value_name;  // null: a flag, which takes no value
    SetOption set;
};

static const std::string SCALE_VALUE = "a whole number from " + SCALE_RANGE;

static const OptionRow OPTION_TABLE[] = {
    {"--scenario", "a scenario file",
     [](const std::string &v, Options &o, std::string &) { o.scenario_path = v; return true; }},
    {"--json", 0, [](const std::string &, Options &o, std::string &) { return o.json = true; }},
    {"--every-call", 0, [](const std::string &, Options &o, std::string &) { return o.every_call = true; }},
    {"--snapshot", "a PNG file name",
     [](const std::string &v, Options &o, std::string &) { o.snapshot_path = v; return true; }},
    {"--snapshot-at", "a time in seconds",
     [](const std::string &v, Options &o, std::string &error) {
         if (parse_number(v, o.snapshot_at) && o.snapshot_at >= 0)
             return true;
         error = "--snapshot-at expects a time in seconds, got '" + toolbox::printable(v) + "'";
         return false;
     }},
    {"--scale", SCALE_VALUE.c_str(),
     [](const std::string &v, Options &o, std::string &error) {
         double scale;
         if (!parse_number(v, scale) || scale != floor(scale) || scale < 1 || scale > MAX_SCALE) {
             error = "--scale expects " + SCALE_VALUE + ", got '" + toolbox::printable(v) + "'";
             return false;
         }
         o.scale = (int)scale;
         return o.scale_given = true;
     }},
    {"--audio", "a WAV file name",
     [](const std::string &v, Options &o, std::string &) { o.audio_path = v; return true; }},
    {"--sounds", "a folder", [](const std::string &v, Options &o, std::string &) { o.sounds_dir = v; return true; }},
    {"--report", "an HTML file name",
     [](const std::string &v, Options &o, std::string &) { o.report_path = v; return true; }},
    {"--print-demo", 0, [](const std::string &, Options &o, std::string &) { return o.print_demo = true; }},
    {"--help", 0, [](const std::string &, Options &o, std::string &) { return o.help = true; }},
    {"-h", 0, [](const std::string &, Options &o, std::string &) { return o.help = true; }},
};

bool same_file_path(const std::string &a, const std::string &b)
{
    std::wstring full_a = toolbox::full_path_w(a), full_b = toolbox::full_path_w(b);
    return !full_a.empty() && toolbox::same_text_ignoring_case(toolbox::narrow(full_a), toolbox::narrow(full_b));
}

// Options that only make sense together.
static bool check_combinations(const Options &options, std::string &error)
{
    if (options.modules.empty())
        error = "no gauge module given (see --help)";
    else if (options.snapshot_at >= 0 && options.snapshot_path.empty())
        error = "--snapshot-at needs --snapshot FILE.png";
    else if (options.scale_given && options.snapshot_path.empty())
        error = "--scale needs --snapshot FILE.png";
    else if (!options.audio_path.empty() && options.sounds_dir.empty())
        error = "--audio needs --sounds DIR, the folder the gauges' sound paths are relative to";
    else if (options.audio_path.empty() && !options.sounds_dir.empty())
        error = "--sounds is only used with --audio FILE.wav";
    if (!error.empty())
        return false;
    // Each output replaces its target on its own: two of them on one file would leave one.
    const struct {
        const char *option;
        const std::string &path;
    } outputs[] = {
        {"--snapshot", options.snapshot_path}, {"--audio", options.audio_path}, {"--report", options.report_path}};
    for (size_t a = 0; a < 3; ++a)
        for (size_t b = a + 1; b < 3; ++b)
            if (!outputs[a].path.empty() && !outputs[b].path.empty() && same_file_path(outputs[a].path, outputs[b].path)) {
                error = std::string(outputs[a].option) + " and " + outputs[b].option + " name the same file (" +
                        outputs[b].path + "); give each its own";
                return false;
            }
    return true;
}

bool parse_options(const std::vector<std::string> &args, Options &options, std::string &error)
{
    options = Options();
    error.clear();
    for (size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        if (name.size() < 2 || name[0] != '-') {
            options.modules.push_back(name);
            continue;
        }
        // --name=value is the same as --name value.
        std::string value;
        bool inline_value = false;
        size_t equals = name.find('=');
        if (name.compare(0, 2, "--") == 0 && equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.erase(equals);
            inline_value = true;
        }
        const OptionRow *row = 0;
        for (const OptionRow &candidate : OPTION_TABLE)
            if (name == candidate.name)
                row = &candidate;
        if (!row) {
            error = "unknown option '" + toolbox::printable(args[i]) + "' (see --help)";
            return false;
        }
        if (!row->value_name && inline_value) {
            error = name + " takes no value";
            return false;
        }
        if (row->value_name && !inline_value) {
            if (i + 1 >= args.size()) {
                error = name + " expects " + row->value_name;
                return false;
            }
            value = args[++i];
        }
        if (!row->set(value, options, error))
            return false;
    }
    if (options.help || options.print_demo)
        return true;
    return check_combinations(options, error);
}

}  // namespace bench
