// tqr905: the command-line tool.

#include <signal.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli/cli.h"

namespace {

// The first interrupt lets the running command stop the link and release the
// device; a second one ends the program at once (the claim markers are
// flock-held files, so they go with it).
void OnInterrupt(int signal) {
    if (CliInterrupted()) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    RequestCliInterrupt();
}

void InstallInterruptHandlers() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    InstallInterruptHandlers();
    const std::vector<std::string> args(argv + 1, argv + argc);
    return RunCli(args, std::cout, std::cerr);
}
