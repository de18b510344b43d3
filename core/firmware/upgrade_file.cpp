#include "firmware/upgrade_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <vector>

#include "base/messages.h"
#include "protocol/frame_format.h"

namespace {

// Reads are cut into pieces so that a file shrinking under the reader shows
// as a short read instead of a quiet tail of zeros.
constexpr size_t kReadPiece = 64 * 1024;
// Steps of an update beyond its blocks: search, boot, start, end and slack.
constexpr int kProgressStepsBesideBlocks = 6;

struct ExtensionRule {
    const char* extension;
    FirmwareKind kind;
};
constexpr ExtensionRule kExtensions[] = {
    {"dsp", FirmwareKind::Processor},
    {"contr", FirmwareKind::Controller},
};

UpgradeLoadResult Refuse(TextId error) {
    PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(error));
    UpgradeLoadResult result;
    result.eError = error;
    return result;
}

// The whole file, or none when any read fails or the file ends early.
std::optional<std::vector<BYTE>> ReadWhole(CImageFileReader& reader, size_t n) {
    std::vector<BYTE> bytes(n);
    size_t got = 0;
    while (got < n) {
        const ssize_t r = reader.Read(bytes.data() + got, std::min(kReadPiece, n - got));
        if (r <= 0) return std::nullopt;
        got += static_cast<size_t>(r);
    }
    return bytes;
}

void Install(UpgradeState& state, FirmwareKind kind, std::vector<BYTE> bytes) {
    if (kind == FirmwareKind::Processor) {
        state.m_ProcessorImage.Assign(std::move(bytes));
        state.m_bProcessorLoaded = true;
    } else {
        state.m_ControllerImage.Assign(std::move(bytes));
        state.m_bControllerLoaded = true;
    }
}

}  // namespace

std::optional<FirmwareKind> FirmwareKindOfPath(const std::string& path) {
    const std::string name = std::filesystem::path(path).filename().string();
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos) return std::nullopt;
    const std::string extension = name.substr(dot + 1);
    for (const ExtensionRule& rule : kExtensions) {
        if (extension == rule.extension) return rule.kind;
    }
    return std::nullopt;
}

int UpgradeProgressTotal(size_t imageBytes) {
    return static_cast<int>(imageBytes / kUpgradeBlockBytes) + kProgressStepsBesideBlocks;
}

CImageFileReader::~CImageFileReader() {
    if (m_fd >= 0) ::close(m_fd);
}

bool CImageFileReader::Open(const std::string& path) {
    if (m_fd >= 0) ::close(m_fd);
    // Non-blocking, so that a FIFO or device node named like an image is
    // refused at once instead of waiting for a writer; plain files ignore it.
    m_fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    return m_fd >= 0;
}

std::optional<size_t> CImageFileReader::Size() {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    return static_cast<size_t>(st.st_size);
}

ssize_t CImageFileReader::Read(BYTE* into, size_t n) {
    ssize_t r;
    do {
        r = ::read(m_fd, into, n);
    } while (r < 0 && errno == EINTR);
    return r;
}

UpgradeLoadResult LoadUpgradeFile(const std::string& path, UpgradeState& state) {
    CImageFileReader reader;
    return LoadUpgradeFile(path, state, reader);
}

UpgradeLoadResult LoadUpgradeFile(const std::string& path, UpgradeState& state,
                                  CImageFileReader& reader) {
    // Reset first: whatever goes wrong below, no image of an earlier file is left.
    state.Reset();
    if (!reader.Open(path)) return Refuse(TextId::HexFileError);
    const std::optional<FirmwareKind> kind = FirmwareKindOfPath(path);
    if (!kind) return Refuse(TextId::UpgradeFileTypeError);
    const std::optional<size_t> size = reader.Size();
    // A file that is not a plain file or holds nothing would start an update
    // that has nothing to send.
    if (!size || *size == 0) return Refuse(TextId::HexFileError);
    if (*size > kMaxUpgradeFileBytes) return Refuse(TextId::UpgradeFileTooLarge);
    if (*kind == FirmwareKind::Controller) {
        PostUiMessage(UM_SHOW_MESSAGE, static_cast<std::uintptr_t>(TextId::ControllerWarning));
    }
    std::optional<std::vector<BYTE>> bytes = ReadWhole(reader, *size);
    if (!bytes) return Refuse(TextId::HexFileError);
    Install(state, *kind, std::move(*bytes));
    state.m_nProgressTotal = UpgradeProgressTotal(*size);

    UpgradeLoadResult result;
    result.bOk = true;
    result.eKind = *kind;
    result.nImageBytes = *size;
    result.nProgressTotal = state.m_nProgressTotal;
    return result;
}
