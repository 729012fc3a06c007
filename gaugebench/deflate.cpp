// Deflate with the fixed Huffman codes: greedy LZ77 matching, then each literal, length and
// distance written with the codes every inflater knows, so no code tables go in the stream.
#include "deflate.h"

namespace bench {

namespace {

const size_t WINDOW = 32768, MIN_MATCH = 3, MAX_MATCH = 258;
const int HASH_BITS = 15, MAX_CHAIN = 32;

const uint16_t LENGTH_BASE[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                  31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
const uint8_t LENGTH_EXTRA[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
const uint16_t DISTANCE_BASE[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
const uint8_t DISTANCE_EXTRA[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

// Deflate packs bits from the least significant end of each byte; Huffman codes go in most
// significant bit first, everything else (header bits, extra bits) least significant first.
struct BitWriter {
    std::vector<uint8_t> out;
    uint32_t pending = 0;
    int count = 0;

    void bits(uint32_t value, int n)
    {
        pending |= value << count;
        count += n;
        for (; count >= 8; count -= 8, pending >>= 8)
            out.push_back((uint8_t)pending);
    }
    void code(uint32_t value, int n)
    {
        uint32_t reversed = 0;
        for (int i = 0; i < n; ++i)
            reversed |= ((value >> i) & 1) << (n - 1 - i);
        bits(reversed, n);
    }
    void flush()
    {
        if (count)
            out.push_back((uint8_t)pending);
        pending = 0;
        count = 0;
    }
};

// The fixed literal/length code: 0-143 in 8 bits, 144-255 in 9, 256-279 in 7, 280-287 in 8.
void put_symbol(BitWriter &writer, int symbol)
{
    if (symbol < 144)
        writer.code(0x30 + symbol, 8);
    else if (symbol < 256)
        writer.code(0x190 + symbol - 144, 9);
    else if (symbol < 280)
        writer.code(symbol - 256, 7);
    else
        writer.code(0xC0 + symbol - 280, 8);
}

void put_match(BitWriter &writer, size_t length, size_t distance)
{
    int l = 28;
    while (LENGTH_BASE[l] > length)
        --l;
    put_symbol(writer, 257 + l);
    writer.bits((uint32_t)(length - LENGTH_BASE[l]), LENGTH_EXTRA[l]);
    int d = 29;
    while (DISTANCE_BASE[d] > distance)
        --d;
    writer.code(d, 5);  // every fixed distance code is 5 bits
    writer.bits((uint32_t)(distance - DISTANCE_BASE[d]), DISTANCE_EXTRA[d]);
}

uint32_t hash3(const uint8_t *p)
{
    return ((p[0] | p[1] << 8 | p[2] << 16) * 2654435761u) >> (32 - HASH_BITS);
}

}  // namespace

std::vector<uint8_t> deflate_fixed(const uint8_t *data, size_t size)
{
    BitWriter writer;
    writer.bits(1, 1);  // BFINAL: the only block
    writer.bits(1, 2);  // BTYPE 01: fixed Huffman codes

    // head[h]: the latest position whose next 3 bytes hash to h; prev[i]: the one before i.
    std::vector<int32_t> head((size_t)1 << HASH_BITS, -1), prev(size, -1);
    auto insert = [&](size_t i) {
        if (i + MIN_MATCH > size)
            return;
        uint32_t h = hash3(data + i);
        prev[i] = head[h];
        head[h] = (int32_t)i;
    };
    for (size_t i = 0; i < size;) {
        size_t best_length = 0, best_distance = 0;
        if (i + MIN_MATCH <= size) {
            size_t limit = size - i < MAX_MATCH ? size - i : MAX_MATCH;
            int chain = MAX_CHAIN;
            for (int32_t j = head[hash3(data + i)]; j >= 0 && i - j <= WINDOW && chain-- > 0; j = prev[j]) {
                size_t length = 0;
                while (length < limit && data[j + length] == data[i + length])
                    ++length;
                if (length > best_length) {
                    best_length = length;
                    best_distance = i - j;
                    if (length == limit)
                        break;
                }
            }
        }
        if (best_length >= MIN_MATCH) {
            put_match(writer, best_length, best_distance);
            for (size_t k = 0; k < best_length; ++k)
                insert(i + k);
            i += best_length;
        } else {
            put_symbol(writer, data[i]);
            insert(i);
            ++i;
        }
    }
    put_symbol(writer, 256);  // end of block
    writer.flush();
    return writer.out;
}

}  // namespace bench
