#pragma once
// The command queue and the reply parser. Exchanges are stop-and-wait: the
// link writes the head packet, feeds the reply bytes to ParseBytes, and the
// reply decides whether the head leaves the queue, is written again, or stays.
//
// Every member is called with g_csModel held (the link worker holds it for a
// whole cycle; the user-interface side while it queues). Notifications go out
// through PostUiMessage and never wait for the user interface.

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>

#include "base/types.h"
#include "image/param_image.h"
#include "protocol/frame_format.h"
#include "protocol/send_data.h"

// Which kind of bulk transfer a last packet ends; picks UM_TRANSFER_DONE's lParam.
enum class TransferKind { Read, Write };

class CKTVCommand {
public:
    // The longest reply is an output block (296 data bytes, a 309-byte frame);
    // the rest of the input report that carried its end is stored with it.
    static constexpr int kReplyBufferSize = kOutBlockSize + kReplyOverhead + kReportPayload;

    CKTVCommand() = default;
    CKTVCommand(const CKTVCommand&) = delete;
    CKTVCommand& operator=(const CKTVCommand&) = delete;

    // ---- Queue ----
    // Appends at the tail; a null packet is ignored (false). A packet already
    // tried more than ten times is reported as a data error and queued anyway.
    bool PushPacket(std::unique_ptr<CSendData> packet);
    CSendData* PeekHead();
    // Deletes the head; false on an empty queue.
    bool PopHead();
    int GetCount() const { return static_cast<int>(m_SendQueue.size()); }
    // Deletes every packet and resets the reply parser.
    void ClearQueue();

    // ---- Progress numbering of bulk transfers ----
    // The next progress index; 0 after connecting and at the start of a transfer.
    void ResetProgressCounter() { m_nProgressCounter = 0; }
    int GetProgressCounter() const { return m_nProgressCounter; }
    // Pushes a packet numbered with the counter, which then advances.
    bool PushCounted(std::unique_ptr<CSendData> packet);
    // Pushes the last packet of a transfer: numbered, marked, counter kept.
    bool PushLast(std::unique_ptr<CSendData> packet, TransferKind kind);
    // Shows the transfer dialog with the range 0..counter.
    void AnnounceTransfer() const;

    // ---- Reply parser ----
    // Feeds received bytes (bytes 1..64 of an input report). True when a
    // complete, verified frame was acted on in this call.
    bool ParseBytes(const BYTE* bytes, int n);
    void ResetParser();
    // Progress and completion of the head packet, for a reply that answers it.
    void ReportHeadProgress();

    // The input source the front end shows; a status reply reporting another
    // one posts UM_SOURCE_CHANGED, unless a system settings write is still
    // unanswered: the device then reported its source from before that write.
    void SetShownSource(int source) { m_nShownSource = source; }
    int GetShownSource() const { return m_nShownSource; }
    // A settings write queued and not yet acknowledged, or marked for the
    // queue pump. Under g_csModel.
    bool SettingsWriteOutstanding() const;

    // Installed by the firmware update: runs for each reply to an upgrade step
    // packet, with the packet's step code.
    void SetUpgradeReplyHook(std::function<void(int code)> hook) {
        m_upgradeReplyHook = std::move(hook);
    }

    // ---- Read-back ----
    // The read-all after a device is identified: system items and group names
    // (numbered), then, only when connected, the current settings. The model
    // stays offline until the last reply arrives.
    void QueueReadAll(bool connected);
    // The seven numbered read requests of group g (music input, outputs 0..5),
    // continuing the progress count; the last is marked as the end of a read.
    void QueueGroupReadRequests(int group);

    // The "unable to connect" message box.
    static void ReportLinkFailure();

private:
    struct ReplyHeader {
        int command;
        int group;
        int type;
        int index;
        int storeFlag;
        int length;
        const BYTE* data;
    };

    int FindFrameStart(const BYTE* bytes, int n);
    void AppendBytes(const BYTE* bytes, int n);
    bool FrameChecksOut() const;
    ReplyHeader DecodeHeader() const;
    bool IsHandled(const ReplyHeader& reply) const;
    bool IsDataHandled(const ReplyHeader& reply) const;
    void ActOnFrame(const ReplyHeader& reply);
    void HandleData(const ReplyHeader& reply);
    void StoreBlock(const ReplyHeader& reply);
    void StoreSystemItem(const ReplyHeader& reply);
    void ReportSource(const ReplyHeader& reply);
    void EndFrame();

    std::deque<std::unique_ptr<CSendData>> m_SendQueue;
    int m_nProgressCounter = 0;

    std::array<BYTE, kReplyBufferSize> m_abFrame{};
    int m_nByteCount = 0;
    bool m_bInFrame = false;
    int m_nPreambleCount = 0;
    int m_nExpectedLength = 0;

    std::atomic<int> m_nShownSource{0};
    std::function<void(int)> m_upgradeReplyHook;
};
