#pragma once
// CWorkspaceWindow: the workspace, 1284 x 669 at 96 dpi. It lays out the top
// bar, the six channel strips and the graph legend, and leaves framed areas
// for the graph, the car diagram, the equalizer panel and the crossover group
// (area helpers add their widget with `Area(...)->layout()->addWidget(w)`).
// It shows what the presenter tells it and forwards every user action to
// the presenter; it keeps no rules of its own.
//
// Object names by role: top.connect, top.master, top.masterFader,
// top.masterOutput, top.source, top.preset, top.link, top.link56, top.mixer, top.groups,
// top.menu, top.minimize, top.close; chN.select, chN.output, chN.phase,
// chN.gain, chN.fader; legend.chN, legend.chN.label (N = 1..6); the area
// frames topBar, strips, graphArea, carArea, eqArea, xoverArea.

#include <QWidget>
#include <array>
#include <functional>

#include "workspace/workspace_view.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QToolButton;
class CFader;
class CNumField;
class CWorkspacePresenter;

class CWorkspaceWindow : public QWidget, public IWorkspaceView {
    Q_OBJECT
public:
    static constexpr int kWidth = 1284;
    static constexpr int kHeight = 669;
    static constexpr int kChannels = 6;

    explicit CWorkspaceWindow(QWidget* parent = nullptr);
    ~CWorkspaceWindow() override;

    // Every user action goes to this presenter (not owned).
    void SetPresenter(CWorkspacePresenter* presenter) { m_pPresenter = presenter; }

    // The framed areas, by object name: graphArea (below the legend row),
    // carArea, eqArea, xoverArea; also topBar and strips.
    QFrame* Area(const char* name) const;
    // The top bar's buttons whose menus and panels other windows provide.
    QPushButton* MixerButton() const { return m_pMixer; }
    QPushButton* SoundGroupButton() const { return m_pGroups; }
    QPushButton* MainMenuButton() const { return m_pMenu; }
    CNumField* GainField(int channel) const { return m_gain[channel]; }
    CFader* GainFader(int channel) const { return m_fader[channel]; }
    CNumField* MasterField() const { return m_pMasterField; }
    // The CH5/CH6 link toggle; the car area shows it for one variant.
    QPushButton* Link56Button() const { return m_pLink56; }

    // The CH5 and CH6 select buttons in the look of `variant` (0 or 1).
    void ShowVariantLooks(int variant);
    // Tab moves through the top bar, the strips, the graph, the car diagram,
    // the equalizer and the crossover group in that order. Call once every
    // area is filled.
    void ChainFocusByArea();
    // Gives every push button in the window, the areas' included, the
    // switched-on look; called once the areas are filled.
    void StyleButtons();

    // What the window's own buttons ask of the application.
    std::function<void()> onConnectClicked;
    std::function<void()> onMinimize;
    std::function<void()> onClose;

    // IWorkspaceView
    void ShowTitle(const std::string& title) override;
    // The current setting's name under the title and in the window title.
    void ShowSettingName(const std::string& name);
    void Relabel() override;
    void ShowMessage(TextId text) override;
    void ShowConnected(bool connected) override;
    void ShowMasterVolume(int step) override;
    void ShowMasterOutput(bool on) override;
    void ShowSource(int entry) override;
    void ShowChannelPreset(int entry) override;
    void ShowLinkToggle(bool on) override;
    void ShowSelected(int channel, bool checked) override;
    void ShowOutputOn(int channel, bool on) override;
    void ShowPhase(int channel, bool inverted) override;
    void ShowGain(int channel, int step) override;
    void ShowLegend(int channel, bool checked, LegendColour colour) override;

protected:
    // A click on the background commits the field being edited.
    void mousePressEvent(QMouseEvent* event) override;

private:
    void BuildTopBar();
    void BuildStrips();
    void BuildLegend();
    QFrame* MakeArea(const char* name, const QRect& rect);
    template <typename Call>
    void Forward(Call call);

    CWorkspacePresenter* m_pPresenter = nullptr;
    QFrame* m_pTopBar = nullptr;
    QFrame* m_pStrips = nullptr;
    QFrame* m_pGraphArea = nullptr;
    QLabel* m_pTitle = nullptr;
    QLabel* m_pSettingName = nullptr;

    QPushButton* m_pConnect = nullptr;
    QLabel* m_pMasterLabel = nullptr;
    CFader* m_pMasterFader = nullptr;
    CNumField* m_pMasterField = nullptr;
    QPushButton* m_pMasterOutput = nullptr;
    QComboBox* m_pSource = nullptr;
    QComboBox* m_pPreset = nullptr;
    QPushButton* m_pLink = nullptr;
    QPushButton* m_pLink56 = nullptr;
    QPushButton* m_pMixer = nullptr;
    QPushButton* m_pGroups = nullptr;
    QPushButton* m_pMenu = nullptr;
    QToolButton* m_pMinimize = nullptr;
    QToolButton* m_pClose = nullptr;
    bool m_bConnectedShown = false;

    std::array<QPushButton*, kChannels> m_select{};
    std::array<QPushButton*, kChannels> m_output{};
    std::array<QPushButton*, kChannels> m_phase{};
    std::array<CNumField*, kChannels> m_gain{};
    std::array<CFader*, kChannels> m_fader{};
    std::array<QCheckBox*, kChannels> m_legend{};
    std::array<QLabel*, kChannels> m_legendLabel{};
};
