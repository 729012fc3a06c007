// A panel.cfg or aircraft.cfg read from disk for the shared core: its lines over its own bytes,
// and its text shown in UTF-8 whatever its encoding. gaugecheck and gaugeinstall both read
// through here.
#pragma once

#include <string>
#include <string_view>

#include "panel_document.h"

namespace gaugecheck {

struct CfgFile {
    panelcfg::Document document;
    panelcfg::Encoding encoding = panelcfg::Encoding::utf8;
    // Bytes of the file as UTF-8 for a message: an ANSI file's through the system's code page.
    std::string shown(std::string_view raw) const;
};

enum class CfgRead {
    ok,
    unreadable,  // missing, locked, no access
    not_text,    // NUL bytes, or past panelcfg::TEXT_LIMIT
};

// `reason` says why for a user when the result is not ok.
CfgRead read_cfg(const std::string &path, CfgFile &cfg, std::string &reason);

}  // namespace gaugecheck
