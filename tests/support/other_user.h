#pragma once
// "Another local user" for the tests of what the programs trust: the
// account nobody. Making files of that user needs root (CI runs as root);
// a test that needs it skips itself otherwise.

#include <pwd.h>
#include <unistd.h>

#include <optional>

struct OtherUser {
    uid_t uid;
    gid_t gid;
};

// nobody, when this process may make files of it.
inline std::optional<OtherUser> OtherUserIfRoot() {
    if (::geteuid() != 0) return std::nullopt;
    const passwd* entry = ::getpwnam("nobody");
    if (entry == nullptr) return std::nullopt;
    return OtherUser{entry->pw_uid, entry->pw_gid};
}
