// The tqr905-sim program as a user runs it, seen from the connection manager:
// it appears on the bus, is connected and read, follows source commands on
// its standard input, and leaves the bus like an unplugged device on SIGTERM.

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "connection/connection_fixture.h"

extern char** environ;

namespace conn_test {
namespace {

class SimProgram {
public:
    explicit SimProgram(const std::vector<std::string>& args) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[0], STDIN_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[1]);
        std::vector<char*> argv{const_cast<char*>(TQR905_SIM_PROGRAM)};
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, TQR905_SIM_PROGRAM, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[0]);
        m_stdin = fds[1];
    }
    ~SimProgram() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            Wait();
        }
        if (m_stdin >= 0) ::close(m_stdin);
    }
    bool Started() const { return m_pid > 0; }
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        EXPECT_EQ(::write(m_stdin, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    void Signal(int sig) { ::kill(m_pid, sig); }
    // The exit status, or -1 when it did not exit normally.
    int Wait() {
        int status = 0;
        if (::waitpid(m_pid, &status, 0) != m_pid) return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    int m_stdin = -1;
};

using SimProgramTest = ConnectionTest;

TEST_F(SimProgramTest, ServesTheHostAndLeavesTheBusOnTerminate) {
    ASSERT_TRUE(m_manager.StartWatching());
    SimProgram sim({"--bus", m_busPath, "--name", "prog", "--latency-ms", "0", "--quiet"});
    ASSERT_TRUE(sim.Started());
    ASSERT_TRUE(RunUntilState(ConnectionState::Online));

    sim.Send("source 2");
    ASSERT_TRUE(RunUntil([] { return g_SysSettings[kSysInputSource] == 2; }));
    EXPECT_EQ(m_cmd.GetShownSource(), 2);

    const std::string socket = m_busPath + "/prog.sock";
    sim.Signal(SIGTERM);
    ASSERT_TRUE(RunUntil([&] { return m_manager.State() == ConnectionState::Disconnected; }));
    EXPECT_EQ(sim.Wait(), 0);
    EXPECT_FALSE(std::filesystem::exists(socket));
    DrainPending();
    EXPECT_EQ(Shown(), std::vector{TextId::UnableToConnect});
}

TEST(SimProgramOptionsTest, BadOptionIsRefused) {
    SimProgram sim({"--drop-every", "often"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait(), 2);
}

// A FIFO given as the state file ends the program at once with a reason,
// instead of a read that waits for a writer with Ctrl-C blocked.
TEST(SimProgramOptionsTest, FifoAsStateFileIsRefused) {
    char pattern[] = "/tmp/tqrsimp-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string dir = pattern;
    const std::string fifo = dir + "/device.state";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    SimProgram sim({"--bus", dir + "/bus", "--state", fifo, "--quiet"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait(), 1);
    std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace conn_test
