#include "temporary_name.h"

namespace toolbox {

static const char PREFIX[] = "~vqt7-";

std::string temporary_name(unsigned long process, unsigned long number, bool moved_aside)
{
    return PREFIX + std::to_string(process) + "-" + std::to_string(number) + (moved_aside ? ".old" : ".tmp");
}

// Digits up to `stop`, at least one and no more than a 32-bit number has.
static bool number_at(std::string_view name, size_t &at, char stop)
{
    size_t start = at;
    while (at < name.size() && name[at] >= '0' && name[at] <= '9')
        ++at;
    return at > start && at - start <= 10 && at < name.size() && name[at] == stop;
}

bool is_temporary_name(std::string_view name, unsigned long *process)
{
    std::string_view prefix = PREFIX;
    if (name.substr(0, prefix.size()) != prefix)
        return false;
    size_t at = prefix.size();
    if (!number_at(name, at, '-'))
        return false;
    ++at;
    if (!number_at(name, at, '.'))
        return false;
    std::string_view suffix = name.substr(at);
    if (suffix != ".tmp" && suffix != ".old")
        return false;
    if (process)
        *process = std::stoul(std::string(name.substr(prefix.size(), name.find('-', prefix.size()) - prefix.size())));
    return true;
}

}  // namespace toolbox
