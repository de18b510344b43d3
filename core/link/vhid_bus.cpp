#include "link/vhid_bus.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "base/types.h"

namespace vhid {

namespace {
std::string AbsoluteNormal(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    if (ec) absolute = path;
    std::string text = absolute.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/')
        text.pop_back();
    return text;
}

const char* NonEmptyEnv(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? value : nullptr;
}
}  // namespace

std::string NormalDirectory(const std::string& dir) {
    return AbsoluteNormal(dir);
}

std::string BusDirectory() {
    if (const char* dir = NonEmptyEnv("TQR905_VHID_DIR")) return AbsoluteNormal(dir);
    if (const char* runtime = NonEmptyEnv("XDG_RUNTIME_DIR")) {
        return AbsoluteNormal(std::filesystem::path(runtime) / "tqr905-vhid");
    }
    return {};
}

std::string SocketPath(const std::string& busDir, const std::string& name) {
    return AbsoluteNormal(std::filesystem::path(busDir) / (name + std::string(kSocketSuffix)));
}

std::string InterfacePath(const std::string& socketPath) {
    return std::string(kScheme) + ":" + socketPath;
}

std::array<std::uint8_t, kIdentitySize> EncodeIdentity(const Identity& id) {
    std::array<std::uint8_t, kIdentitySize> message{};
    message[0] = kIdentityTag;
    PutWord(&message[1], id.nVendorId);
    PutWord(&message[3], id.nProductId);
    PutWord(&message[5], id.nVersion);
    return message;
}

std::optional<Identity> DecodeIdentity(const std::uint8_t* data, std::size_t size) {
    if (size != kIdentitySize || data[0] != kIdentityTag) return std::nullopt;
    return Identity{GetWord(&data[1]), GetWord(&data[3]), GetWord(&data[5])};
}

bool MakeAddress(const std::string& socketPath, sockaddr_un* address, socklen_t* length) {
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (socketPath.empty() || socketPath.size() >= sizeof address->sun_path) return false;
    std::memcpy(address->sun_path, socketPath.data(), socketPath.size());
    *length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + socketPath.size() + 1);
    return true;
}

}  // namespace vhid
