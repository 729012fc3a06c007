// An output that never destroys an earlier result: the run writes into a temporary file beside
// the target, which replaces the target only when the whole run has succeeded. A run that fails
// leaves the target as it was and removes the temporary file.
#pragma once

#include <string>

namespace bench {

class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;
    ~OutputFile() { discard(); }

    // Creates an empty temporary file in the target's folder, so that a folder that cannot be
    // written, or a target that cannot be replaced, fails before the run rather than after it.
    // False with a reason on failure.
    bool open(const std::string &target, std::string &reason);
    const std::string &target() const { return target_; }
    const std::string &temporary() const { return temporary_; }
    // Whether the target could be replaced now: absent, or neither read-only nor held open by a
    // program that does not let it be deleted. False with a reason otherwise.
    bool can_replace(std::string &reason) const;
    // Moves the temporary file over the target. False with a reason on failure (the target is
    // then as it was, and the temporary file gone).
    bool commit(std::string &reason);
    void discard();

private:
    std::string target_, temporary_;
};

// Removes every temporary file still on disk, by the names the outputs left: for the exits that
// end the process at once (Ctrl+C, a fault in the bench's own code), which cannot reach the run.
// A run that ends early discards its own outputs. No output is replaced after it, and none is
// half replaced while it runs; returns whether the run had replaced one already.
bool discard_open_outputs();

}  // namespace bench
