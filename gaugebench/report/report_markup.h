// Text made safe for the report page: whatever bytes a gauge or a user wrote, put into HTML or
// SVG as text or an attribute value, and bytes as base64 for the page's data: addresses.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <string>

namespace bench {

// Text for an element's content or a quoted attribute value: & < > " ' as references, control
// characters as visible \xNN (a tooltip's line breaks stay), and bytes that are not UTF-8 as
// U+FFFD, so the page stays valid UTF-8 whatever a gauge wrote.
std::string html_text(const std::string &bytes);

// Standard base64 with padding, a whole number of 3-byte groups at a time when streamed.
std::string base64(const uint8_t *bytes, size_t size);

// A number as a page shows it: at most `places` decimals, trailing zeros dropped.
std::string number_text(double value, int places = 3);

}  // namespace bench
