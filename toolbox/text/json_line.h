// One JSON record as one line, for the tools' JSON Lines. A user's file in an odd code page, or
// a gauge's text, can hold bytes that are no UTF-8: they become U+FFFD rather than lose the line.
// Header only: for targets that see nlohmann-json (json_headers in the cross build).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace toolbox {

inline std::string json_line(const nlohmann::ordered_json &record)
{
    return record.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

}  // namespace toolbox
