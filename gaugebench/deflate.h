// A deflate encoder with no library: one block of the fixed Huffman codes, LZ77 matches found
// through a 3-byte hash with a short chain over a 32 KiB window. Snapshots are mostly flat
// colour, which this shrinks about as well as dynamic codes would; output is deterministic.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <vector>

namespace bench {

// The raw deflate stream (no zlib header or checksum) of `size` bytes.
std::vector<uint8_t> deflate_fixed(const uint8_t *data, size_t size);

}  // namespace bench
