// The simulator's folder, the one holding fs9.exe: as given on the command line (fs9.exe itself
// means its folder), or found upward from the current folder and then from the program's own.
#pragma once

#include <string>

namespace gaugecheck {

extern const char SIM_PROGRAM[];     // "fs9.exe"
extern const char EXAMPLE_FOLDER[];  // a typical simulator folder, quoted, for messages

// True with `sim` the folder's full path. False with one line for the user, which names
// `program` in its hint: no such folder, a folder without fs9.exe, none found.
bool find_sim_folder(const std::string &given, const char *program, std::string &sim, std::string &message);

}  // namespace gaugecheck
