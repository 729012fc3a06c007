#include "check_installs.h"

#include <math.h>
#include <string.h>

#include <algorithm>

#include "media_files.h"

namespace test_support {

static std::wstring wide(const std::string &path) { return toolbox::widen(path); }

std::vector<uint8_t> pcm_wave()
{
    std::vector<uint8_t> data;
    for (int i = 0; i < 11025; ++i)
        put_le(data, (uint16_t)(int16_t)(8000 * sin(i * 440.0 * 6.2831853 / 22050)), 2);
    return plain(wave_format(1, 1, 22050, 16), data);
}

std::vector<uint8_t> adpcm_wave()
{
    std::vector<uint8_t> data;
    for (int block = 0; block < 20; ++block) {
        data.insert(data.end(), {0, 0, 0, 0});
        data.insert(data.end(), 252, 0x17);
    }
    std::vector<uint8_t> format = wave_format(0x11, 1, 22050, 4, 22050 * 256 / 505, 256), fact;
    put_le(format, 2, 2), put_le(format, 505, 2);  // cbSize, then the samples a block
    put_le(fact, 20 * 505, 4);
    return riff({{"fmt ", format}, {"fact", fact}, {"data", data}});
}

std::vector<uint8_t> undecodable_mp3_wave()
{
    std::vector<uint8_t> format = wave_format(0x55, 1, 44100, 0, 16000, 1);
    put_le(format, 12, 2), put_le(format, 1, 2), put_le(format, 2, 4);  // cbSize, MPEG, no padding
    put_le(format, 417, 2), put_le(format, 1, 2), put_le(format, 1393, 2);  // block, frames a block, delay
    return plain(format, std::vector<uint8_t>(417 * 20, 0));
}

int replace_bytes(std::string &bytes, const std::string &from, const std::string &to)
{
    int count = 0;
    for (auto at = bytes.begin(); (at = std::search(at, bytes.end(), from.begin(), from.end())) != bytes.end(); ++count)
        at = std::copy(to.begin(), to.end(), at);
    return count;
}

std::string utf16(const char *text)
{
    std::string bytes;
    for (; *text; ++text)
        bytes += {*text, 0};
    return bytes;
}

std::string third_party_library(const char *variant)
{
    std::string bytes = read_file(exe_folder() + "sound\\" + variant + "\\GaugeSound.dll");
    const char journal[] = "GaugeSoundJournal", renamed[] = "GaugeSoundLogbook";
    EXPECT_GE(replace_bytes(bytes, {journal, journal + 17}, {renamed, renamed + 17}), 1) << variant;
    EXPECT_GE(replace_bytes(bytes, utf16("stand-in"), utf16("standard")), 1) << variant;
    return bytes;
}

std::string as_64bit(std::string bytes)
{
    uint32_t pe;
    memcpy(&pe, &bytes[60], 4);
    bytes[pe + 4] = 0x64, bytes[pe + 5] = (char)0x86;
    bytes[pe + 24] = 0x0B, bytes[pe + 25] = 0x02;
    return bytes;
}

void build_good_install(const Install &install)
{
    install.text("sim\\fs9.exe", "");
    for (const char *module : MODULE_FILES)
        install.put(std::string("sim\\Gauges\\") + module, read_file(module_path(module)));
    install.put("sim\\GaugeSound.dll", third_party_library("full"));
    install.put("sim\\sound\\QX\\Supersonic.wav", pcm_wave());
    install.put("sim\\sound\\QX\\Speed_Brake.wav", pcm_wave());
    install.text(GOOD_CFG, GOOD_PANEL);
    install.text("sim\\Aircraft\\Other\\panel\\panel.cfg", "[Window00]\ngauge00=Cessna!Clock, 0, 0\n");
    make_folders(install.at("system"));
}

CheckRun run_gaugecheck(const std::string &root, const std::string &arguments)
{
    SetEnvironmentVariableW(L"GAUGECHECK_SYSTEM_DIRS", wide(root + "\\system").c_str());
    SetEnvironmentVariableW(L"GAUGECHECK_VIRTUAL_STORE", wide(root + "\\store").c_str());
    CheckRun run{run_program("gaugecheck.exe", arguments, root + "\\gaugecheck")};
    if (run.timed_out)
        ADD_FAILURE() << "gaugecheck.exe hangs";
    run.records = json_lines(run.out);
    return run;
}

std::string install_root(const std::string &name)
{
    std::wstring relative = wide(exe_folder() + "..\\gaugecheck-installs\\" + name);
    wchar_t full[MAX_PATH];
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, 0);
    std::string root = toolbox::narrow(full);
    remove_tree(root);
    return root;
}

}  // namespace test_support
