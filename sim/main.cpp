// tqr905-sim: a virtual TQR-905 processor on the virtual HID bus, for demos,
// training and tests without hardware. See --help.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <functional>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "link/vhid_bus.h"
#include "sim/sim_server.h"

namespace {

constexpr const char kProgram[] = "tqr905-sim";

constexpr const char kHelp[] = R"(Usage: tqr905-sim [options]

A virtual TQR-905 processor. It listens on the virtual HID bus as the USB
device would (vendor 0483, product 5750, version 0200) and answers the
tuning programs as the processor does: settings, six sound groups, status
poll, identification, factory reset and the firmware boot loader.

Point a program at it by giving it the same bus directory, one that only
you can write (the programs refuse any other):
    bus=$(mktemp -d)
    TQR905_VHID_DIR=$bus tqr905-sim &
    TQR905_VHID_DIR=$bus tqr905 ...

Options:
  --bus DIR            bus directory (default: $TQR905_VHID_DIR, else
                       $XDG_RUNTIME_DIR/tqr905-vhid); made 0700 when missing,
                       refused when another user owns it or may write to it
  --name NAME          device name; it listens at DIR/NAME.sock (default tqr905)
  --id TEXT            identification it reports (default TQR-905-31EQ-V3.0);
                       the programs accept it when the first 15 characters match
  --source N           input source at start: 0 high level, 1 low level,
                       2 Bluetooth, 5 player
  --latency-ms X       delay of every input report, in ms (default 1)
  --jitter-ms X        plus a random 0..X ms per reply (default 0)
  --state FILE         keep the device memory in FILE: loaded at start when it
                       exists, saved shortly after each burst of changes and on exit
  --reboot-ms X        how long the device is off the bus after the firmware
                       boot command before it comes back (default 500)
  --stay-away-after-boot
                       after the boot command, do not come back (until "replug")
  --quiet              nothing on standard error but answers to commands

Faults (request numbers count the requests the device accepted):
  --drop-every N       the reply to every N-th request is lost
  --corrupt-every N    every N-th reply has a wrong check byte
  --resend-every N     every N-th request is answered "send it again"
  --empty-reply-at N   the N-th read request gets an empty data reply (once);
                       the programs take that for firmware that is too old
  --unplug-after N     the device leaves the bus after answering N requests
                       (once; "replug" brings it back)

Commands on standard input, one per line:
  source N             change the active input source, as the hand controller does
  unplug / replug      pull and plug the USB cable
  id TEXT              change the identification
  status               print the source, the session and the request counts
  save                 write the state file now
  quit                 leave the bus and exit
Signals: SIGINT and SIGTERM exit (the device leaves the bus, as unplugged);
SIGUSR1 steps the active source (0, 1, 2, 5, 0, ...).
)";

constexpr BYTE kSourceCycle[] = {0, 1, 2, 5};

struct Settings {
    SimServerOptions server;
    std::optional<std::string> identification;
    std::optional<int> source;
    bool stayAwayAfterBoot = false;
    bool quiet = false;
};

void Note(const std::string& text) {
    std::cerr << kProgram << ": " << text << '\n';
}

std::optional<double> ParseNumber(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

std::optional<int> ParseCount(std::string_view text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
    return value;
}

bool IsSource(int value) {
    return value >= 0 && value <= 5;
}

// Options that take a value, each with what it does to the settings.
using Setter = std::function<bool(Settings&, std::string_view)>;

Setter CountInto(int SimFaultPlan::*field) {
    return [field](Settings& s, std::string_view v) {
        const auto n = ParseCount(v);
        if (n) s.server.faults.*field = *n;
        return n.has_value();
    };
}

const std::map<std::string, Setter, std::less<>>& ValueOptions() {
    static const std::map<std::string, Setter, std::less<>> options = {
        {"--bus", [](Settings& s, std::string_view v) { return !(s.server.busDir = v).empty(); }},
        {"--name", [](Settings& s, std::string_view v) { return !(s.server.name = v).empty(); }},
        {"--id",
         [](Settings& s, std::string_view v) {
             s.identification = std::string(v);
             return true;
         }},
        {"--state",
         [](Settings& s, std::string_view v) { return !(s.server.stateFile = v).empty(); }},
        {"--source",
         [](Settings& s, std::string_view v) {
             const auto n = ParseCount(v);
             if (n && IsSource(*n)) s.source = *n;
             return n && IsSource(*n);
         }},
        {"--latency-ms",
         [](Settings& s, std::string_view v) {
             const auto x = ParseNumber(v);
             if (x) s.server.latencyMs = *x;
             return x.has_value();
         }},
        {"--jitter-ms",
         [](Settings& s, std::string_view v) {
             const auto x = ParseNumber(v);
             if (x) s.server.jitterMs = *x;
             return x.has_value();
         }},
        {"--reboot-ms",
         [](Settings& s, std::string_view v) {
             const auto n = ParseCount(v);
             if (n) s.server.rebootAway = std::chrono::milliseconds(*n);
             return n.has_value();
         }},
        {"--drop-every", CountInto(&SimFaultPlan::dropEvery)},
        {"--corrupt-every", CountInto(&SimFaultPlan::corruptEvery)},
        {"--resend-every", CountInto(&SimFaultPlan::resendEvery)},
        {"--empty-reply-at", CountInto(&SimFaultPlan::emptyReplyAt)},
        {"--unplug-after", CountInto(&SimFaultPlan::unplugAfter)},
    };
    return options;
}

enum class ParseOutcome { Run, Help, Bad };

ParseOutcome ParseArguments(int argc, char** argv, Settings& settings) {
    for (int i = 1; i < argc; ++i) {
        std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") return ParseOutcome::Help;
        if (arg == "--quiet") {
            settings.quiet = true;
            continue;
        }
        if (arg == "--stay-away-after-boot") {
            settings.stayAwayAfterBoot = true;
            continue;
        }
        std::string_view name = arg;
        std::optional<std::string_view> value;
        if (const auto eq = arg.find('='); eq != std::string_view::npos) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) {
            Note("unknown option " + std::string(arg) + " (try --help)");
            return ParseOutcome::Bad;
        }
        if (!value) {
            if (i + 1 >= argc) {
                Note(std::string(name) + " needs a value");
                return ParseOutcome::Bad;
            }
            value = argv[++i];
        }
        if (!option->second(settings, *value)) {
            Note("bad value for " + std::string(name) + ": " + std::string(*value));
            return ParseOutcome::Bad;
        }
    }
    return ParseOutcome::Run;
}

std::string StatusLine(SimServer& server) {
    const CVirtualProcessor::Counts counts = server.Processor().GetCounts();
    std::ostringstream out;
    out << "source " << static_cast<int>(server.Processor().ActiveSource()) << ", "
        << (server.IsPlugged() ? "plugged in" : "unplugged") << ", "
        << (server.HasSession() ? "host connected" : "no host") << ", requests " << counts.frames
        << " (status polls " << counts.statusPolls << ", writes "
        << counts.itemWrites + counts.blockWrites + counts.systemWrites << ", reads "
        << counts.blockReads + counts.systemReads - counts.statusPolls << ", bad "
        << counts.badFrames << ")";
    return out.str();
}

void StepSource(SimServer& server) {
    const BYTE current = server.Processor().ActiveSource();
    std::size_t next = 0;
    for (std::size_t i = 0; i < std::size(kSourceCycle); ++i) {
        if (kSourceCycle[i] == current) next = (i + 1) % std::size(kSourceCycle);
    }
    server.SetActiveSource(kSourceCycle[next]);
    Note("active source " + std::to_string(kSourceCycle[next]));
}

// One command line from standard input; false for quit.
bool RunCommand(SimServer& server, const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    std::string rest;
    std::getline(in >> std::ws, rest);
    if (command.empty()) return true;
    if (command == "quit" || command == "exit") return false;
    if (command == "source") {
        const auto n = ParseCount(rest);
        if (n && IsSource(*n)) {
            server.SetActiveSource(static_cast<BYTE>(*n));
            Note("active source " + std::to_string(*n));
        } else {
            Note("source takes 0, 1, 2 or 5");
        }
    } else if (command == "unplug") {
        server.Unplug();
        Note("unplugged");
    } else if (command == "replug") {
        const LinkStatus back = server.Replug();
        Note(back ? "plugged in at " + server.InterfacePath() : back.ErrorText());
    } else if (command == "id") {
        server.Processor().SetIdentification(rest);
        Note("identification \"" + server.Processor().Identification() + "\"");
    } else if (command == "status") {
        Note(StatusLine(server));
    } else if (command == "save") {
        std::string error;
        Note(server.SaveState(&error) ? "saved" : "unable to save: " + error);
    } else if (command == "help") {
        std::cerr << kHelp;
    } else {
        Note("unknown command \"" + command + "\" (help lists them)");
    }
    return true;
}

// Waits for command lines and signals until quit, end of a signal or error.
void ServeUntilQuit(SimServer& server, int signalFd) {
    std::string pending;
    bool stdinOpen = true;
    for (;;) {
        pollfd fds[2] = {{signalFd, POLLIN, 0}, {stdinOpen ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[0].revents & POLLIN) {
            signalfd_siginfo info{};
            if (::read(signalFd, &info, sizeof info) == sizeof info) {
                if (info.ssi_signo != SIGUSR1) return;
                StepSource(server);
            }
        }
        if (fds[1].revents & (POLLIN | POLLHUP)) {
            char buffer[512];
            const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (n <= 0) {
                stdinOpen = false;  // keep serving: ended by a signal then
                continue;
            }
            pending.append(buffer, static_cast<std::size_t>(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos;) {
                const std::string line = pending.substr(0, end);
                pending.erase(0, end + 1);
                if (!RunCommand(server, line)) return;
            }
        }
    }
}

// Signals are taken through a descriptor, so they are blocked in every thread
// (the server's threads inherit the mask) and handled in the main loop.
int BlockSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGUSR1, SIGHUP})
        sigaddset(&set, sig);
    if (::pthread_sigmask(SIG_BLOCK, &set, nullptr) != 0) return -1;
    return ::signalfd(-1, &set, SFD_CLOEXEC);
}

// After the state file: options given now win over what it holds.
void ApplyDeviceSettings(const Settings& settings, SimServer& server) {
    CVirtualProcessor& processor = server.Processor();
    if (settings.identification) processor.SetIdentification(*settings.identification);
    if (settings.source) server.SetActiveSource(static_cast<BYTE>(*settings.source));
    processor.SetStayAwayAfterBoot(settings.stayAwayAfterBoot);
}

}  // namespace

int main(int argc, char** argv) {
    Settings settings;
    switch (ParseArguments(argc, argv, settings)) {
        case ParseOutcome::Help:
            std::cout << kHelp;
            return 0;
        case ParseOutcome::Bad:
            return 2;
        case ParseOutcome::Run:
            break;
    }
    CVirtualProcessor processor;
    SimServer server(processor, settings.server);
    if (!settings.quiet) server.SetEventLog(Note);
    // The state file is read while Ctrl-C still ends the program; the
    // signals are blocked only before the server starts its threads.
    LinkStatus started = server.LoadState();
    if (!started) {
        Note(started.ErrorText());
        return 1;
    }
    const int signalFd = BlockSignals();
    if (signalFd < 0) {
        Note("unable to take signals");
        return 1;
    }
    ApplyDeviceSettings(settings, server);
    started = server.Start();
    if (!started) {
        Note(started.ErrorText());
        return 1;
    }

    const std::string busDir =
        settings.server.busDir.empty() ? vhid::BusDirectory() : settings.server.busDir;
    if (!settings.quiet) {
        Note("TQR-905 processor \"" + processor.Identification() + "\" at " +
             server.InterfacePath());
        Note("programs find it with TQR905_VHID_DIR=" + vhid::NormalDirectory(busDir));
    }

    ServeUntilQuit(server, signalFd);
    server.Stop();
    ::close(signalFd);
    if (!settings.quiet) Note("stopped");
    return 0;
}
