// SHA-256 of a file's bytes with Windows' own provider (bcrypt), so the checker carries no
// hashing code of its own.
#include "file_sum.h"

#include <windows.h>
#include <bcrypt.h>

namespace gaugecheck {

std::string sha256_hex(const uint8_t *bytes, size_t size)
{
    BCRYPT_ALG_HANDLE algorithm = 0;
    BCRYPT_HASH_HANDLE hash = 0;
    UCHAR digest[32];
    bool ok = BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, 0, 0) == 0 &&
              BCryptCreateHash(algorithm, &hash, 0, 0, 0, 0, 0) == 0 &&
              BCryptHashData(hash, (PUCHAR)bytes, (ULONG)size, 0) == 0 &&
              BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash)
        BCryptDestroyHash(hash);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!ok)
        return std::string();
    static const char HEX[] = "0123456789abcdef";
    std::string text;
    for (UCHAR byte : digest) {
        text += HEX[byte >> 4];
        text += HEX[byte & 15];
    }
    return text;
}

}  // namespace gaugecheck
