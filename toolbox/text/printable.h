// Text from a user's file or command line made fit to echo in a one-line message. No Windows
// header: the tools and the pure cores (the bench's scenario parser) share it.
#pragma once

#include <stddef.h>

#include <string>

namespace toolbox {

// Control characters escaped (\n, \xNN), cut after `limit` bytes (never inside a UTF-8
// sequence) with "..." after.
std::string printable(const std::string &text, size_t limit = 40);

}  // namespace toolbox
