#pragma once
// Claim markers: a copy of the program that opens an interface by path marks
// it, and other copies do not auto-connect a marked path. A marker is a lock
// file held with flock for as long as the path is claimed, so the marker of a
// copy that crashed goes away with the copy instead of blocking the device.
//
// Directory: $TQR905_CLAIMS_DIR, else $XDG_RUNTIME_DIR/tqr905/claims, else
// /tmp/tqr905-claims-<uid>. Paths are compared exactly (Linux device paths
// are case-sensitive).

#include <string>

// True unless some process, this one included, holds a claim on the path.
bool IsPathFree(const std::string& path);
// Claims the path for this process; false when another process holds it or
// the marker cannot be made. Claiming a path already claimed here succeeds.
bool ClaimPath(const std::string& path);
// Drops this process's claim; nothing happens when it holds none.
void ReleasePath(const std::string& path);

// The marker directory and the marker file name of a path (for tests and diagnostics).
std::string ClaimsDirectory();
std::string ClaimFileName(const std::string& path);
