#include "link/claims.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <set>

#include "link/link_test_util.h"

namespace {

class Claims : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("TQR905_CLAIMS_DIR", m_dir.Path().c_str(), 1); }
    void TearDown() override { ::unsetenv("TQR905_CLAIMS_DIR"); }

    TempDir m_dir;
};

const std::string kPath = "vhid:/run/user/1000/tqr905-vhid/sim.sock";

TEST_F(Claims, OwnClaimMarksThePathUntilReleased) {
    EXPECT_TRUE(IsPathFree(kPath));
    ASSERT_TRUE(ClaimPath(kPath));
    EXPECT_TRUE(ClaimPath(kPath));  // a second claim of the same copy is harmless
    EXPECT_FALSE(IsPathFree(kPath));
    EXPECT_TRUE(IsPathFree("hidraw:/dev/hidraw0"));
    ReleasePath(kPath);
    EXPECT_TRUE(IsPathFree(kPath));
    ReleasePath(kPath);  // nothing to release
    EXPECT_TRUE(IsPathFree(kPath));
}

// Another copy of the program is a child process that claims, reports, and
// waits until told to exit without releasing.
TEST_F(Claims, AnotherCopysClaimBlocksUntilThatCopyExits) {
    int toParent[2];
    int toChild[2];
    ASSERT_EQ(::pipe(toParent), 0);
    ASSERT_EQ(::pipe(toChild), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const char claimed = ClaimPath(kPath) ? 'y' : 'n';
        [[maybe_unused]] ssize_t n = ::write(toParent[1], &claimed, 1);
        char go = 0;
        n = ::read(toChild[0], &go, 1);
        ::_exit(0);  // like a crash: no release
    }
    char claimed = 0;
    ASSERT_EQ(::read(toParent[0], &claimed, 1), 1);
    ASSERT_EQ(claimed, 'y');

    EXPECT_FALSE(IsPathFree(kPath));
    EXPECT_FALSE(ClaimPath(kPath));

    ASSERT_EQ(::write(toChild[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {toParent[0], toParent[1], toChild[0], toChild[1]})
        ::close(fd);

    EXPECT_TRUE(IsPathFree(kPath));
    EXPECT_TRUE(ClaimPath(kPath));
    ReleasePath(kPath);
}

TEST_F(Claims, MarkerNamesAreSafeFileNamesThatKeepPathsApart) {
    const std::string paths[] = {
        "hidraw:/dev/hidraw0",
        "hidraw:/dev/hidraw1",
        "hidraw:/dev/hidraw%2F0",
        ".",
        "..",
        "",
        "vhid:/" + std::string(300, 'a') + "/1",
        "vhid:/" + std::string(300, 'a') + "/2",
    };
    std::set<std::string> names;
    for (const std::string& path : paths) {
        const std::string name = ClaimFileName(path);
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_NE(name.front(), '.') << name;
        EXPECT_LT(name.size(), 255u) << path;
        names.insert(name);
        // Each one can be claimed as a file of its own.
        EXPECT_TRUE(ClaimPath(path)) << path;
    }
    EXPECT_EQ(names.size(), std::size(paths));
    for (const std::string& path : paths)
        ReleasePath(path);
}

// Without TQR905_CLAIMS_DIR and XDG_RUNTIME_DIR no claims are kept: a
// shared folder such as /tmp would let another user lock every device.
TEST(ClaimsWithoutDirectory, NothingIsKeptAndNothingBlocks) {
    EnvWithout env({"TQR905_CLAIMS_DIR", "XDG_RUNTIME_DIR"});
    EXPECT_EQ(ClaimsDirectory(), "");
    std::string why;
    EXPECT_TRUE(ClaimPath(kPath, &why)) << why;
    EXPECT_TRUE(IsPathFree(kPath));
    ReleasePath(kPath);
}

// A claims folder others can change: its markers are not trusted and none
// are made there.
TEST_F(Claims, AFolderOthersControlIsRefusedWithTheReason) {
    for (const UntrustedDirCase& c : kUntrustedDirs) {
        if (c.bOtherOwner && !OtherUserIfRoot()) continue;
        const std::string dir = MakeUntrustedDir(m_dir.Path(), c);
        ASSERT_FALSE(dir.empty()) << c.name;
        ::setenv("TQR905_CLAIMS_DIR", dir.c_str(), 1);
        std::string why;
        EXPECT_FALSE(ClaimPath(kPath, &why)) << c.name;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
        EXPECT_TRUE(IsPathFree(kPath)) << c.name;
    }
}

// A FIFO or link planted under a marker's name neither blocks a look at the
// path (the window does that on device arrival) nor passes for a claim.
TEST_F(Claims, PlantedMarkersNeitherBlockNorClaim) {
    const std::string marker = m_dir.Path() + "/" + ClaimFileName(kPath);
    const std::string target = m_dir.Path() + "/target";
    std::ofstream(target) << "";
    const struct {
        const char* what;
        bool fifo;
        const char* why;
    } cases[] = {{"fifo", true, "not a regular file"}, {"link", false, "symbolic link"}};
    for (const auto& c : cases) {
        ::unlink(marker.c_str());
        if (c.fifo) {
            ASSERT_EQ(::mkfifo(marker.c_str(), 0600), 0);
        } else {
            ASSERT_EQ(::symlink(target.c_str(), marker.c_str()), 0);
        }
        EXPECT_TRUE(IsPathFree(kPath)) << c.what;
        std::string why;
        EXPECT_FALSE(ClaimPath(kPath, &why)) << c.what;
        EXPECT_NE(why.find(c.why), std::string::npos) << why;
    }
}

}  // namespace
