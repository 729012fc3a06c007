// Stand-in for the output writers until the WIC/mmio writers land.
#include "media_shim.h"

#include "png_writer.h"

namespace bench {
bool write_png_file(const Image &image, const std::string &path, std::string &error)
{
    error = "cannot write the file";
    return write_file(path, encode_png(image.width, image.height, image.rgb));
}

bool write_audio_file(const std::vector<AudioCue> &cues, double length, const std::string &sounds_dir,
                      const std::string &path, std::vector<std::string> &warnings, std::string &error)
{
    error = "cannot write the file";
    return write_file(path, encode_wav(mix_cues(cues, length, sounds_dir, warnings)));
}
}  // namespace bench
