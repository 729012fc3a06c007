// The one-line echo of a user's text.
#include "printable.h"

#include <stdio.h>

namespace toolbox {

std::string printable(const std::string &text, size_t limit)
{
    size_t cut = text.size();
    if (cut > limit) {
        cut = limit;
        while (cut > 0 && ((unsigned char)text[cut] & 0xC0) == 0x80)
            --cut;
    }
    std::string out;
    for (size_t i = 0; i < cut; ++i) {
        unsigned char c = (unsigned char)text[i];
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += (char)c;
        }
    }
    return cut < text.size() ? out + "..." : out;
}

}  // namespace toolbox
