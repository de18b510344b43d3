#include "workspace/workspace_control.h"

#include <utility>

#include "workspace/workspace_presenter.h"
#include "workspace/workspace_view.h"

CWorkspaceControl::CWorkspaceControl(CWorkspacePresenter& presenter, IWorkspaceView& view,
                                     std::function<void(bool)> showPresetDisplay)
    : m_presenter(presenter), m_view(view), m_showPresetDisplay(std::move(showPresetDisplay)) {}

int CWorkspaceControl::SelectedChannel() const {
    return m_presenter.CurrentChannel();
}

void CWorkspaceControl::SelectChannel(int channel) {
    m_presenter.SelectChannel(channel);
}

void CWorkspaceControl::SetSelectChecked(int channel, bool checked) {
    m_view.ShowSelected(channel, checked);
}

void CWorkspaceControl::SetPresetDisplayVisible(bool visible) {
    if (m_showPresetDisplay) m_showPresetDisplay(visible);
}

void CWorkspaceControl::RefreshCrossover(int channel) {
    m_presenter.RefreshCrossover(channel);
}

void CWorkspaceControl::RedrawGraph(int curve) {
    m_presenter.RedrawGraph(curve);
}

void CWorkspaceControl::RefreshChannel(int channel) {
    m_presenter.RefreshChannel(channel);
}
