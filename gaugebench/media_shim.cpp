// Stand-in for the output writers until the WIC/mmio writers land.
#include "media_shim.h"

#include <windows.h>

#include "png_writer.h"
#include "toolbox.h"

namespace bench {
static bool write_bytes(const std::string &path, const std::vector<uint8_t> &bytes, std::string &error)
{
    HANDLE file = CreateFileW(toolbox::widen(path).c_str(), GENERIC_WRITE, 0, 0, CREATE_ALWAYS, 0, 0);
    DWORD written = 0;
    bool ok = file != INVALID_HANDLE_VALUE && WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, 0) &&
              written == bytes.size();
    if (file != INVALID_HANDLE_VALUE)
        ok = CloseHandle(file) && ok;
    if (!ok)
        error = "cannot write the file (error " + std::to_string(GetLastError()) + ")";
    return ok;
}

bool write_png_file(const Image &image, const std::string &path, std::string &error)
{
    return write_bytes(path, encode_png(image.width, image.height, image.rgb), error);
}

bool write_audio_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                      const std::string &path, std::vector<std::string> &warnings, std::string &error)
{
    return write_bytes(path, encode_wav(mix_cues(cues, length, sounds_dir, warnings)), error);
}
}  // namespace bench
