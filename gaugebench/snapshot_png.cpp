// WIC's PNG encoder: one frame of 24-bit pixels, written straight to the file by a WIC stream.
#include "snapshot_png.h"

#include <windows.h>
#include <wincodec.h>

#include "com_held.h"
#include "toolbox.h"

namespace bench {

using toolbox::Held;

static bool encode(const Image &image, const std::string &path)
{
    Held<IWICImagingFactory> factory;
    Held<IWICStream> stream;
    Held<IWICBitmapEncoder> encoder;
    Held<IWICBitmapFrameEncode> frame;
    Held<IPropertyBag2> options;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, 0, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory, (void **)factory.out())) ||
        FAILED(factory->CreateStream(stream.out())) ||
        FAILED(stream->InitializeFromFilename(toolbox::widen(path).c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, 0, encoder.out())) ||
        FAILED(encoder->Initialize(stream.object, WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.out(), options.out())) || FAILED(frame->Initialize(options.object)) ||
        FAILED(frame->SetSize(image.width, image.height)))
        return false;
    // The encoder takes 24-bit pixels blue first; it may answer with another format, which
    // would not be ours.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR))
        return false;
    std::vector<uint8_t> bgr(image.rgb.size());
    for (size_t i = 0; i + 2 < bgr.size(); i += 3) {
        bgr[i] = image.rgb[i + 2];
        bgr[i + 1] = image.rgb[i + 1];
        bgr[i + 2] = image.rgb[i];
    }
    return SUCCEEDED(frame->WritePixels(image.height, image.width * 3, (UINT)bgr.size(), bgr.data())) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

bool write_png_file(const Image &image, const std::string &path, std::string &error)
{
    HRESULT com = CoInitializeEx(0, COINIT_APARTMENTTHREADED);
    bool ok = image.width && image.height && image.rgb.size() == (size_t)image.width * image.height * 3 && encode(image, path);
    if (SUCCEEDED(com))
        CoUninitialize();
    if (!ok)
        error = "cannot write " + path;
    return ok;
}

}  // namespace bench
