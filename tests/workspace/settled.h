#pragma once
// Waiting until the link has nothing left to send or answer.

#include <mutex>

#include "base/globals.h"
#include "support/session_host.h"

// Drains until every change is sent and answered and nothing is queued;
// false when the link is down or the generous wait ends first.
inline bool RunUntilSettled(test_support::SessionHost& host) {
    return host.RunUntil([&] {
        std::lock_guard lock(g_csModel);
        return host.Session().IsConnected() && NothingPending(host.Model(), host.Command()) &&
               host.Command().GetCount() == 0;
    });
}
