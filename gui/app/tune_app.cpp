#include "gui/app/tune_app.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLayout>
#include <QMetaObject>
#include <QPushButton>
#include <QTimer>

#include "base/texts.h"
#include "gui/app/main_window.h"
#include "gui/app/menus.h"
#include "gui/app/message_box.h"
#include "gui/app/transfer_window.h"
#include "gui/controls/num_field.h"
#include "gui/presets/preset_windows.h"
#include "gui/response/graph_widget.h"
#include "gui/workspace/car_area.h"
#include "gui/workspace/eq_panel.h"
#include "gui/workspace/limiter_fields.h"
#include "gui/workspace/workspace_window.h"
#include "gui/workspace/xover_group.h"

namespace {

// The session's timed steps (waiting for the link worker to end, the pause
// before a lost device is closed) run on the event loop: nothing else would
// drain them once the link has gone quiet.
class CTimerSteps final : public IStepScheduler {
public:
    void After(std::chrono::milliseconds delay, std::function<void()> step) override {
        QTimer::singleShot(delay, &m_context, std::move(step));
    }

private:
    QObject m_context;  // its pending timers go with it
};

SessionOptions WithSteps(SessionOptions options, IStepScheduler* steps) {
    if (options.steps == nullptr) options.steps = steps;
    return options;
}

}  // namespace

CTuneApp::CTuneApp(SessionOptions options)
    : m_steps(std::make_unique<CTimerSteps>()),
      m_session(std::make_unique<CTunerSession>(WithSteps(std::move(options), m_steps.get()))),
      m_drainContext(std::make_unique<QObject>()),
      m_main(std::make_unique<CMainWindow>()) {
    // Called on the posting thread: only schedule, never dispatch there.
    QObject* context = m_drainContext.get();
    m_session->SetWakeHook([this, context] {
        ++m_nDrainsScheduled;
        QMetaObject::invokeMethod(
            context, [this] { m_session->Drain(); }, Qt::QueuedConnection);
    });

    m_workspace = new CWorkspaceWindow;
    m_main->SetWorkspace(m_workspace);
    m_transfer = new CTransferWindow(m_main.get(), m_workspace);
    m_presenter = std::make_unique<CWorkspacePresenter>(*m_session, *m_workspace);
    m_menus = std::make_unique<CMenuCommands>(*m_session, m_main.get(),
                                              [this] { m_presenter->Relabel(); });
    m_menus->Presets().refreshAll = [this] { m_presenter->OnModelReloaded(); };
    m_menus->Presets().showSettingName = [this](const std::string& name) {
        m_workspace->ShowSettingName(name);
    };
    m_presenter->AddPart(&m_menus->Presets().Part());
    QObject::connect(m_workspace->MainMenuButton(), &QPushButton::clicked, m_main.get(),
                     [this] { RunMainMenu(m_workspace->MainMenuButton(), *m_menus); });
    QObject::connect(m_workspace->SoundGroupButton(), &QPushButton::clicked, m_main.get(),
                     [this] { RunSoundGroupMenu(m_workspace->SoundGroupButton(), *m_menus); });
    m_workspace->SetPresenter(m_presenter.get());
    AddPanels();
    auto* car = new CarArea(
        *m_session, *m_presenter, *m_workspace, m_workspace->Area("carArea"),
        CarAreaHooks{m_main.get(), m_workspace->findChild<QAbstractButton*>("top.link"),
                     m_workspace->MixerButton(), m_workspace->Link56Button(),
                     [this](bool shown) {
                         if (auto* preset = m_workspace->findChild<QWidget*>("top.preset"))
                             preset->setVisible(shown);
                     },
                     [this](int variant) { m_workspace->ShowVariantLooks(variant); }});
    m_menus->openSetModal = [car] { car->OpenVariantDialog(); };
    m_workspace->ChainFocusByArea();
    m_workspace->StyleButtons();

    m_workspace->onConnectClicked = [this] { m_session->Manager().OnConnectButton(); };
    m_workspace->onMinimize = [this] { m_main->showMinimized(); };
    m_workspace->onClose = [this] { m_main->close(); };
    // The link stops before any window goes, also while a transfer runs.
    m_main->onClosing = [this] {
        m_session->Manager().Shutdown();
        m_transfer->Finish();
    };
    m_session->AddListener(this);
}

CTuneApp::~CTuneApp() {
    m_session->Manager().SetBeforeReadAll({});
    // No thread posts once the worker and the watcher are stopped.
    m_session->Manager().Shutdown();
    m_session->SetWakeHook({});
    m_session->RemoveListener(this);
    // The windows go before the session they show.
    m_menus.reset();
    m_presenter.reset();
    m_main.reset();
}

// The graph, the equalizer panel and the crossover group with the limiter
// fields fill their areas; their presenters take their steps of every channel switch
// and refresh, and ask the workspace to redraw the graph.
void CTuneApp::AddPanels() {
    auto* graph = new GraphWidget(*m_session);
    graph->setObjectName(QStringLiteral("graph"));
    m_workspace->Area("graphArea")->layout()->addWidget(graph);
    m_presenter->AddPart(&graph->Presenter());
    // A drag of the selected channel's filter shows its new values in the
    // fields and copies them to the link group.
    graph->Presenter().SetNotice([this](int filter, int code) {
        if (code == kGraphChannelCodeBase + m_presenter->CurrentChannel())
            m_presenter->OnGraphEdited(filter);
    });
    auto* eq = new EqPanel(*m_session);
    m_workspace->Area("eqArea")->layout()->addWidget(eq);
    auto* xover = new XoverGroup(*m_session);
    m_workspace->Area("xoverArea")->layout()->addWidget(xover);
    const auto redraw = [this](int curve) { m_presenter->RedrawGraph(curve); };
    eq->Presenter().SetRedrawGraph(redraw);
    xover->Presenter().SetRedrawGraph(redraw);
    m_presenter->AddPart(&eq->Presenter());
    m_presenter->AddPart(&xover->Presenter());
    m_presenter->AddPart(&xover->Limiter().Presenter());
}

void CTuneApp::Start() {
    m_presenter->Start();
    // What the window starts with; edits from here until a device is read
    // are the window's own.
    m_offline = std::make_unique<COfflineEdits>(*m_session);
    m_session->Manager().SetBeforeReadAll([this] {
        m_offline->BeforeReadAll([this] {
            const bool sendWindow =
                AskTwoWays(m_main.get(), QString::fromUtf8(Text(TextId::OfflineEditsQuestion)),
                           QString::fromUtf8(Text(TextId::OfflineSendWindow)),
                           QString::fromUtf8(Text(TextId::OfflineKeepDevice)));
            return sendWindow ? OfflineChoice::SendWindow : OfflineChoice::KeepDevice;
        });
    });
    m_main->Centre();
    m_main->show();
    m_session->Manager().StartWatching();
    m_session->PostAutoConnect();
}

void CTuneApp::OnConnectionStateChanged(ConnectionState state) {
    m_presenter->OnConnectionChanged(state);
    // A device that was online leaves the window in step with it.
    if (m_offline && m_eLastState == ConnectionState::Online && state != ConnectionState::Online &&
        state != ConnectionState::Upgrading)
        m_offline->MarkInSync();
    m_eLastState = state;
}

void CTuneApp::OnModelReloaded(int) {
    m_presenter->OnModelReloaded();
    if (m_offline) m_offline->MarkInSync();
}

void CTuneApp::OnSourceReported(int) {
    m_presenter->OnSourceChanged();
}

void CTuneApp::OnShowMessage(TextId text) {
    m_workspace->ShowMessage(text);
}

void CTuneApp::OnTransferStarted(int last) {
    m_transfer->Start(last);
}

void CTuneApp::OnTransferProgress(int position) {
    m_transfer->Progress(position);
}

void CTuneApp::OnTransferHidden() {
    m_transfer->Finish();
}
