#pragma once
// What the fault soaks share: their size and seed from the environment, a
// journal of the last actions (printed when a run fails, so that it can be
// read and replayed), a watchdog that ends a stalled run instead of letting
// ctest hang, and the resident memory of the process.
//
//   TQR905_SOAK_SECONDS  length of each soak (default kDefaultSoakSeconds)
//   TQR905_SOAK_SEED     seed of the faults and edits (default: a new one)
//
// The same seed gives the same sequence of faults, edits and plug actions;
// how the link's timing falls between them still varies from run to run.

#include <gtest/gtest.h>

#include <unistd.h>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace soak {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr double kDefaultSoakSeconds = 12.0;

struct SoakParams {
    std::chrono::milliseconds length{};
    std::uint64_t seed = 0;

    static SoakParams FromEnvironment() {
        SoakParams params;
        double seconds = kDefaultSoakSeconds;
        if (const char* text = std::getenv("TQR905_SOAK_SECONDS")) {
            const double given = std::strtod(text, nullptr);
            if (given > 0) seconds = given;
        }
        params.length = std::chrono::milliseconds(static_cast<long long>(seconds * 1000));
        if (const char* text = std::getenv("TQR905_SOAK_SEED")) {
            params.seed = std::strtoull(text, nullptr, 0);
        } else {
            params.seed =
                (static_cast<std::uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
        }
        return params;
    }

    std::string ReplayHint() const {
        return "seed " + std::to_string(seed) +
               " (replay: TQR905_SOAK_SEED=" + std::to_string(seed) +
               " TQR905_SOAK_SECONDS=" + std::to_string(length.count() / 1000.0) + ")";
    }
};

// The last actions of a run, with their time since the start.
class Journal {
public:
    explicit Journal(std::size_t keep = 60) : m_nKeep(keep) {}

    void Note(const std::string& what) {
        std::lock_guard lock(m_mutex);
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_start).count();
        m_lines.push_back(std::to_string(ms) + " ms: " + what);
        if (m_lines.size() > m_nKeep) m_lines.pop_front();
    }
    // The last `n` lines (all of them by default), one per line.
    std::string Tail(std::size_t n = SIZE_MAX) const {
        std::lock_guard lock(m_mutex);
        std::string text;
        const std::size_t skip = m_lines.size() > n ? m_lines.size() - n : 0;
        for (std::size_t i = skip; i < m_lines.size(); ++i)
            text += "  " + m_lines[i] + "\n";
        return text;
    }

private:
    mutable std::mutex m_mutex;
    const Clock::time_point m_start = Clock::now();
    std::size_t m_nKeep;
    std::deque<std::string> m_lines;
};

// Ends the process with a failure when the soak makes no progress for
// `stallLimit`: every wait of the soak is bounded far below that, so a stall
// is a hang in the code under test. The journal and the seed are printed.
class Watchdog {
public:
    Watchdog(const Journal& journal, std::string replayHint, Clock::duration stallLimit)
        : m_journal(journal), m_strHint(std::move(replayHint)), m_stallLimit(stallLimit) {
        m_lastBeat = Clock::now();
        m_thread = std::thread([this] { Watch(); });
    }
    ~Watchdog() {
        {
            std::lock_guard lock(m_mutex);
            m_bDone = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    void Beat() {
        std::lock_guard lock(m_mutex);
        m_lastBeat = Clock::now();
    }

private:
    void Watch() {
        std::unique_lock lock(m_mutex);
        while (!m_bDone) {
            m_wake.wait_for(lock, 100ms);
            if (m_bDone || Clock::now() - m_lastBeat < m_stallLimit) continue;
            std::fprintf(
                stderr, "\nSOAK STALLED: no progress for %lld ms, %s\nlast actions:\n%s",
                static_cast<long long>(
                    std::chrono::duration_cast<std::chrono::milliseconds>(m_stallLimit).count()),
                m_strHint.c_str(), m_journal.Tail().c_str());
            std::fflush(stderr);
            std::_Exit(3);
        }
    }

    const Journal& m_journal;
    std::string m_strHint;
    Clock::duration m_stallLimit;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    Clock::time_point m_lastBeat;
    bool m_bDone = false;
    std::thread m_thread;
};

// Under AddressSanitizer freed memory is held in quarantine and under
// ThreadSanitizer every access has shadow memory, so the resident set grows
// without a leak; those builds check for leaks at exit instead.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kResidentSetIsFlat = false;
#else
constexpr bool kResidentSetIsFlat = true;
#endif

// Resident set of this process in KiB (second field of /proc/self/statm).
inline long ResidentKiB() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return resident * (::sysconf(_SC_PAGESIZE) / 1024);
}

// Uniform picks from the soak's one generator.
class Dice {
public:
    explicit Dice(std::uint64_t seed) : m_engine(seed) {}
    int Between(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_engine); }
    bool Chance(double p) { return std::bernoulli_distribution(p)(m_engine); }
    template <class T, std::size_t N>
    const T& Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Between(0, static_cast<int>(N) - 1))];
    }
    std::mt19937_64& Engine() { return m_engine; }

private:
    std::mt19937_64 m_engine;
};

}  // namespace soak
