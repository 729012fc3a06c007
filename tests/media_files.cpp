// PNG through WIC, WAV checked field by field and built chunk by chunk; see media_files.h.
#include "media_files.h"

#include <string.h>
#include <windows.h>
#include <wincodec.h>

#include <algorithm>

#include "com_held.h"
#include "toolbox.h"

namespace test_support {

using toolbox::Held;

static ::testing::AssertionResult decode_with_wic(const std::string &png, Pixels &pixels)
{
    Held<IWICImagingFactory> factory;
    Held<IWICStream> stream;
    Held<IWICBitmapDecoder> decoder;
    Held<IWICBitmapFrameDecode> frame;
    Held<IWICFormatConverter> converter;
    GUID container = {};
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, 0, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, (void **)factory.out())) ||
        FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromMemory((BYTE *)png.data(), (DWORD)png.size())))
        return ::testing::AssertionFailure() << "no WIC here";
    if (FAILED(factory->CreateDecoderFromStream(stream.object, 0, WICDecodeMetadataCacheOnDemand, decoder.out())) ||
        FAILED(decoder->GetContainerFormat(&container)) || !IsEqualGUID(container, GUID_ContainerFormatPng))
        return ::testing::AssertionFailure() << "not a PNG file WIC can read";
    UINT frames = 0, width = 0, height = 0;
    if (FAILED(decoder->GetFrameCount(&frames)) || frames != 1 || FAILED(decoder->GetFrame(0, frame.out())) ||
        FAILED(frame->GetSize(&width, &height)))
        return ::testing::AssertionFailure() << frames << " frames, not one image";
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.object, GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, 0, 0,
                                     WICBitmapPaletteTypeCustom)))
        return ::testing::AssertionFailure() << "its pixels do not convert to 24-bit";
    std::vector<uint8_t> bgr((size_t)width * height * 3);
    if (FAILED(converter->CopyPixels(0, width * 3, (UINT)bgr.size(), bgr.data())))
        return ::testing::AssertionFailure() << "its pixels cannot be read";
    pixels.width = width;
    pixels.height = height;
    pixels.rgb.resize(bgr.size());
    for (size_t i = 0; i < bgr.size(); i += 3) {
        pixels.rgb[i] = bgr[i + 2];
        pixels.rgb[i + 1] = bgr[i + 1];
        pixels.rgb[i + 2] = bgr[i];
    }
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult decode_png(const std::string &png, Pixels &pixels)
{
    HRESULT com = CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    ::testing::AssertionResult result = decode_with_wic(png, pixels);
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}

::testing::AssertionResult read_mono_wav(const std::string &wav, std::vector<float> &samples)
{
    if (wav.size() < 44)
        return ::testing::AssertionFailure() << "only " << wav.size() << " bytes";
    const uint8_t *bytes = (const uint8_t *)wav.data();
    auto u32 = [&](size_t at) { return (uint32_t)(bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | (uint32_t)bytes[at + 3] << 24); };
    auto u16 = [&](size_t at) { return (uint32_t)(bytes[at] | bytes[at + 1] << 8); };
    uint32_t data = (uint32_t)wav.size() - 44;
    struct Field {
        const char *name;
        uint32_t found, expected;
    };
    const Field fields[] = {
        {"RIFF", memcmp(&wav[0], "RIFF", 4) == 0, 1}, {"RIFF size", u32(4), 36 + data},
        {"WAVEfmt ", memcmp(&wav[8], "WAVEfmt ", 8) == 0, 1}, {"fmt size", u32(16), 16},
        {"format tag", u16(20), 1}, {"channels", u16(22), 1}, {"rate", u32(24), 22050},
        {"bytes a second", u32(28), 44100}, {"block align", u16(32), 2}, {"bits", u16(34), 16},
        {"data", memcmp(&wav[36], "data", 4) == 0, 1}, {"data size", u32(40), data},
    };
    for (const Field &field : fields)
        if (field.found != field.expected)
            return ::testing::AssertionFailure() << field.name << ": " << field.found << ", not " << field.expected;
    if (data % 2)
        return ::testing::AssertionFailure() << "half a sample at the end";
    samples.resize(data / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = (int16_t)u16(44 + 2 * i) / 32768.0f;
    return ::testing::AssertionSuccess();
}

void put_le(std::vector<uint8_t> &bytes, uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back((uint8_t)(value >> (8 * i)));
}

std::vector<uint8_t> wave_format(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint32_t per_second,
                                 uint16_t align)
{
    std::vector<uint8_t> format;
    align = align ? align : (uint16_t)(channels * bits / 8);
    put_le(format, tag, 2), put_le(format, channels, 2), put_le(format, rate, 4);
    put_le(format, per_second ? per_second : rate * align, 4), put_le(format, align, 2), put_le(format, bits, 2);
    return format;
}

std::vector<uint8_t> riff(const std::vector<Chunk> &chunks, size_t keep)
{
    std::vector<uint8_t> file = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    for (const Chunk &chunk : chunks) {
        file.insert(file.end(), chunk.id, chunk.id + 4);
        put_le(file, (uint32_t)(chunk.size_field < 0 ? chunk.body.size() : chunk.size_field), 4);
        file.insert(file.end(), chunk.body.begin(), chunk.body.end());
        if (chunk.pad && chunk.body.size() % 2)
            file.push_back(0);
    }
    uint32_t riff_size = (uint32_t)file.size() - 8;
    memcpy(&file[4], &riff_size, 4);
    file.resize(std::min(keep, file.size()));
    return file;
}

std::vector<uint8_t> plain(const std::vector<uint8_t> &format, const std::vector<uint8_t> &data)
{
    return riff({{"fmt ", format}, {"data", data}});
}

}  // namespace test_support
