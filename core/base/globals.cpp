#include "base/globals.h"

CModelLock g_csModel;
std::atomic<bool> g_bOnline{false};
std::atomic<bool> g_bChinese{false};
std::atomic<bool> g_bDeviceOpen{false};
std::atomic<bool> g_bUpgrading{false};
std::atomic<bool> g_bUpgradeFinished{false};
std::atomic<bool> g_bReplyError{false};
std::atomic<bool> g_bSendSysSettings{false};
std::atomic<bool> g_bSendInputLevels{false};
