#include "base/file_io.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

std::string Describe(const std::string& what, const std::string& path, int err) {
    return what + " " + path + ": " + std::strerror(err);
}

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now so that a failing close (a late write error) is seen.
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Sixteen hex digits from the kernel's random source: another user cannot
// guess the name of a temporary file and take it first.
bool RandomSuffix(std::string& suffix) {
    unsigned char bytes[8];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = ::getrandom(bytes + got, sizeof bytes - got, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        got += static_cast<std::size_t>(n);
    }
    static const char kHex[] = "0123456789abcdef";
    suffix.clear();
    for (unsigned char b : bytes) {
        suffix += kHex[b >> 4];
        suffix += kHex[b & 0x0F];
    }
    return true;
}

// A fresh file beside the target; O_EXCL so that no existing file is reused.
int CreateTempBeside(const std::filesystem::path& target, std::string& tempPath) {
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string suffix;
        if (!RandomSuffix(suffix)) return -1;
        // Appended piece by piece: GCC 12 at -O3 warns falsely about "." + string.
        std::string name = ".";
        name += target.filename().string();
        name += ".tmp-";
        name += suffix;
        tempPath = (dir / name).string();
        const int fd = ::open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// A replaced file keeps its permissions when it is a regular file of this
// user, masked as a new file would be. A symbolic link or another user's
// file gives nothing: a preset saved over a world-writable file of someone
// else must not stay world-writable.
void KeepExistingMode(const std::string& path, int fd) {
    struct stat old {};
    struct stat created {};
    if (::lstat(path.c_str(), &old) != 0 || !S_ISREG(old.st_mode) || old.st_uid != ::geteuid())
        return;
    // The fresh file was made 0666 less the umask: that is the mask.
    if (::fstat(fd, &created) != 0) return;
    ::fchmod(fd, old.st_mode & created.st_mode & 0666);
}

void SyncFolderOf(const std::filesystem::path& target) {
    const std::filesystem::path dir =
        target.has_parent_path() ? target.parent_path() : std::filesystem::path(".");
    FileDescriptor fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.valid()) ::fsync(fd.get());
}

bool WriteTemp(FileDescriptor& fd, const std::string& tempPath, std::span<const BYTE> bytes,
               std::string& error) {
    if (!WriteAll(fd.get(), bytes)) {
        error = Describe("cannot write", tempPath, errno);
        return false;
    }
    if (::fsync(fd.get()) != 0) {
        error = Describe("cannot flush", tempPath, errno);
        return false;
    }
    if (!fd.Close()) {
        error = Describe("cannot close", tempPath, errno);
        return false;
    }
    return true;
}

}  // namespace

bool WriteAll(int fd, std::span<const BYTE> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool ReadWholeFile(const std::string& path, std::size_t maxBytes, std::vector<BYTE>& bytes,
                   std::string& error) {
    // Non-blocking, so that a FIFO or device node is refused at once instead
    // of waiting for a writer; a regular file ignores it.
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
    if (!fd.valid()) {
        error = Describe("cannot open", path, errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        error = Describe("cannot read", path, errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = path + " is not a regular file";
        return false;
    }
    bytes.assign(maxBytes + 1, 0);  // one more than allowed shows a file that is too long
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = Describe("cannot read", path, errno);
            bytes.clear();
            return false;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > maxBytes) {
        error = path + " is longer than " + std::to_string(maxBytes) + " bytes";
        bytes.clear();
        return false;
    }
    bytes.resize(got);
    return true;
}

bool ReplaceFileAtomically(const std::string& path, std::span<const BYTE> bytes,
                           std::string& error) {
    const std::filesystem::path target(path);
    if (!target.has_filename()) {
        error = "no file name in " + path;
        return false;
    }
    std::string tempPath;
    FileDescriptor fd(CreateTempBeside(target, tempPath));
    if (!fd.valid()) {
        error = Describe("cannot create a file beside", path, errno);
        return false;
    }
    KeepExistingMode(path, fd.get());
    if (!WriteTemp(fd, tempPath, bytes, error)) {
        ::unlink(tempPath.c_str());
        return false;
    }
    if (::rename(tempPath.c_str(), path.c_str()) != 0) {
        error = Describe("cannot replace", path, errno);
        ::unlink(tempPath.c_str());
        return false;
    }
    SyncFolderOf(target);
    return true;
}
