// One gaugeinstall run, from its command line to its exit code, apart from the process around
// it: the lines go to a console the caller gives, and the files to install come from the caller,
// so a test can run it in its own process with a fault planted in any step.
#pragma once

#include <string>
#include <vector>

#include "console.h"
#include "file_changes.h"
#include "payload.h"

namespace gaugeinstall {

enum ExitCode { EXIT_DONE = 0, EXIT_NOT_DONE = 1, EXIT_USAGE = 2 };

struct Console {
    virtual ~Console() = default;
    virtual void line(toolbox::Stream stream, const std::string &utf8) = 0;
    virtual bool read_line(std::string &utf8) = 0;
};

// The process's own console, standard input and output.
struct SystemConsole : Console {
    void line(toolbox::Stream stream, const std::string &utf8) override { toolbox::write_line(stream, utf8); }
    bool read_line(std::string &utf8) override { return toolbox::read_line(utf8); }
};

int run_gaugeinstall(const std::vector<std::string> &args, Console &console, const Payload &payload,
                     FaultPlan *faults = nullptr);

}  // namespace gaugeinstall
