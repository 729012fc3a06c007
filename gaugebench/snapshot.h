// Draws gauge faces as the host would: the background bitmap (host_contract.h) at the root
// element's position, then each string element's current text in its box, colours and font
// face. GDI does the drawing, so the font metrics are this system's, not the simulator's.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "standin_host.h"

namespace bench {

// Three bytes a pixel, blue first: the order the PNG encoder takes, so GDI's pixels are
// converted once, on their way out of the drawing surface.
struct Image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> bgr;  // rows top to bottom
};

// Space around and between faces, in gauge pixels, and the colour shown there.
constexpr int SNAPSHOT_MARGIN = 4;
constexpr uint8_t SNAPSHOT_CANVAS_GREY = 0x40;

// The faces of every instance side by side, left to right in instance order, each scaled
// by `scale`. Face i's top-left corner is at face_origin(instances, i, scale).
bool draw_faces(const std::vector<panel_host::Instance *> &instances, int scale, Image &image, std::string &error);
void face_origin(const std::vector<panel_host::Instance *> &instances, size_t index, int scale, int &x, int &y);
// A gauge face's size in gauge pixels: its background bitmap's, grown to hold every element.
void face_size(const panel_host::Instance &instance, int &width, int &height);

}  // namespace bench
