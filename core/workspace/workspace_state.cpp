#include "workspace/workspace_state.h"

int g_nCurChannel = 0;
std::array<BYTE, 12> g_abCurveShown{};
int g_nDelayUnit = 0;

void ResetWorkspaceState() {
    g_nCurChannel = 0;
    g_abCurveShown.fill(0);
    g_nDelayUnit = 0;
}
