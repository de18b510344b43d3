#pragma once
// Process-wide state shared by the user-interface side and the link worker.

#include <atomic>

#include "base/model_lock.h"

// The one model lock. It guards the command queue, the records, the parameter
// images and the frame-building area. Recursive: a bulk operation holds it
// while it calls builders that take it again. The link worker hands it over
// between two cycles to whoever waits for it (base/model_lock.h).
extern CModelLock g_csModel;

// Model edits are live: setters mark their changes pending only while set.
extern std::atomic<bool> g_bOnline;

// User-interface language: true for Chinese texts, false for English.
extern std::atomic<bool> g_bChinese;

// Device link flags (the link worker polls them; the user-interface side writes).
extern std::atomic<bool> g_bDeviceOpen;
extern std::atomic<bool> g_bUpgrading;
extern std::atomic<bool> g_bUpgradeFinished;
extern std::atomic<bool> g_bReplyError;

// Ask the queue pump to send the system settings (0x90) or the input levels (0x92).
extern std::atomic<bool> g_bSendSysSettings;
extern std::atomic<bool> g_bSendInputLevels;
