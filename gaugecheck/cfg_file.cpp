// Reading a cfg file whole with Windows' own calls and code page.
#include "cfg_file.h"

#include "windows_sim_files.h"

namespace gaugecheck {

CfgRead read_cfg(const std::string &path, CfgFile &cfg, std::string &reason)
{
    static const toolbox::WindowsSimFiles files;
    return simreading::read_cfg(files, path, cfg, reason);
}

}  // namespace gaugecheck
