#pragma once
// The tqr905 command-line tool as a library: main() and the tests run the same
// entry point. Device commands drive the same core as the desktop application
// (connection manager, command queue, pump and bulk operations), so what a
// command does to a device is what the application does.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/hid_registry.h"
#include "link/link_timings.h"

// Exit statuses (also listed by `tqr905 --help` and in the README).
enum CliStatus : int {
    kExitOk = 0,
    kExitUsage = 1,          // unknown command or option, missing or malformed argument
    kExitFile = 2,           // a file cannot be read or written, or is not of its kind
    kExitNoDevice = 3,       // no device found, or it could not be opened
    kExitDevice = 4,         // wrong identification, empty reply, link failure, no answer in time
    kExitRefused = 5,        // a key, value or group name refused; nothing was sent
    kExitCancelled = 6,      // a confirmation was answered "no"
    kExitInterrupted = 130,  // SIGINT or SIGTERM; the link was stopped and the device released
};

// What tests (and only tests) replace.
struct CliHooks {
    // Shortened link time-outs; production uses the defaults.
    std::optional<LinkTimings> timings;
    // The backends to use instead of hidraw + vhid of the environment.
    std::function<std::unique_ptr<HidBackendRegistry>()> makeRegistry;
    // Whether stdin / stderr count as terminals; by default asked of the system.
    std::optional<bool> stdinIsTerminal;
    std::optional<bool> stderrIsTerminal;
    // Where confirmation answers are read from; by default std::cin.
    std::istream* in = nullptr;
};

// Runs one command line (without the program name). Output for people or
// programs goes to `out`, progress and errors to `err`. Returns the exit status.
int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           const CliHooks& hooks = {});

// Set from a signal handler: every wait of a running command ends, the link is
// stopped and the claim released, and the command returns kExitInterrupted.
void RequestCliInterrupt();
bool CliInterrupted();
void ClearCliInterrupt();
