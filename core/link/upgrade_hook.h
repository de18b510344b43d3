#pragma once
// Where the firmware update plugs into the link worker. While the worker's
// upgrade event is set it runs one upgrade cycle after another through this
// interface, without the model lock and without a pause between cycles.

#include <atomic>

class CHidLink;

class IUpgradeCycle {
public:
    virtual ~IUpgradeCycle() = default;
    // One write/read cycle of the update on the worker thread. The worker has
    // marked the cycle start on the link. `stopRequested` turns true when
    // StopLink waits for the worker: a long pause should end early then.
    virtual void RunUpgradeCycle(CHidLink& link, const std::atomic<bool>& stopRequested) = 0;
};

// The step code of the last update packet written (0 when none since the
// last connect). The update sets it; a removal of the device while it is the
// boot command or the device search is expected and not a failure.
extern std::atomic<int> g_nLastUpgradeCommand;
