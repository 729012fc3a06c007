// Page bytes through WriteFile, the render through ReadFile.
#include "report_file.h"

#include <windows.h>

#include "mixer.h"
#include "report_page.h"
#include "toolbox.h"

namespace bench {

namespace {

// Closes on every way out.
struct FileHandle {
    HANDLE handle;
    explicit FileHandle(HANDLE opened) : handle(opened) {}
    FileHandle(const FileHandle &) = delete;
    FileHandle &operator=(const FileHandle &) = delete;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

}  // namespace

bool write_report_file(const ReportRecord &record, const std::string &audio_path, const std::string &path,
                       std::string &reason)
{
    FileHandle page(CreateFileW(toolbox::widen(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, 0));
    if (page.handle == INVALID_HANDLE_VALUE) {
        reason = "cannot create the page (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    FileHandle sound(audio_path.empty() ? INVALID_HANDLE_VALUE
                                        : CreateFileW(toolbox::widen(audio_path).c_str(), GENERIC_READ, FILE_SHARE_READ, 0,
                                                      OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, 0));
    ReportAudio audio;
    if (!audio_path.empty()) {
        LARGE_INTEGER size = {};
        if (sound.handle == INVALID_HANDLE_VALUE || !GetFileSizeEx(sound.handle, &size)) {
            reason = "cannot read the rendered audio back (error " + std::to_string(GetLastError()) + ")";
            return false;
        }
        // The render's own header, then 16-bit mono frames.
        audio.seconds =
            size.QuadPart > MIX_HEADER_BYTES ? (double)(size.QuadPart - MIX_HEADER_BYTES) / 2 / MIX_RATE : 0;
        audio.read = [&](uint8_t *buffer, size_t wanted, size_t &got) {
            DWORD read = 0;
            bool ok = ReadFile(sound.handle, buffer, (DWORD)wanted, &read, 0) != 0;
            got = read;
            return ok;
        };
    }
    bool written_whole = true;
    PageSink sink = [&](const char *bytes, size_t size) {
        DWORD written = 0;
        written_whole = WriteFile(page.handle, bytes, (DWORD)size, &written, 0) && written == size;
        return written_whole;
    };
    if (!write_report_page(record, audio_path.empty() ? 0 : &audio, sink)) {
        reason = written_whole ? "cannot read the rendered audio back" : "cannot write the page (is the disk full?)";
        return false;
    }
    HANDLE written = page.handle;
    page.handle = INVALID_HANDLE_VALUE;
    if (!CloseHandle(written)) {
        reason = "cannot write the page (is the disk full?)";
        return false;
    }
    return true;
}

}  // namespace bench
