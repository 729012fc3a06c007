// The snapshot as a PNG file, encoded by the Windows Imaging Component.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "snapshot.h"

namespace bench {

// Writes the image as a PNG file at `path` through the Windows Imaging Component.
bool write_png_file(const Image &image, const std::string &path, std::string &error);
// The same PNG file's bytes, in memory.
bool encode_png(const Image &image, std::vector<uint8_t> &png, std::string &error);

}  // namespace bench
