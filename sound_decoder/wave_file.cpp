// The RIFF WAVE walk. mmio reads each chunk header, but the walk does its own offset sums in
// 64 bits: mmio's own chunk search adds sizes in 32 bits, so a size field near 4 GiB (as broken
// streaming writers leave it) wraps back onto the same chunk and the search never ends.
#include "wave_file.h"

#include <string.h>

#include <algorithm>

#include "toolbox.h"

namespace sound_decoder {

// mmio keeps its file position in a LONG: nothing past 2 GiB can be reached.
static const uint64_t MMIO_REACH = 0x7FFFFFFF;

bool open_wave_file(const std::string &utf8_path, WaveFile &file, Failure &failure)
{
    // The file is opened through the wide API and handed to mmio's DOS handler, so any name
    // Windows allows works whatever mmio does with names itself.
    file.handle = CreateFileW(toolbox::widen(utf8_path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, 0,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, 0);
    if (file.handle == INVALID_HANDLE_VALUE)
        return fail(failure, FailureKind::CannotOpen, "cannot open it (error " + std::to_string(GetLastError()) + ")");
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.handle, &size)) {
        std::string reason = "cannot read its size (error " + std::to_string(GetLastError()) + ")";
        close_wave_file(file);
        return fail(failure, FailureKind::CannotRead, reason);
    }
    file.size = (uint64_t)size.QuadPart;
    MMIOINFO info = {};
    info.fccIOProc = FOURCC_DOS;
    info.adwInfo[0] = (DWORD)(uintptr_t)file.handle;
    file.mmio = mmioOpenW(0, &info, MMIO_READ | MMIO_ALLOCBUF);
    if (!file.mmio) {
        close_wave_file(file);
        return fail(failure, FailureKind::CannotRead, "cannot read it (mmio error " + std::to_string(info.wErrorRet) + ")");
    }
    return true;
}

void close_wave_file(WaveFile &file)
{
    if (file.mmio)
        mmioClose(file.mmio, MMIO_FHOPEN);  // the handle is ours to close
    if (file.handle != INVALID_HANDLE_VALUE)
        CloseHandle(file.handle);
    file = WaveFile();
}

static bool read_at(WaveFile &file, uint64_t offset, void *bytes, LONG size)
{
    return offset + size <= std::min(file.size, MMIO_REACH) && mmioSeek(file.mmio, (LONG)offset, SEEK_SET) == (LONG)offset &&
           mmioRead(file.mmio, (HPSTR)bytes, size) == size;
}

static bool id_at(WaveFile &file, uint64_t offset, FOURCC id)
{
    FOURCC found;
    return read_at(file, offset, &found, sizeof found) && found == id;
}

static void keep_format(WaveFile &file, const MMCKINFO &chunk, WaveLayout &layout)
{
    // A fmt chunk is 16 bytes, or 18 and up with its extra bytes; more than 1 KB is not a format.
    uint32_t size = std::min<uint32_t>(chunk.cksize, 1024);
    std::vector<uint8_t> bytes(std::max<size_t>(size, sizeof(WAVEFORMATEX)), 0);
    if (!read_at(file, chunk.dwDataOffset, bytes.data(), (LONG)size))
        return;
    WAVEFORMATEX *format = (WAVEFORMATEX *)bytes.data();
    format->cbSize = size >= sizeof(WAVEFORMATEX) ? std::min<uint32_t>(format->cbSize, size - sizeof(WAVEFORMATEX)) : 0;
    bytes.resize(sizeof(WAVEFORMATEX) + format->cbSize);
    layout.format = bytes;
}

bool walk_wave_file(WaveFile &file, WaveLayout &layout, Failure &failure, std::vector<std::string> *warnings)
{
    layout = WaveLayout();
    MMCKINFO riff = {};
    if (mmioSeek(file.mmio, 0, SEEK_SET) != 0 || mmioDescend(file.mmio, &riff, 0, 0) != MMSYSERR_NOERROR ||
        riff.ckid != FOURCC_RIFF || riff.fccType != mmioFOURCC('W', 'A', 'V', 'E'))
        return fail(failure, FailureKind::NotWave, "not a RIFF WAVE file");
    const FOURCC fmt_id = mmioFOURCC('f', 'm', 't', ' '), data_id = mmioFOURCC('d', 'a', 't', 'a');
    bool have_data = false;
    uint64_t declared = 0;
    uint64_t end_of_file = std::min(file.size, MMIO_REACH);
    // The sub-chunks, in any order (a data chunk before the fmt chunk plays too).
    for (uint64_t at = 12; at + 8 <= end_of_file;) {
        MMCKINFO chunk = {};
        if (mmioSeek(file.mmio, (LONG)at, SEEK_SET) != (LONG)at || mmioDescend(file.mmio, &chunk, 0, 0) != MMSYSERR_NOERROR)
            break;
        uint64_t start = at + 8, end = start + chunk.cksize;
        if (chunk.ckid == fmt_id && layout.format.empty())
            keep_format(file, chunk, layout);
        if (chunk.ckid == data_id && !have_data) {
            have_data = true;
            layout.data_offset = (uint32_t)start;
            layout.data_bytes = std::min(end, end_of_file) - start;
            declared = chunk.cksize;
        }
        if (end >= end_of_file)
            break;
        // Chunks are padded to an even size, but some writers leave the pad byte out: then the
        // next chunk starts right after this one.
        at = end + (chunk.cksize & 1);
        if ((chunk.cksize & 1) && !id_at(file, at, fmt_id) && !id_at(file, at, data_id) &&
            (id_at(file, end, fmt_id) || id_at(file, end, data_id)))
            at = end;
    }
    if (layout.format.empty())
        return fail(failure, FailureKind::NoFormat, "no fmt chunk");
    if (!have_data)
        return fail(failure, FailureKind::NoData, "no data chunk");
    if (layout.data_bytes == 0)
        return fail(failure, FailureKind::EmptyData, "the data chunk is empty");
    if (declared > layout.data_bytes && warnings) {
        if (file.size > MMIO_REACH && layout.data_offset + declared > MMIO_REACH)
            warnings->push_back("only its first 2 GB can be read");
        else
            warnings->push_back("its data chunk's size field (" + std::to_string(declared) + " bytes) runs past the end of the file, which holds " +
                                std::to_string(layout.data_bytes) + ": the file is truncated or its size field is wrong");
    }
    return true;
}

}  // namespace sound_decoder
