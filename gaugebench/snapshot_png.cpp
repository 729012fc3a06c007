// WIC's PNG encoder: one frame of the image's 24-bit pixels as they are, written straight to the
// file by a WIC stream, or into memory for the report page.
#include "snapshot_png.h"

#include <windows.h>
#include <wincodec.h>

#include "com_held.h"
#include "toolbox.h"

namespace bench {

using toolbox::Held;

// Into a WIC stream that the caller points at a file or at memory.
static bool encode(const Image &image, IWICImagingFactory *factory, IWICStream *stream)
{
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    Held<IPropertyBag2> options;
    if (FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, 0, encoder.out())) ||
        FAILED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), options.out())) || FAILED(frame->Initialize(options.object)) ||
        FAILED(frame->SetSize(image.width, image.height)))
        return false;
    // The encoder takes 24-bit pixels blue first, as the image holds them; it may answer with
    // another format, which would not be ours.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return false;
    // WIC reads the pixels without writing them, whatever its declaration says.
    BYTE *pixels = const_cast<BYTE *>(image.bgr.data());
    return SUCCEEDED(frame->WritePixels(image.height, image.width * 3, (UINT)image.bgr.size(), pixels)) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

static bool encode_to_file(const Image &image, const std::string &path)
{
    Held<IWICImagingFactory> factory;
    Held<IWICStream> stream;
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, 0, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                      (void **)factory.out())) &&
           SUCCEEDED(factory->CreateStream(stream.out())) &&
           SUCCEEDED(stream->InitializeFromFilename(toolbox::widen(path).c_str(), GENERIC_WRITE)) &&
           encode(image, factory.object, stream.object);
}

// A growing memory stream; the bytes are what lies before its position when the encoder is done.
static bool encode_to_memory(const Image &image, std::vector<uint8_t> &png)
{
    Held<IWICImagingFactory> factory;
    Held<IStream> memory;
    Held<IWICStream> stream;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, 0, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                (void **)factory.out())) ||
        FAILED(CreateStreamOnHGlobal(0, TRUE, memory.out())) || FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromIStream(memory.object)) || !encode(image, factory.object, stream.object))
        return false;
    LARGE_INTEGER zero = {};
    ULARGE_INTEGER end = {};
    HGLOBAL global = 0;
    if (FAILED(memory->Seek(zero, STREAM_SEEK_CUR, &end)) || FAILED(GetHGlobalFromStream(memory.object, &global)) ||
        end.QuadPart > GlobalSize(global))
        return false;
    const uint8_t *bytes = (const uint8_t *)GlobalLock(global);
    if (!bytes)
        return false;
    png.assign(bytes, bytes + end.QuadPart);
    GlobalUnlock(global);
    return true;
}

static bool well_formed(const Image &image)
{
    return image.width && image.height && image.bgr.size() == (size_t)image.width * image.height * 3;
}

bool write_png_file(const Image &image, const std::string &path, std::string &error)
{
    HRESULT com = CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    bool ok = well_formed(image) && encode_to_file(image, path);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

bool encode_png(const Image &image, std::vector<uint8_t> &png, std::string &error)
{
    HRESULT com = CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    bool ok = well_formed(image) && encode_to_memory(image, png);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!ok)
        error = "cannot encode the faces as PNG";
    return ok;
}

}  // namespace bench
