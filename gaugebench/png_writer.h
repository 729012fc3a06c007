// A PNG encoder with no library: 8-bit RGB, each row filtered None, Sub or Up, compressed with
// deflate's fixed Huffman codes (deflate.h). The demo's faces come to a few kilobytes.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

namespace bench {

uint32_t crc32(const uint8_t *data, size_t size, uint32_t crc = 0);
uint32_t adler32(const uint8_t *data, size_t size);

// `rgb` holds width * height * 3 bytes, rows top to bottom.
std::vector<uint8_t> encode_png(uint32_t width, uint32_t height, const std::vector<uint8_t> &rgb);
// Whole-file reads and writes for the bench's inputs and outputs.
bool write_file(const std::string &path, const std::vector<uint8_t> &bytes);
bool read_file(const std::string &path, std::vector<uint8_t> &bytes);

}  // namespace bench
