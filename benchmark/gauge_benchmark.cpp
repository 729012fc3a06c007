// What the two modules cost the panel: nanoseconds per panel cycle through the stand-in host,
// next to a loop that makes only the calls a module cannot avoid each cycle, and the time to
// load, initialise, kill and unload a module. A program to run, not a test with a time limit.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <windows.h>

#include <algorithm>
#include <string>

#include "standin_host.h"
// The baseline makes a module's own unavoidable calls on records of the module's own kinds.
#include "host_panel.h"

using namespace panel_host;

namespace {

const int RUNS = 5;               // the best of these is reported: the machine is shared
const uint32_t ITERATIONS = 100000;

// The very routines the modules import, looked up as they are bound, so that the baseline
// formats and converts exactly as the readout does (not with the C++ runtime's own printf).
typedef int(__cdecl *SPRINTF)(char *, const char *, ...);
typedef double(__cdecl *ATOF)(const char *);
typedef int(__cdecl *WSPRINTFA)(char *, const char *, ...);
typedef int(__cdecl *PLAY)(const char *, const char *, int32_t);
SPRINTF crt_sprintf;
ATOF crt_atof;
WSPRINTFA user_wsprintfA;

volatile uintptr_t sink;

double seconds_now()
{
    static LARGE_INTEGER frequency;
    if (!frequency.QuadPart)
        QueryPerformanceFrequency(&frequency);
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Nanoseconds per call of `body`, the best of RUNS runs of `iterations` calls.
template <class Body>
double ns_per_call(Body body, uint32_t iterations = ITERATIONS)
{
    double best = 1e30;
    for (int run = 0; run < RUNS; ++run) {
        clear_fetches();
        const double start = seconds_now();
        for (uint32_t i = 0; i < iterations; ++i)
            body(i);
        best = std::min(best, (seconds_now() - start) * 1e9 / iterations);
    }
    clear_fetches();
    return best;
}

bool load(const char *file, Module &module)
{
    std::string error;
    if (load_module(module_path(file), module, error))
        return true;
    fprintf(stderr, "error: %s\n", error.c_str());
    return false;
}

// What every module's update must do whatever its values: find the library, bind its three
// entries, and have the host refresh each module variable.
struct Baseline {
    MODULE_VAR vars[9];
    uint32_t var_count;
    PLAY play;

    explicit Baseline(std::initializer_list<uint32_t> tokens) : vars(), var_count(0), play(0)
    {
        for (uint32_t token : tokens)
            vars[var_count++].token = token;
    }
    void bind_and_fetch()
    {
        HMODULE library = GetModuleHandleA("GaugeSound");
        if (!library)
            library = LoadLibraryA("GaugeSound");
        play = (PLAY)GetProcAddress(library, "GaugePlaySound");
        sink = (uintptr_t)GetProcAddress(library, "GaugeStopSound");
        sink = (uintptr_t)GetProcAddress(library, "TerminateSounds");
        for (uint32_t i = 0; i < var_count; ++i)
            panels()->fetch_var(&vars[i]);
    }
};

// The host's own cost of calling gauge code: the stand-in host calls every routine through its
// thunk (stack alignment, register check), so the baseline makes as many calls through it, into
// a routine that does nothing, and the ratio measures the module alone.
void HOST_CALL host_call_target(uint32_t, uint32_t, uint32_t) {}
void host_calls(uint32_t count)
{
    static const uint32_t args[3] = {0, 0, 0};
    for (uint32_t i = 0; i < count; ++i)
        call_routine((const void *)&host_call_target, args, 3, HOST_STACK_MOD16, false);
}

// The readout's unavoidable work on a BCD value: format the digits, convert, print.
void format_convert_print(uint32_t bcd, char *text)
{
    char digits[16];
    user_wsprintfA(digits, "1%d%d.%d%d", (int)((bcd >> 12) & 0xF), (int)((bcd >> 8) & 0xF), (int)((bcd >> 4) & 0xF),
                   (int)(bcd & 0xF));
    volatile float frequency = (float)crt_atof(digits);
    crt_sprintf(text, "%.2f", (double)frequency);
}

// Frequencies a pilot tunes through; none plays the cue.
const uint32_t FREQUENCIES[8] = {0x1800, 0x1905, 0x2210, 0x2395, 0x2405, 0x2550, 0x3097, 0x3600};

void print_cycle(const char *name, const char *values, double module_ns, double baseline_ns)
{
    printf("  %-16s %-9s %8.0f ns  baseline %8.0f ns  ratio %.2f\n", name, values, module_ns, baseline_ns,
           module_ns / baseline_ns);
}

}  // namespace

int main()
{
    HMODULE msvcrt = LoadLibraryA("msvcrt.dll");
    HMODULE user32 = LoadLibraryA("user32.dll");
    crt_sprintf = (SPRINTF)GetProcAddress(msvcrt, "sprintf");
    crt_atof = (ATOF)GetProcAddress(msvcrt, "atof");
    user_wsprintfA = (WSPRINTFA)GetProcAddress(user32, "wsprintfA");
    if (!use_sound_library("full") || !crt_sprintf || !crt_atof || !user_wsprintfA) {
        fprintf(stderr, "error: the stand-in sound library or the C runtime routines are missing\n");
        return 1;
    }

    Module boomcue_module, dragdrone_module;
    if (!load("VQT7_Boomcue.gau", boomcue_module) || !load("VQT7_Drag_Drone.gau", dragdrone_module))
        return 1;
    Instance boomcue = make_instance(boomcue_module);
    Instance dragdrone = make_instance(dragdrone_module);
    initialize(boomcue);
    initialize(dragdrone);

    printf("VQT7 gauge benchmark: stand-in host and GaugeSound, best of %d runs of %u\n", RUNS, ITERATIONS);
    printf("per panel cycle (PRE_UPDATE, element updates, PRE_DRAW), against the calls a module must make:\n");

    // The readout: module variables and the element's source variables refreshed, the text made.
    Baseline boomcue_baseline({3, 4, 5, 8, 0, 875, 870, 0, 0});
    char text[TEXT_BUFFER_BYTES];
    double module_ns = ns_per_call([&](uint32_t i) {
        set_var_bits(870, FREQUENCIES[i & 7]);
        cycle(boomcue);
    });
    double baseline_ns = ns_per_call([&](uint32_t i) {
        set_var_bits(870, FREQUENCIES[i & 7]);
        host_calls(3);  // PRE_UPDATE, the readout, PRE_DRAW
        boomcue_baseline.bind_and_fetch();
        format_convert_print(boomcue_baseline.vars[6].value.bits, text);
    });
    print_cycle("VQT7_Boomcue", "tuning", module_ns, baseline_ns);

    // The drag cue idle (trigger at its threshold: no call) and sounding (a play every cycle).
    Baseline dragdrone_baseline({325, 61, 326});
    set_var(326, 8000.0);
    set_var(61, 150.0);
    module_ns = ns_per_call([&](uint32_t) { cycle(dragdrone); });
    baseline_ns = ns_per_call([&](uint32_t) {
        host_calls(2);  // PRE_UPDATE, PRE_DRAW
        dragdrone_baseline.bind_and_fetch();
        sink = dragdrone_baseline.vars[2].value.number > 8000.0 && dragdrone_baseline.vars[1].value.number > 100.0;
    });
    print_cycle("VQT7_Drag_Drone", "idle", module_ns, baseline_ns);
    set_var(326, 9000.0);
    module_ns = ns_per_call([&](uint32_t i) {
        if ((i & 1023) == 0)
            clear_sound_journal();
        cycle(dragdrone);
    });
    baseline_ns = ns_per_call([&](uint32_t i) {
        if ((i & 1023) == 0)
            clear_sound_journal();
        host_calls(2);
        dragdrone_baseline.bind_and_fetch();
        dragdrone_baseline.play("sound\\QX\\Speed_Brake.wav", "SPBR", 1);
    });
    print_cycle("VQT7_Drag_Drone", "sounding", module_ns, baseline_ns);

    // The readout callback alone, as the host calls it after refreshing its source variable.
    ELEMENT_STRING *element = boomcue.strings.at(0).element;
    element->string = text;
    module_ns = ns_per_call([&](uint32_t i) {
        element->source_var[0].value.bits = FREQUENCIES[i & 7];
        element->update_cb(element);
    });
    baseline_ns = ns_per_call([&](uint32_t i) { format_convert_print(FREQUENCIES[i & 7], text); });
    printf("readout callback alone: %.0f ns, format/convert/print alone %.0f ns, ratio %.2f\n", module_ns,
           baseline_ns, module_ns / baseline_ns);

    kill(boomcue);
    kill(dragdrone);
    unload_module(boomcue_module);
    unload_module(dragdrone_module);

    // A gauge's whole life without cycles: the module and the sound library load and unload.
    printf("load, initialise, kill, unload (mean of 200, library loaded by the initialise):\n");
    for (const char *file : {"VQT7_Boomcue.gau", "VQT7_Drag_Drone.gau"}) {
        const int LIVES = 200;
        double phases[4] = {0, 0, 0, 0};
        for (int life = 0; life < LIVES; ++life) {
            Module module;
            double t0 = seconds_now();
            if (!load(file, module))
                return 1;
            Instance gauge = make_instance(module);
            double t1 = seconds_now();
            initialize(gauge);
            double t2 = seconds_now();
            kill(gauge);
            double t3 = seconds_now();
            unload_module(module);
            double t4 = seconds_now();
            phases[0] += t1 - t0;
            phases[1] += t2 - t1;
            phases[2] += t3 - t2;
            phases[3] += t4 - t3;
        }
        const double us = 1e6 / LIVES;
        printf("  %-20s %7.1f us: load %.1f, initialise %.1f, kill %.1f, unload %.1f\n", file,
               (phases[0] + phases[1] + phases[2] + phases[3]) * us, phases[0] * us, phases[1] * us,
               phases[2] * us, phases[3] * us);
    }
    return 0;
}
