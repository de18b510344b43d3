#pragma once
// Claim markers: a copy of the program that opens an interface by path marks
// it, and other copies do not auto-connect a marked path. A marker is a lock
// file held with flock for as long as the path is claimed, so the marker of a
// copy that crashed goes away with the copy instead of blocking the device.
//
// Directory: $TQR905_CLAIMS_DIR, else $XDG_RUNTIME_DIR/tqr905/claims. It
// must pass IsPrivateDirectory; a marker is used only when it is a regular
// file (a FIFO or link planted there neither blocks nor misleads). Without
// either variable (sudo, cron) no claims are kept: a shared directory such
// as /tmp would let another user lock every device, and the device nodes
// are opened exclusively anyway. Paths are compared exactly (Linux device
// paths are case-sensitive).

#include <string>

// True unless some process, this one included, holds a claim on the path.
// Never blocks; markers in a directory that is not private are not trusted.
bool IsPathFree(const std::string& path);
// Claims the path for this process; false when another process holds it or
// the marker cannot be made, with the reason in *pError. Claiming a path
// already claimed here succeeds, and so does any claim while no claims are
// kept.
bool ClaimPath(const std::string& path, std::string* pError = nullptr);
// Drops this process's claim; nothing happens when it holds none.
void ReleasePath(const std::string& path);

// The marker directory (empty: no claims are kept) and the marker file name
// of a path (for tests and diagnostics).
std::string ClaimsDirectory();
std::string ClaimFileName(const std::string& path);
