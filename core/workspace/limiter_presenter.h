#pragma once
// The limiter fields of the selected output channel: threshold, attack and
// release. Edits go through the record's setters, which copy the limiter to
// the link group. Every reload shows the selected channel's own values.

#include <string>
#include <vector>

#include "workspace/workspace_parts.h"

class IWorkspaceHost;
class CKTV_OutData;

class ILimiterView {
public:
    virtual ~ILimiterView() = default;
    // A stored value outside the field's range (the start-up contents place
    // the limiter two bytes off) is shown as no value: neither a value the
    // channel does not have, nor a range message on every reload.
    // What the record holds, also beyond the fields' ranges (a new device's
    // threshold often is): the field shows it marked.
    virtual void ShowThreshold(int step) = 0;  // 0..360
    virtual void ShowAttack(int code) = 0;     // 0..106
    // The release list and the selected entry (-1: none).
    virtual void ShowRelease(const std::vector<std::string>& entries, int selected) = 0;
    // Captions in the current language.
    virtual void Retranslate() {}
};

class LimiterPresenter : public IWorkspacePart {
public:
    LimiterPresenter(IWorkspaceHost& host, ILimiterView& view);

    int Channel() const { return m_nChannel; }
    void Reload();

    void OnThresholdCommitted(int step);
    void OnAttackCommitted(int code);
    void OnReleaseChosen(int entry);

    // IWorkspacePart: the fields sit with the equalizer and reload with it.
    void ReloadEqualizer(int channel) override;
    void Relabel() override;

private:
    CKTV_OutData& Selected();

    IWorkspaceHost& m_host;
    ILimiterView& m_view;
    int m_nChannel = 0;
};
