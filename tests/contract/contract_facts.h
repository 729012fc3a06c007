// One fact of the host/module contract as one side describes it: what, and its value as text.
// The module's side (contract_module_side.cpp) reads the modules' headers, the host's side
// (contract_host_side.cpp) the stand-in host's; the build gives each only its own side's headers
// (contract/CMakeLists.txt).
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

struct ContractFact {
    std::string what;
    std::string value;
};

inline ContractFact fact(const char *what, int64_t value)
{
    return {what, std::to_string(value)};
}

inline ContractFact text_fact(const char *what, const char *text)
{
    return {what, std::string("\"") + text + "\""};
}

// Who removes a call's arguments, and how many 32-bit words it passes, told from a function
// pointer type (the calling convention is part of the type).
template <class R, class... P>
inline ContractFact convention(const char *what, R(__stdcall *)(P...))
{
    return {what, "callee removes " + std::to_string(sizeof...(P)) + " words"};
}

template <class R, class... P>
inline ContractFact convention(const char *what, R(__cdecl *)(P...))
{
    return {what, "caller removes " + std::to_string(sizeof...(P)) + " words"};
}

std::vector<ContractFact> module_side_facts();
std::vector<ContractFact> host_side_facts();
