// SHA-256 through Windows' own provider, as lower-case hex: how gaugecheck tells this project's
// releases from other builds of a module or other copies of a sound.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace gaugecheck {

// Empty when the provider fails.
std::string sha256_hex(const uint8_t *bytes, size_t size);

}  // namespace gaugecheck
