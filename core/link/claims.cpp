#include "link/claims.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include "link/fd_util.h"

namespace {

// The lock files this process holds, by path.
struct HeldClaims {
    std::mutex mutex;
    std::map<std::string, UniqueFd> held;
};

HeldClaims& Held() {
    static HeldClaims claims;
    return claims;
}

// Longer names are cut and completed by a hash, well below NAME_MAX.
constexpr std::size_t kMaxPlainName = 180;

bool IsPlainChar(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

std::uint64_t Fnv1a(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

std::string MarkerPath(const std::string& path) {
    return ClaimsDirectory() + "/" + ClaimFileName(path);
}

// True when fd is still the file at the marker path: a holder that released
// the path may have unlinked the file we opened before we locked it.
bool IsCurrentFile(int fd, const std::string& marker) {
    struct stat opened {};
    struct stat current {};
    return ::fstat(fd, &opened) == 0 && ::stat(marker.c_str(), &current) == 0 &&
           opened.st_dev == current.st_dev && opened.st_ino == current.st_ino;
}

// Another copy's IsPathFree holds a shared lock for a moment; only a lock
// still held after that belongs to a claim.
bool LockSoon(int fd) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK || std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// A marker is opened without following a link and without waiting (a FIFO
// planted under its name would block), and used only as a regular file;
// otherwise the fd is invalid and *pWhy says why.
UniqueFd OpenMarker(const std::string& marker, int flags, std::string* pWhy) {
    UniqueFd fd(
        ::open(marker.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600));
    if (!fd.Valid()) {
        *pWhy = errno == ELOOP ? "it is a symbolic link" : ErrnoText(errno);
        return fd;
    }
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        *pWhy = "not a regular file";
        fd.Reset();
    }
    return fd;
}

}  // namespace

std::string ClaimsDirectory() {
    const char* dir = std::getenv("TQR905_CLAIMS_DIR");
    if (dir != nullptr && *dir != '\0') return dir;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && *runtime != '\0') return std::string(runtime) + "/tqr905/claims";
    return {};
}

std::string ClaimFileName(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string name;
    for (unsigned char c : path) {
        if (IsPlainChar(c)) {
            name += static_cast<char>(c);
        } else {
            name += '%';
            name += kHex[c >> 4];
            name += kHex[c & 0x0F];
        }
    }
    // "." and ".." would name directories.
    if (name.empty() || name.front() == '.') name = "%" + name;
    if (name.size() > kMaxPlainName) {
        char hash[20];
        std::snprintf(hash, sizeof hash, "#%016llx", static_cast<unsigned long long>(Fnv1a(path)));
        name = name.substr(0, kMaxPlainName) + hash;
    }
    return name + ".lock";
}

bool IsPathFree(const std::string& path) {
    const std::string dir = ClaimsDirectory();
    std::string error;
    if (dir.empty() || !IsPrivateDirectory(dir, &error)) return true;
    UniqueFd fd = OpenMarker(MarkerPath(path), O_RDONLY, &error);
    if (!fd.Valid()) return true;  // no marker file: nobody ever claimed it
    // flock conflicts between open files, so this process's own claim counts too.
    if (::flock(fd.Get(), LOCK_SH | LOCK_NB) != 0) return errno != EWOULDBLOCK;
    ::flock(fd.Get(), LOCK_UN);
    return true;
}

bool ClaimPath(const std::string& path, std::string* pError) {
    HeldClaims& claims = Held();
    std::lock_guard lock(claims.mutex);
    if (claims.held.count(path) != 0) return true;
    const std::string dir = ClaimsDirectory();
    if (dir.empty()) return true;
    std::string error;
    const auto fail = [&](const std::string& why) {
        if (pError != nullptr) *pError = why;
        return false;
    };
    if (!EnsurePrivateDirectory(dir, &error)) return fail("claims directory: " + error);
    const std::string marker = MarkerPath(path);
    for (;;) {
        UniqueFd fd = OpenMarker(marker, O_RDWR | O_CREAT, &error);
        if (!fd.Valid()) return fail("unable to use the claim marker " + marker + ": " + error);
        if (!LockSoon(fd.Get())) return fail("claimed by another copy of the program");
        if (IsCurrentFile(fd.Get(), marker)) {
            claims.held.emplace(path, std::move(fd));
            return true;
        }
    }
}

void ReleasePath(const std::string& path) {
    HeldClaims& claims = Held();
    std::lock_guard lock(claims.mutex);
    const auto it = claims.held.find(path);
    if (it == claims.held.end()) return;
    // Unlink while still locked, so nobody can lock this file and take it
    // for the current marker.
    ::unlink(MarkerPath(path).c_str());
    claims.held.erase(it);
}
