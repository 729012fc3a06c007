// The names of our own temporary files: "~vqt7-<process>-<n>.tmp" for new bytes on their way in,
// "~vqt7-<process>-<n>.old" for a file moved aside until a run ends. A run killed partway can
// leave them; the next run knows them by this pattern alone and removes nothing else.
#pragma once

#include <string>
#include <string_view>

namespace toolbox {

std::string temporary_name(unsigned long process, unsigned long number, bool moved_aside);
// `process`, when given, receives the number of the process that made it.
bool is_temporary_name(std::string_view name, unsigned long *process = nullptr);

}  // namespace toolbox
