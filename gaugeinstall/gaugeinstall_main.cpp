// gaugeinstall: puts the VQT7 gauges and their sounds into an aircraft and takes them out again,
// changing no other byte of the user's files. The files it installs are its own resources.
#include "console.h"
#include "gaugeinstall_run.h"

using namespace gaugeinstall;

static int run(const std::vector<std::string> &args)
{
    Payload payload;
    std::string reason;
    if (!load_payload(payload, reason)) {
        toolbox::write_line(toolbox::Stream::err, "gaugeinstall: " + reason);
        return EXIT_NOT_DONE;
    }
    SystemConsole console;
    return run_gaugeinstall(args, console, payload);
}

int wmain(int argc, wchar_t **argv)
{
    // An exception ends the run before a change or after apply_changes has put back what it did:
    // every change is made there, and it catches what it can throw. A stop while it runs waits
    // until it has put back what it did. An interactive run waits for Enter itself.
    return toolbox::run_console_tool({"gaugeinstall", "nothing was changed", false, stop_changes}, argc, argv, run);
}
