// What every test program shares: finding the built modules, loading them into the stand-in
// host, walking a loaded image, and reading the stand-in sound library's journal as short
// call strings.
#pragma once

#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "standin_host.h"

#define BOOMCUE_FILE "VQT7_Boomcue.gau"
#define DRAGDRONE_FILE "VQT7_Drag_Drone.gau"

namespace test_support {

// The gauges' sound calls, as sound_calls() writes them.
inline const char PLAY_CUE[] = "play(sound\\QX\\Supersonic.wav,,0)";
inline const char PLAY_LOOP[] = "play(sound\\QX\\Speed_Brake.wav,SPBR,1)";
inline const char STOP_LOOP[] = "stop(SPBR)";

// The drag cue's variables, and the readout's source variable.
constexpr uint32_t DRAG_TOKEN_UNUSED = 325;
constexpr uint32_t DRAG_TOKEN_GATE = 61;
constexpr uint32_t DRAG_TOKEN_TRIGGER = 326;
constexpr uint32_t FREQUENCY_TOKEN = 870;

// Each module and its module variables' tokens in declaration order.
struct ModuleCase {
    const char *file;
    std::vector<uint32_t> tokens;
};
inline void PrintTo(const ModuleCase &module, std::ostream *out) { *out << module.file; }
extern const ModuleCase MODULE_CASES[2];
extern const char *const MODULE_FILES[2];
bool is_boomcue(const char *file);
// "Boom" or "Drag": a parameterised test's name suffix.
std::string short_name(const char *file);
inline std::string short_name(const ModuleCase &module) { return short_name(module.file); }
struct ShortName {
    template <class Info>
    std::string operator()(const Info &info) const { return short_name(info.param); }
};

inline uint64_t bits_of(double value)
{
    uint64_t bits;
    memcpy(&bits, &value, sizeof bits);
    return bits;
}

// The tokens of the variable fetches since the log was last cleared, in order.
std::vector<uint32_t> fetched_tokens();

// The folder of the running test program, with a trailing backslash.
std::string exe_folder();
// Where the build left a gauge module, by file name.
using panel_host::module_path;

// The journal since `from`, one string a call, library loads and unloads included when asked:
//   play(sound\QX\Supersonic.wav,,0)   stop(SPBR)   terminate()   attach   detach
// A null pointer shows as "(null)", a text the journal had to cut short ends in "...".
std::vector<std::string> sound_calls(uint32_t from = 0, bool with_attach_detach = false);
// Names of the sounds playing now, in start order as the library keeps them.
std::vector<std::string> playing_sounds();
// Events recorded so far: a mark to pass to sound_calls() later.
uint32_t sound_mark();

// Resets the host's variables and fetch log, the sound journal, and picks the full library.
void reset_host();

// A module loaded into the stand-in host, unloaded when the test ends.
struct LoadedModule {
    panel_host::Module module;
    explicit LoadedModule(const char *file);
    ~LoadedModule();
    panel_host::Instance instance() { return panel_host::make_instance(module); }
    LoadedModule(const LoadedModule &) = delete;
    LoadedModule &operator=(const LoadedModule &) = delete;
};

// A module mapped by the loader alone, as the host's own LoadLibrary would; no host set-up.
struct MappedModule {
    HMODULE handle;
    explicit MappedModule(const char *file);
    ~MappedModule();
    MappedModule(const MappedModule &) = delete;
    MappedModule &operator=(const MappedModule &) = delete;
};

// ---- The loaded image, walked in place through its headers.
const IMAGE_NT_HEADERS32 *nt_headers(HMODULE module);
std::vector<const IMAGE_SECTION_HEADER *> sections(HMODULE module);
// Whether [start, start + size) lies inside the mapped image.
bool inside(HMODULE module, const void *start, size_t size);
// The page protection at an address (PAGE_*), 0 if unmapped.
DWORD protection(const void *address);
// Every byte of [start, start + size) is on a writable page: the host writes into its records.
bool writable(const void *start, size_t size);
// A routine in the module's executable pages.
bool code_in(HMODULE module, const void *routine);
// The module's import address slot through which it calls `function` of `dll` (by name,
// case-blind for the DLL), or null. A test may point it elsewhere to watch the calls.
void **import_slot(HMODULE module, const char *dll, const char *function);

// The module's writable sections: every module-wide state (binding, flags, latch, the
// host-written records) lives there, so two snapshots show whether a call changed anything.
struct Snapshot {
    uintptr_t base = 0;
    std::vector<std::pair<uint32_t, std::vector<uint8_t>>> sections;  // RVA, bytes
    bool operator==(const Snapshot &other) const { return base == other.base && sections == other.sections; }
    bool operator!=(const Snapshot &other) const { return !(*this == other); }
};
Snapshot writable_sections(HMODULE module);
// Module offsets of the bytes that differ, at most `limit` of them.
std::vector<uint32_t> changed_offsets(const Snapshot &before, const Snapshot &after, size_t limit = 64);

// The callee-saved registers and stack pointer of a call record, for a failure message.
std::string describe(const panel_host::CallRecord &record);

// Fixture: a fresh host and journal before every test. At the end, every call the host made
// into gauge code during the test must have kept the host's registers and stack pointer.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        reset_host();
        broken_calls_before_ = panel_host::broken_calls();
    }
    void TearDown() override
    {
        panel_host::use_sound_library("full");
        EXPECT_EQ(panel_host::broken_calls(), broken_calls_before_)
            << "calls into gauge code broke the host's registers; the last: "
            << describe(panel_host::last_broken_call());
    }
    uint32_t broken_calls_before_ = 0;
};

// Fixture: one module loaded on a fresh host with one initialised gauge, killed at the end.
class GaugeTest : public HostTest {
protected:
    explicit GaugeTest(const char *file) : loaded(file), gauge(loaded.instance()) {}
    void SetUp() override
    {
        HostTest::SetUp();
        panel_host::initialize(gauge);
    }
    void TearDown() override
    {
        panel_host::kill(gauge);
        HostTest::TearDown();
    }
    LoadedModule loaded;
    panel_host::Instance gauge;
};

}  // namespace test_support
