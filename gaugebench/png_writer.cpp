// PNG encoding: signature, IHDR, one IDAT holding a zlib stream of filtered scanlines, IEND.
#include "png_writer.h"

#include <stdio.h>

#include "deflate.h"

namespace bench {

uint32_t crc32(const uint8_t *data, size_t size, uint32_t crc)
{
    static uint32_t table[256];
    if (!table[1])
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            table[n] = c;
        }
    crc = ~crc;
    for (size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

uint32_t adler32(const uint8_t *data, size_t size)
{
    uint32_t a = 1, b = 0;
    for (size_t i = 0; i < size; ++i) {
        a = (a + data[i]) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

static void put32(std::vector<uint8_t> &out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back((uint8_t)(value >> shift));
}

static void put_chunk(std::vector<uint8_t> &out, const char *type, const std::vector<uint8_t> &data)
{
    put32(out, (uint32_t)data.size());
    size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    put32(out, crc32(out.data() + start, out.size() - start));
}

// Each scanline goes out with whichever of the filters None, Sub and Up leaves the smallest sum
// of bytes read as signed: runs of one colour and rows repeating the row above become zeros.
std::vector<uint8_t> encode_png(uint32_t width, uint32_t height, const std::vector<uint8_t> &rgb)
{
    size_t stride = (size_t)width * 3;
    std::vector<uint8_t> raw, candidate[3];
    raw.reserve((size_t)height * (stride + 1));
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t *row = rgb.data() + y * stride;
        const uint8_t *above = y ? row - stride : 0;
        int best = 0;
        uint32_t best_cost = UINT32_MAX;
        for (int filter = 0; filter < 3; ++filter) {
            std::vector<uint8_t> &line = candidate[filter];
            line.assign(1, (uint8_t)filter);
            uint32_t cost = 0;
            for (size_t x = 0; x < stride; ++x) {
                uint8_t predicted = filter == 1 ? (x >= 3 ? row[x - 3] : 0) : filter == 2 && above ? above[x] : 0;
                uint8_t value = (uint8_t)(row[x] - predicted);
                line.push_back(value);
                cost += value < 128 ? value : 256 - value;
            }
            if (cost < best_cost) {
                best_cost = cost;
                best = filter;
            }
        }
        raw.insert(raw.end(), candidate[best].begin(), candidate[best].end());
    }
    std::vector<uint8_t> zlib = {0x78, 0x01};  // deflate, 32K window, no preset dictionary
    std::vector<uint8_t> compressed = deflate_fixed(raw.data(), raw.size());
    zlib.insert(zlib.end(), compressed.begin(), compressed.end());
    put32(zlib, adler32(raw.data(), raw.size()));

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    put32(header, width);
    put32(header, height);
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, deflate, adaptive filters, no interlace
    put_chunk(png, "IHDR", header);
    put_chunk(png, "IDAT", zlib);
    put_chunk(png, "IEND", {});
    return png;
}

bool write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    FILE *file = fopen(path.c_str(), "wb");
    if (!file)
        return false;
    bool written = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && written;
}

bool read_file(const std::string &path, std::vector<uint8_t> &bytes)
{
    FILE *file = fopen(path.c_str(), "rb");
    if (!file)
        return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    bool read = !ferror(file);
    fclose(file);
    return read;
}

}  // namespace bench
