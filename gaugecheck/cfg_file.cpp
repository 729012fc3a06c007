// Reading a cfg file whole and handing its bytes to the core.
#include "cfg_file.h"

#include "toolbox.h"

namespace gaugecheck {

std::string CfgFile::shown(std::string_view raw) const
{
    return encoding == panelcfg::Encoding::ansi ? toolbox::ansi_to_utf8(std::string(raw)) : std::string(raw);
}

CfgRead read_cfg(const std::string &path, CfgFile &cfg, std::string &reason)
{
    std::vector<uint8_t> bytes;
    // One byte past the limit: the core then says a file is too large for a panel.cfg.
    if (!toolbox::read_whole_file(path, bytes, reason, panelcfg::TEXT_LIMIT + 1))
        return CfgRead::unreadable;
    std::string text(bytes.begin(), bytes.end());
    panelcfg::TextCheck check = panelcfg::check_text(text);
    if (!check.text) {
        reason = check.reason;
        return CfgRead::not_text;
    }
    cfg.encoding = check.encoding;
    cfg.document = panelcfg::read_document(std::move(text));
    return CfgRead::ok;
}

}  // namespace gaugecheck
