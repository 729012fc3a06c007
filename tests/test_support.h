// What every test program shares: finding the built modules, loading them into the stand-in
// host, and reading the stand-in sound library's journal as short call strings.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "panel_host.h"

#define BOOMCUE_FILE "VQT7_Boomcue.gau"
#define DRAGDRONE_FILE "VQT7_Drag_Drone.gau"

namespace test_support {

// The gauges' sound calls, as sound_calls() writes them.
inline const char PLAY_CUE[] = "play(sound\\QX\\Supersonic.wav,,0)";
inline const char PLAY_LOOP[] = "play(sound\\QX\\Speed_Brake.wav,SPBR,1)";
inline const char STOP_LOOP[] = "stop(SPBR)";

// The drag cue's variables.
constexpr uint32_t DRAG_TOKEN_UNUSED = 325;
constexpr uint32_t DRAG_TOKEN_GATE = 61;
constexpr uint32_t DRAG_TOKEN_TRIGGER = 326;

// Each module and its module variables' tokens in declaration order.
struct ModuleCase {
    const char *file;
    std::vector<uint32_t> tokens;
};
inline void PrintTo(const ModuleCase &module, std::ostream *out)
{
    *out << module.file;
}
extern const ModuleCase MODULE_CASES[2];

// The tokens of the variable fetches since the log was last cleared, in order.
std::vector<uint32_t> fetched_tokens();

// The folder of the running test program, with a trailing backslash.
std::string exe_folder();
// Where the build left a gauge module, by file name.
std::string module_path(const char *file);
// Reads a whole file; empty if it cannot be read.
std::vector<uint8_t> read_file(const std::string &path);

// The journal since `from`, one string a call, library loads and unloads included when asked:
//   play(sound\QX\Supersonic.wav,,0)   stop(SPBR)   terminate()   attach   detach
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

// Fixture: a fresh host and journal before every test.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override { reset_host(); }
    void TearDown() override { panel_host::use_sound_library("full"); }
};

}  // namespace test_support
