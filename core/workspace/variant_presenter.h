#pragma once
// The hardware variant: adapts CH5's crossover and the CH5/CH6 link toggle
// to the two builds of the device.

#include <optional>

#include "workspace/workspace_parts.h"

class IWorkspaceControl;
class IWorkspaceHost;

constexpr int kVariantCount = 2;

class IVariantView {
public:
    virtual ~IVariantView() = default;
    // The variant dialog with the current variant highlighted: the other
    // variant when chosen, nothing when closed.
    virtual std::optional<int> AskVariant(int current) = 0;
    // Variant 1 shows the CH5/CH6 link toggle (always disabled) and gives
    // the CH5 and CH6 select buttons their second look.
    virtual void ShowVariant(int variant) = 0;
};

class CVariantPresenter : public IWorkspacePart {
public:
    CVariantPresenter(IWorkspaceHost& host, IWorkspaceControl& workspace, IVariantView& view);

    // The menu command: the dialog, then the choice.
    void OnSelectVariantCommand();
    // Nothing when n is already the variant.
    void SelectVariant(int variant);
    int Variant() const { return m_nVariant; }
    // The code the device build is known by: 255 for variant 0, 0 for variant 1.
    int VariantCode() const { return m_nVariant == 0 ? 255 : 0; }

private:
    IWorkspaceHost& m_host;
    IWorkspaceControl& m_workspace;
    IVariantView& m_view;
    int m_nVariant = 0;
};
