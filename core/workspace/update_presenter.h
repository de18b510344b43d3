#pragma once
// The rules of the firmware update dialog: the image path with the
// remembered choice, Browse, Start, the factory reset, the progress bar and
// the status line, and the guards that keep the dialog open while an update
// runs. The update itself is CFirmwareUpdater's.
//
// Runs on the user-interface thread and never waits: the device search and
// the pauses of the update are steps of the front end's loop, and each step
// reaches the dialog as the updater's progress report. The front end hands
// the update's messages to HandleMessage while the dialog is open; message
// boxes the core posts (UM_SHOW_MESSAGE) are shown by the front end as any
// other.

#include <cstdint>
#include <optional>
#include <string>

#include "base/texts.h"
#include "firmware/firmware_updater.h"

class IUpdateView {
public:
    virtual ~IUpdateView() = default;
    virtual void ShowPath(const std::string& path) = 0;
    virtual void ShowStatus(TextId text) = 0;
    virtual void SetProgressRange(int total) = 0;  // the bar runs 0 .. total
    virtual void SetProgress(int position) = 0;
    virtual void ShowMessage(TextId text) = 0;
    virtual bool AskYesNo(TextId text) = 0;
    // The file dialog for "*.contr *.dsp", starting at `current`; nothing on cancel.
    virtual std::optional<std::string> ChooseUpgradeFile(const std::string& current) = 0;
    virtual void CloseDialog() = 0;
};

// The last chosen image and the data-file pattern beside it, kept between
// runs by the front end (QSettings keys Name and Path).
struct RememberedUpgradeFile {
    std::string name;
    std::string path;
};

class IUpgradeFileStore {
public:
    virtual ~IUpgradeFileStore() = default;
    virtual RememberedUpgradeFile Load() = 0;
    virtual void Save(const RememberedUpgradeFile& file) = 0;
};

// File patterns of the image file dialog.
constexpr char kUpgradeFilePatterns[] = "*.contr *.dsp";

// The data-file pattern remembered with a chosen image: the working folder's
// DataFile/*.bin.
std::string DataFilePattern(const std::string& workingFolder);

class CUpdatePresenter : private IUpgradeListener {
public:
    // Listens to the updater while it lives.
    CUpdatePresenter(CFirmwareUpdater& updater, IUpdateView& view, IUpgradeFileStore& store);
    ~CUpdatePresenter() override;
    CUpdatePresenter(const CUpdatePresenter&) = delete;
    CUpdatePresenter& operator=(const CUpdatePresenter&) = delete;

    // The dialog opens: the remembered image is shown in the path field.
    void Open();

    // ---- User actions ----
    void OnBrowse();
    void OnStart(const std::string& pathField);
    void OnFactoryReset();
    // Close box and cancel: true when the dialog may close.
    bool OnCloseRequested();

    // The update's messages (status line, progress, completion); true when
    // the message was the update's.
    bool HandleMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam);

    const std::string& Path() const { return m_strPath; }

private:
    void OnUpgradeProgress(const UpgradeProgress& progress) override;
    // The guard's message when an update runs; true when the action may go on.
    bool MayAct();

    CFirmwareUpdater& m_updater;
    IUpdateView& m_view;
    IUpgradeFileStore& m_store;
    std::string m_strPath;
    bool m_bConnectedAfter = false;  // the connection after this update's success is asked for
};
