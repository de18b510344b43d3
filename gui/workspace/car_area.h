#pragma once
// The car-diagram area with what belongs to it: the diagram and its
// presenter, the mixer panel, the left/right link and the variant choice,
// registered as parts of the workspace. The main window builds one and hands
// it the top-bar controls it answers.

#include <QObject>
#include <functional>
#include <memory>
#include <optional>

#include "workspace/car_presenter.h"
#include "workspace/link_presenter.h"
#include "workspace/mixer_presenter.h"
#include "workspace/variant_presenter.h"
#include "workspace/workspace_control.h"

class CarDiagram;
class CWorkspacePresenter;
class IWorkspaceHost;
class IWorkspaceView;
class MixerPanel;
class QAbstractButton;
class QWidget;

struct CarAreaHooks {
    QWidget* window = nullptr;              // owner of the dialogs and the mixer panel
    QAbstractButton* linkToggle = nullptr;  // the left/right link toggle
    QAbstractButton* mixerButton = nullptr;
    QWidget* link56 = nullptr;  // the CH5/CH6 link toggle: variant 1 shows it, never enabled
    std::function<void(bool)> showPresetDisplay;
    // The looks of the CH5 and CH6 select buttons for a variant.
    std::function<void(int variant)> showVariantLooks;
    // A reload released the left/right link (false: the toggle was pressed).
    std::function<void(bool dropped)> showLinkDropped;
};

class CarArea : public QObject, private ILinkView, private IVariantView {
    Q_OBJECT
public:
    // Puts the diagram into `carFrame` (its layout) and adds the parts to the
    // presenter; call before the presenter starts.
    CarArea(IWorkspaceHost& host, CWorkspacePresenter& presenter, IWorkspaceView& view,
            QWidget* carFrame, CarAreaHooks hooks);
    ~CarArea() override;

    // The variant menu command.
    void OpenVariantDialog();

    CarDiagram* Diagram() const { return m_diagram; }
    MixerPanel* Mixer() const { return m_mixer; }
    CLinkPresenter& Links() { return *m_link; }

private:
    // ILinkView
    std::optional<int> AskReferenceSide() override;
    void ShowMessage(TextId text) override;
    void SetLinkChecked(bool on) override;
    void ShowLinkDropped(bool dropped) override;
    // IVariantView
    std::optional<int> AskVariant(int current) override;
    void ShowVariant(int variant) override;

    IWorkspaceView& m_view;
    CarAreaHooks m_hooks;
    CWorkspaceControl m_control;
    CarDiagram* m_diagram;
    MixerPanel* m_mixer;
    std::unique_ptr<CCarPresenter> m_car;
    std::unique_ptr<CMixerPresenter> m_mixerPresenter;
    std::unique_ptr<CLinkPresenter> m_link;
    std::unique_ptr<CVariantPresenter> m_variant;
};
