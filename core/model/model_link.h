#pragma once
// The model root as the link and the connection manager see it.

#include "link/model_interface.h"

class CKTV_Data;

class CModelLink final : public ILinkModel {
public:
    explicit CModelLink(CKTV_Data& model) : m_model(model) {}

    std::unique_ptr<CSendData> NextPendingChange() override;
    void ClearPending() override;
    // The group of the read is the load mode: the effect record follows only
    // for the current settings and the sixth group.
    void LoadCurrentImage(int group) override;

private:
    CKTV_Data& m_model;
};
