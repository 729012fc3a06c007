#include "memory_files.h"

namespace simreading {

// Code page 1252's 0x80..0x9F; 0 where it defines no character.
static const char16_t CP1252_HIGH[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

static void put_utf8(std::string &out, unsigned code)
{
    if (code < 0x80) {
        out += (char)code;
    } else if (code < 0x800) {
        out += (char)(0xC0 | (code >> 6));
        out += (char)(0x80 | (code & 0x3F));
    } else {
        out += (char)(0xE0 | (code >> 12));
        out += (char)(0x80 | ((code >> 6) & 0x3F));
        out += (char)(0x80 | (code & 0x3F));
    }
}

std::string MemoryFiles::ansi_to_utf8(std::string_view ansi) const
{
    std::string out;
    for (unsigned char byte : ansi) {
        unsigned code = byte;
        if (byte >= 0x80 && byte < 0xA0)
            code = CP1252_HIGH[byte - 0x80] ? CP1252_HIGH[byte - 0x80] : 0xFFFD;
        put_utf8(out, code);
    }
    return out;
}

std::string MemoryFiles::key(std::string_view path)
{
    std::string folded;
    for (size_t i = 0; i < path.size(); ++i) {
        char c = path[i];
        if (c == '/')
            c = '\\';
        if (c >= 'a' && c <= 'z')
            c = (char)(c - 'a' + 'A');
        // Latin-1's small letters (U+00E0..U+00FE but U+00F7) as their capitals.
        if ((unsigned char)c == 0xC3 && i + 1 < path.size()) {
            unsigned char next = (unsigned char)path[i + 1];
            folded += c;
            folded += (char)(next >= 0xA0 && next <= 0xBE && next != 0xB7 ? next - 0x20 : next);
            ++i;
            continue;
        }
        folded += c;
    }
    while (folded.size() > 1 && folded.back() == '\\')
        folded.pop_back();
    return folded;
}

void MemoryFiles::add_folder(const std::string &path)
{
    std::string trimmed = path;
    while (!trimmed.empty() && (trimmed.back() == '\\' || trimmed.back() == '/'))
        trimmed.pop_back();
    if (trimmed.empty())
        return;
    size_t cut = trimmed.find_last_of("\\/");
    if (cut != std::string::npos)
        add_folder(trimmed.substr(0, cut));
    Node &node = nodes_[key(trimmed)];
    if (node.spelled.empty())
        node.spelled = trimmed;
    node.folder = true;
}

void MemoryFiles::add_file(const std::string &path, std::string bytes)
{
    size_t cut = path.find_last_of("\\/");
    if (cut != std::string::npos)
        add_folder(path.substr(0, cut));
    nodes_[key(path)] = Node{path, false, std::move(bytes)};
}

bool MemoryFiles::list(const std::string &folder, std::vector<FolderEntry> &entries, std::string &reason) const
{
    entries.clear();
    std::string prefix = key(folder);
    auto found = nodes_.find(prefix);
    if (found == nodes_.end() || !found->second.folder) {
        reason = "cannot list it (error 3)";
        return false;
    }
    prefix += '\\';
    for (auto node = nodes_.lower_bound(prefix); node != nodes_.end(); ++node) {
        if (node->first.compare(0, prefix.size(), prefix) != 0)
            break;
        if (node->first.find('\\', prefix.size()) != std::string::npos)
            continue;
        const std::string &spelled = node->second.spelled;
        entries.push_back({spelled.substr(spelled.find_last_of("\\/") + 1), node->second.folder});
    }
    return true;
}

bool MemoryFiles::read(const std::string &path, size_t limit, std::string &bytes, std::string &reason) const
{
    auto found = nodes_.find(key(path));
    if (found == nodes_.end() || found->second.folder) {
        reason = "cannot open (error 2)";
        return false;
    }
    bytes = found->second.bytes.substr(0, limit + 1);
    return true;
}

// As Windows redirects: only a file in the store stands in for the original, never a folder.
std::string MemoryFiles::effective(const std::string &path) const
{
    auto copy = copies_.find(key(path));
    if (copy == copies_.end())
        return path;
    auto node = nodes_.find(key(copy->second));
    return node != nodes_.end() && !node->second.folder ? copy->second : path;
}

}  // namespace simreading
