#pragma once
// The virtual HID bus shared by tqr905-sim and the link: a directory of
// listening SOCK_SEQPACKET sockets, one per device. On each connection the
// device sends its identity ('I', vendor, product, version, 16-bit LE each);
// the client answers 'Q' (identity only; the device hangs up) or 'O' (open),
// to which the device answers 'Y' (this is now its only I/O session) or 'N'
// (busy). In a session every message is one 65-byte report, both ways.

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/fd_util.h"
#include "link/hid_backend.h"

namespace vhid {

constexpr std::string_view kScheme = "vhid";
constexpr std::string_view kSocketSuffix = ".sock";

constexpr char kIdentityTag = 'I';
constexpr char kQueryOnly = 'Q';
constexpr char kOpenSession = 'O';
constexpr char kGranted = 'Y';
constexpr char kRefused = 'N';
constexpr std::size_t kIdentitySize = 7;

// $TQR905_VHID_DIR, else $XDG_RUNTIME_DIR/tqr905-vhid, made absolute; empty
// when neither is set. There is no fallback in a shared directory such as
// /tmp: another user could create it first and pose as the processor. The
// bus directory must pass IsPrivateDirectory, and the host checks that the
// device at a socket runs as the same user.
std::string BusDirectory();

// Why there is no bus when BusDirectory() is empty.
constexpr std::string_view kNoBusDirectory =
    "no virtual bus directory: XDG_RUNTIME_DIR is not set; set TQR905_VHID_DIR to a directory "
    "only you can write";

// The directory as an absolute path without "." / ".." parts or a final "/".
std::string NormalDirectory(const std::string& dir);

// "<dir>/<name>.sock", normalised and absolute.
std::string SocketPath(const std::string& busDir, const std::string& name);
std::string InterfacePath(const std::string& socketPath);

struct Identity {
    std::uint16_t nVendorId = 0;
    std::uint16_t nProductId = 0;
    std::uint16_t nVersion = 0;
};
std::array<std::uint8_t, kIdentitySize> EncodeIdentity(const Identity& id);
std::optional<Identity> DecodeIdentity(const std::uint8_t* data, std::size_t size);

// Fills a socket address; false when the path does not fit.
bool MakeAddress(const std::string& socketPath, sockaddr_un* address, socklen_t* length);

}  // namespace vhid
