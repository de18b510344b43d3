#include "gui/workspace/car_area.h"

#include <QAbstractButton>
#include <QLayout>

#include "gui/workspace/car_diagram.h"
#include "gui/workspace/link_dialog.h"
#include "gui/workspace/mixer_panel.h"
#include "gui/workspace/variant_dialog.h"
#include "workspace/workspace_presenter.h"
#include "workspace/workspace_view.h"

CarArea::CarArea(IWorkspaceHost& host, CWorkspacePresenter& presenter, IWorkspaceView& view,
                 QWidget* carFrame, CarAreaHooks hooks)
    : QObject(carFrame),
      m_view(view),
      m_hooks(std::move(hooks)),
      m_control(presenter, view, m_hooks.showPresetDisplay),
      m_diagram(new CarDiagram(carFrame)),
      m_mixer(new MixerPanel(m_hooks.window ? m_hooks.window : carFrame->window())) {
    if (carFrame->layout()) carFrame->layout()->addWidget(m_diagram);
    m_car = std::make_unique<CCarPresenter>(host, m_control, *m_diagram);
    m_mixerPresenter = std::make_unique<CMixerPresenter>(host, *m_mixer);
    m_link = std::make_unique<CLinkPresenter>(host, m_control, static_cast<ILinkView&>(*this));
    m_variant =
        std::make_unique<CVariantPresenter>(host, m_control, static_cast<IVariantView&>(*this));
    for (IWorkspacePart* part : {static_cast<IWorkspacePart*>(m_car.get()),
                                 static_cast<IWorkspacePart*>(m_mixerPresenter.get()),
                                 static_cast<IWorkspacePart*>(m_link.get()),
                                 static_cast<IWorkspacePart*>(m_variant.get())})
        presenter.AddPart(part);

    CCarPresenter* car = m_car.get();
    connect(m_diagram, &CarDiagram::positionClicked, this,
            [car](int k) { car->OnPositionClicked(k); });
    connect(m_diagram, &CarDiagram::delayEdited, this,
            [car](int k, int samples) { car->OnDelayEdited(k, samples); });
    connect(m_diagram, &CarDiagram::unitChosen, this, [car](int u) { car->OnUnitChosen(u); });
    connect(m_diagram, &CarDiagram::otherDelayEdited, this,
            [car](int c, int samples) { car->OnOtherDelayEdited(c, samples); });

    CMixerPresenter* mixer = m_mixerPresenter.get();
    connect(m_mixer, &MixerPanel::cellChanged, this,
            [mixer](int o, int k, int level) { mixer->OnCellChanged(o, k, level); });
    connect(m_mixer, &MixerPanel::closed, this, [mixer] { mixer->OnPanelClosed(); });
    if (m_hooks.mixerButton) {
        m_mixer->SetMixerButton(m_hooks.mixerButton);
        connect(m_hooks.mixerButton, &QAbstractButton::clicked, this,
                [mixer] { mixer->OnMixerButton(); });
    }
    if (m_hooks.linkToggle) {
        CLinkPresenter* link = m_link.get();
        connect(m_hooks.linkToggle, &QAbstractButton::clicked, this,
                [link] { link->OnLinkToggled(); });
    }
    if (m_hooks.link56) {
        m_hooks.link56->setEnabled(false);
        m_hooks.link56->hide();
    }
}

CarArea::~CarArea() = default;

void CarArea::OpenVariantDialog() {
    m_variant->OnSelectVariantCommand();
}

std::optional<int> CarArea::AskReferenceSide() {
    return LinkDialog::Ask(m_hooks.window);
}

void CarArea::ShowMessage(TextId text) {
    m_view.ShowMessage(text);
}

void CarArea::SetLinkChecked(bool on) {
    m_view.ShowLinkToggle(on);
}

void CarArea::ShowLinkDropped(bool dropped) {
    if (m_hooks.showLinkDropped) m_hooks.showLinkDropped(dropped);
}

std::optional<int> CarArea::AskVariant(int current) {
    return VariantDialog::Ask(current, m_hooks.window);
}

void CarArea::ShowVariant(int variant) {
    if (m_hooks.link56) {
        m_hooks.link56->setVisible(variant == 1);
        m_hooks.link56->setEnabled(false);
    }
    if (m_hooks.showVariantLooks) m_hooks.showVariantLooks(variant);
}
