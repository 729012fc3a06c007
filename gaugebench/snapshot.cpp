// Gauge face drawing with GDI into a 32-bit DIB section.
#include "snapshot.h"

#include <string.h>

namespace bench {

using namespace host_contract;

// What the host reads from an element to draw it, by byte position.
struct ElementPosition {
    int32_t x, y;
};

static ElementPosition element_position(const void *element)
{
    return {read_at<int32_t>(element, ELEMENT_POSITION_X_AT), read_at<int32_t>(element, ELEMENT_POSITION_Y_AT)};
}

// A string element's box, colours (COLORREF, 0x00BBGGRR) and font face.
struct StringLook {
    ElementPosition position;
    int32_t width, height;
    uint32_t foreground, background;
    char font_face[STRING_FONT_FACE_BYTES + 1];  // NUL-ended even when the module's is not
};

static StringLook string_look(const void *element)
{
    StringLook look;
    look.position = element_position(element);
    look.width = read_at<int32_t>(element, STRING_SIZE_X_AT);
    look.height = read_at<int32_t>(element, STRING_SIZE_Y_AT);
    look.foreground = read_at<uint32_t>(element, STRING_FG_COLOR_AT);
    look.background = read_at<uint32_t>(element, STRING_BG_COLOR_AT);
    memcpy(look.font_face, (const uint8_t *)element + STRING_FONT_FACE_AT, STRING_FONT_FACE_BYTES);
    look.font_face[STRING_FONT_FACE_BYTES] = 0;
    return look;
}

// The module's background bitmap as a packed DIB: header, palette, pixels.
static const BITMAPINFO *background_bitmap(const panel_host::Instance &instance)
{
    HMODULE module = instance.module->handle;
    HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(BACKGROUND_BITMAP_ID), (LPCSTR)RT_BITMAP);
    if (!resource || SizeofResource(module, resource) < sizeof(BITMAPINFOHEADER))
        return 0;
    HGLOBAL loaded = LoadResource(module, resource);
    return loaded ? (const BITMAPINFO *)LockResource(loaded) : 0;
}

static const void *dib_pixels(const BITMAPINFO *info)
{
    const BITMAPINFOHEADER &header = info->bmiHeader;
    uint32_t colours = header.biClrUsed;
    if (!colours && header.biBitCount <= 8)
        colours = 1u << header.biBitCount;
    return (const uint8_t *)info + header.biSize + colours * sizeof(RGBQUAD);
}

void face_size(const panel_host::Instance &instance, int &width, int &height)
{
    width = height = 0;
    // The host sizes a gauge by its background and clips every element to it.
    if (const BITMAPINFO *info = background_bitmap(instance)) {
        ElementPosition root = instance.elements.empty() ? ElementPosition{0, 0} : element_position(instance.elements[0]);
        width = info->bmiHeader.biWidth + root.x;
        height = abs(info->bmiHeader.biHeight) + root.y;
        return;
    }
    for (const panel_host::StringElement &string : instance.strings) {
        StringLook look = string_look(string.element);
        width = std::max(width, look.position.x + look.width);
        height = std::max(height, look.position.y + look.height);
    }
    width = std::max(width, 1);
    height = std::max(height, 1);
}

void face_origin(const std::vector<panel_host::Instance *> &instances, size_t index, int scale, int &x, int &y)
{
    x = SNAPSHOT_MARGIN * scale;
    y = SNAPSHOT_MARGIN * scale;
    for (size_t i = 0; i < index; ++i) {
        int width, height;
        face_size(*instances[i], width, height);
        x += (width + SNAPSHOT_MARGIN) * scale;
    }
}

static void draw_face(HDC dc, panel_host::Instance &instance, int left, int top, int scale)
{
    int face_width, face_height;
    face_size(instance, face_width, face_height);
    SaveDC(dc);
    IntersectClipRect(dc, left, top, left + face_width * scale, top + face_height * scale);
    // The root element's bitmap; a module without one leaves the canvas showing.
    const BITMAPINFO *info = background_bitmap(instance);
    if (!instance.elements.empty() && info) {
        ElementPosition root = element_position(instance.elements[0]);
        int width = info->bmiHeader.biWidth, height = abs(info->bmiHeader.biHeight);
        StretchDIBits(dc, left + root.x * scale, top + root.y * scale, width * scale, height * scale, 0, 0, width,
                      height, dib_pixels(info), info, DIB_RGB_COLORS, SRCCOPY);
    }
    // Each string element: its box in the background colour, the text in the foreground
    // colour, clipped to the box. The host's colours are COLORREF values (0x00BBGGRR).
    for (panel_host::StringElement &string : instance.strings) {
        StringLook look = string_look(string.element);
        // The cell height is the element's height; no smoothing, so text pixels keep the
        // element's exact foreground colour.
        HFONT font = CreateFontA(look.height * scale, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET,
                                 OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, NONANTIALIASED_QUALITY,
                                 FIXED_PITCH | FF_MODERN, look.font_face);
        HGDIOBJ previous = SelectObject(dc, font);
        SetTextColor(dc, look.foreground & 0xFFFFFF);
        SetBkColor(dc, look.background & 0xFFFFFF);
        SetBkMode(dc, OPAQUE);
        int x = left + look.position.x * scale, y = top + look.position.y * scale;
        RECT box = {x, y, x + look.width * scale, y + look.height * scale};
        ExtTextOutA(dc, x, y, ETO_CLIPPED | ETO_OPAQUE, &box, string.text.c_str(), (UINT)string.text.size(), 0);
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    RestoreDC(dc, -1);
}

bool draw_faces(const std::vector<panel_host::Instance *> &instances, int scale, Image &image, std::string &error)
{
    int width = SNAPSHOT_MARGIN * scale, height = 0;
    for (panel_host::Instance *instance : instances) {
        int face_width, face_height;
        face_size(*instance, face_width, face_height);
        width += (face_width + SNAPSHOT_MARGIN) * scale;
        height = std::max(height, face_height);
    }
    height = (height + 2 * SNAPSHOT_MARGIN) * scale;

    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = 0;
    HDC dc = CreateCompatibleDC(0);
    HBITMAP bitmap = dc ? CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, 0, 0) : 0;
    if (!bitmap) {
        if (dc)
            DeleteDC(dc);
        error = "cannot create a drawing surface for the snapshot";
        return false;
    }
    HGDIOBJ previous = SelectObject(dc, bitmap);
    RECT all = {0, 0, width, height};
    HBRUSH canvas = CreateSolidBrush(RGB(SNAPSHOT_CANVAS_GREY, SNAPSHOT_CANVAS_GREY, SNAPSHOT_CANVAS_GREY));
    FillRect(dc, &all, canvas);
    DeleteObject(canvas);
    for (size_t i = 0; i < instances.size(); ++i) {
        int x, y;
        face_origin(instances, i, scale, x, y);
        draw_face(dc, *instances[i], x, y, scale);
    }
    GdiFlush();
    image.width = width;
    image.height = height;
    image.bgr.resize((size_t)width * height * 3);
    const uint8_t *bgrx = (const uint8_t *)bits;
    for (size_t i = 0; i < (size_t)width * height; ++i)
        memcpy(&image.bgr[i * 3], &bgrx[i * 4], 3);
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
    return true;
}

}  // namespace bench
