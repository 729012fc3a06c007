// HTML escaping with a UTF-8 check, and base64.
#include "report_markup.h"

#include <stdio.h>

namespace bench {

// The length of the well-formed UTF-8 sequence at `at`, or 0: no overlong forms, no
// surrogates, nothing past U+10FFFF.
static size_t utf8_length(const std::string &bytes, size_t at)
{
    unsigned char lead = bytes[at];
    size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3
                  : lead >= 0xF0 && lead <= 0xF4 ? 4 : 0;
    if (length == 0 || at + length > bytes.size())
        return 0;
    for (size_t i = 1; i < length; ++i)
        if (((unsigned char)bytes[at + i] & 0xC0) != 0x80)
            return 0;
    unsigned char second = bytes[at + 1];
    if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) || (lead == 0xF0 && second < 0x90) ||
        (lead == 0xF4 && second > 0x8F))
        return 0;
    return length;
}

std::string html_text(const std::string &bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (size_t at = 0; at < bytes.size();) {
        unsigned char c = bytes[at];
        size_t length = utf8_length(bytes, at);
        if (length == 0) {
            out += "\xEF\xBF\xBD";
            ++at;
            continue;
        }
        if (length > 1) {
            out.append(bytes, at, length);
        } else if (c == '&') {
            out += "&amp;";
        } else if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '"') {
            out += "&quot;";
        } else if (c == '\'') {
            out += "&#39;";
        } else if (c == '\n') {
            out += "&#10;";  // a tooltip of several lines; as an attribute it must stay a reference
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            snprintf(escape, sizeof escape, "\\x%02X", c);
            out += escape;
        } else {
            out += (char)c;
        }
        at += length;
    }
    return out;
}

std::string base64(const uint8_t *bytes, size_t size)
{
    static const char DIGITS[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((size + 2) / 3 * 4);
    for (size_t i = 0; i < size; i += 3) {
        uint32_t group = (uint32_t)bytes[i] << 16 | (i + 1 < size ? bytes[i + 1] << 8 : 0) |
                         (i + 2 < size ? bytes[i + 2] : 0);
        out += DIGITS[group >> 18];
        out += DIGITS[(group >> 12) & 63];
        out += i + 1 < size ? DIGITS[(group >> 6) & 63] : '=';
        out += i + 2 < size ? DIGITS[group & 63] : '=';
    }
    return out;
}

std::string number_text(double value, int places)
{
    char text[64];
    snprintf(text, sizeof text, "%.*f", places, value);
    std::string out = text;
    if (out.find('.') != std::string::npos) {
        out.erase(out.find_last_not_of('0') + 1);
        if (out.back() == '.')
            out.pop_back();
    }
    return out == "-0" ? "0" : out;
}

}  // namespace bench
