#include "session/process_state.h"

#include "base/globals.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "link/hid_link.h"
#include "link/upgrade_hook.h"
#include "model/startup_contents.h"

void ResetProcessState() {
    InitStartupContents();
    g_nDeviceId = kDefaultDeviceId;
    g_bOnline = false;
    g_bDeviceOpen = false;
    g_bUpgrading = false;
    g_bUpgradeFinished = false;
    g_bReplyError = false;
    g_bSendSysSettings = false;
    g_bSendInputLevels = false;
    g_nLastUpgradeCommand = 0;
    g_DeviceModel.fill(0);
    g_strDevicePath.Set("");
}

void UseChineseTexts(bool chinese) {
    g_bChinese = chinese;
}
