#pragma once
// A workspace host over a fresh model loaded from the start-up image and an
// empty queue, offline. Free of any test framework, for widget tests and
// benchmarks.

#include <memory>

#include "base/globals.h"
#include "model/ktv_data.h"
#include "image/param_image.h"
#include "model/startup_contents.h"
#include "protocol/ktv_command.h"
#include "workspace/workspace_host.h"

class OfflineHost : public IWorkspaceHost {
public:
    OfflineHost() {
        g_bOnline = false;
        InitStartupContents();
        m_model = std::make_unique<CKTV_Data>();
        m_model->LoadFromImage(g_CurImage, kLoadModeCurrent);
    }
    CKTV_Data& Model() override { return *m_model; }
    CKTVCommand& Command() override { return m_cmd; }
    bool IsConnected() const override { return false; }

private:
    std::unique_ptr<CKTV_Data> m_model;
    CKTVCommand m_cmd;
};
