// Small pieces every Windows program of this project shares: the bench, the checker, the
// stand-in host, the benchmark and the tests. Paths are UTF-8 in the programs' own strings and
// UTF-16 at every Windows call, so any name Windows allows works.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "printable.h"  // printable(): the echo of a user's text, shared with the pure cores

namespace toolbox {

// UTF-8 to UTF-16 and back. Invalid UTF-8 becomes U+FFFD; an unpaired surrogate the same.
std::wstring widen(const std::string &utf8);
std::string narrow(const std::wstring &wide);

// Text in the system's ANSI code page (a panel.cfg saved by Notepad on an older Windows) to
// UTF-8.
std::string ansi_to_utf8(const std::string &ansi);

// The folder of the running program, with a trailing backslash.
std::wstring program_folder_w();
std::string program_folder();

// The full path of a file, in UTF-16, as Windows resolves it (forward slashes become
// backslashes, "." and ".." are folded). Empty if it cannot be resolved.
std::wstring full_path_w(const std::string &path);

// The last part of a path, after its last slash or backslash; the whole of it without one.
std::string file_name(const std::string &path);

// A Windows error code as the messages quote it: "error 32".
std::string error_text(unsigned long code);

// Equal as Windows compares file names: ignoring case over all of Unicode, not only ASCII.
bool same_text_ignoring_case(const std::string &a, const std::string &b);

// Reads a whole file, refusing one larger than `limit` bytes. On failure returns false and a
// short reason ("cannot open (error 2)", "larger than 16 MB").
bool read_whole_file(const std::string &path, std::vector<uint8_t> &bytes, std::string &reason,
                     uint64_t limit = 64ull << 20);

}  // namespace toolbox
