// The snapshot as a PNG file, encoded by the Windows Imaging Component.
#pragma once

#include <string>

#include "snapshot.h"

namespace bench {

// Writes the image as a PNG file at `path` through the Windows Imaging Component.
bool write_png_file(const Image &image, const std::string &path, std::string &error);

}  // namespace bench
