#pragma once
// Shared fixture of the protocol tests: a known model state, a recording
// message sink, and helpers that play the link's part (write the head packet,
// feed a reply).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "base/globals.h"
#include "base/messages.h"
#include "base/texts.h"
#include "image/param_image.h"
#include "protocol/frame_format.h"
#include "protocol/ktv_command.h"
#include "reply_bytes.h"
#include "support/recording_sink.h"

using test_support::PostedMessage;
using test_support::RecordingSink;

inline std::vector<BYTE> AckBytes() {
    return ReplyBytes(REPLY_ACK, 0, 0, 0, 0, {});
}
inline std::vector<BYTE> ResendBytes() {
    return ReplyBytes(REPLY_RESEND, 0, 0, 0, 0, {});
}

class ProtocolTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_CurImage.fill(0);
        for (ParamImage& image : g_GroupImages)
            image.fill(0);
        for (SourceRecord& record : g_SourceRecords)
            record.fill(0);
        g_SysSettings.fill(0);
        g_SpeakerRoles.fill(0);
        g_InputLevels.fill(0);
        g_LimiterSettings.fill(0);
        g_DeviceModel.fill(0);
        for (int i = 0; i < static_cast<int>(g_anLinkGroup.size()); ++i)
            g_anLinkGroup[i] = i;
        g_nDeviceId = 1;
        g_bOnline = true;
        g_bReplyError = false;
        m_sink.Clear();
        g_pMessageSink = &m_sink;
    }
    void TearDown() override { g_pMessageSink = nullptr; }

    // Writes the head packet out completely, as a link cycle does.
    int WriteHead() {
        CSendData* head = m_cmd.PeekHead();
        if (head == nullptr) return 0;
        BYTE report[kReportSize];
        int reports = 0;
        while (head->FillReport(report))
            ++reports;
        return reports;
    }

    // Feeds bytes in input-report-sized pieces; true when a frame completed.
    bool Feed(const std::vector<BYTE>& bytes) {
        bool completed = false;
        for (size_t at = 0; at < bytes.size(); at += kReportPayload) {
            const size_t n = std::min<size_t>(kReportPayload, bytes.size() - at);
            completed = m_cmd.ParseBytes(bytes.data() + at, static_cast<int>(n)) || completed;
        }
        return completed;
    }

    // Runs `cycle` (one link cycle: write the head, pass the reply) until
    // `leave` packets are left; false when a cycle fails. A head that stays for a few
    // cycles in a row (a resend asked for every time, an acknowledge not
    // acted on) fails the test instead of looping for ever.
    template <typename Cycle>
    bool RunQueueWith(Cycle cycle, int leave = 0) {
        constexpr int kCyclesBeforeStuck = 3;
        int stayed = 0;
        while (m_cmd.GetCount() > leave) {
            const int before = m_cmd.GetCount();
            if (!cycle()) return false;
            stayed = m_cmd.GetCount() < before ? 0 : stayed + 1;
            if (stayed == kCyclesBeforeStuck) {
                ADD_FAILURE() << "the head stayed queued for " << stayed << " cycles";
                return false;
            }
        }
        return true;
    }

    // Answers every queued packet with an acknowledge, as a device would.
    bool AcknowledgeAll() {
        return RunQueueWith([this] {
            WriteHead();
            return Feed(AckBytes());
        });
    }

    RecordingSink m_sink;
    CKTVCommand m_cmd;
};
