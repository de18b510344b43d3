// Replies damaged on their way back, end to end: the virtual processor on the
// bus behind a relay that damages its reply to one request, the host driven
// by the connection manager as the front ends drive it. Whatever arrives, the
// user sees the link failure (or, for an empty data reply, the firmware
// message), the link is closed, the host sends nothing more, the records keep
// their values, and pressing Connect again brings the device online.

#include <cstring>
#include <functional>

#include "link/vhid_device.h"
#include "sim/request_frames.h"
#include "soak/soak_host.h"

namespace {

using soak::SoakHost;
using namespace std::chrono_literals;
using Wire = std::vector<BYTE>;

// Wire offsets: three preamble bytes, then the frame.
constexpr int kWireCommand = 4;
constexpr int kWireType = 7;
constexpr int kWireLength = 12;
constexpr int kWireData = 14;

int WireDataLength(const Wire& wire) {
    return wire[kWireLength] | wire[kWireLength + 1] << 8;
}

// The check byte again after a header field was changed on purpose, so that
// only that field is wrong.
void Recheck(Wire& wire) {
    const std::size_t check = sim::ReplyCheckIndex(wire);
    BYTE sum = 0;
    for (std::size_t i = kWireCommand; i < check; ++i)
        sum ^= wire[i];
    wire[check] = sum;
}

struct Damage {
    const char* name;
    std::function<void(Wire&)> apply;
};

const Damage kDamages[] = {
    {"bad check byte", [](Wire& w) { w[sim::ReplyCheckIndex(w)] ^= 0x5A; }},
    {"bad end byte", [](Wire& w) { w.back() = 0xAB; }},
    {"length beyond the frame buffer",
     [](Wire& w) {
         w[kWireLength] = 0x90;  // 400 bytes
         w[kWireLength + 1] = 0x01;
     }},
    {"unknown command",
     [](Wire& w) {
         w[kWireCommand] = 0x67;
         Recheck(w);
     }},
    {"unknown block type",
     [](Wire& w) {
         w[kWireType] = 5;
         Recheck(w);
     }},
    {"four preamble bytes", [](Wire& w) { w.insert(w.begin(), 0xA2); }},
};

// The processor's replies, passed on whole except the reply to request
// number `damageAt` (counted from 1 since the last Arm), which is damaged.
class DamagingRelay {
public:
    DamagingRelay(CVirtualProcessor& processor, const std::string& busDir)
        : m_processor(processor),
          m_device(busDir, "tqr905", static_cast<std::uint16_t>(kVendorId),
                   static_cast<std::uint16_t>(kProductId),
                   static_cast<std::uint16_t>(kDeviceVersion)) {
        m_device.SetReportHandler([this](const HidReport& report) { OnReport(report); });
    }
    ~DamagingRelay() { m_device.Stop(); }

    LinkStatus Start() { return m_device.Start(); }
    void Arm(int damageAt, std::function<void(Wire&)> damage) {
        std::lock_guard lock(m_mutex);
        m_nAnswered = 0;
        m_nDamageAt = damageAt;
        m_damage = std::move(damage);
    }

private:
    void OnReport(const HidReport& report) {
        const CVirtualProcessor::Output out = m_processor.HandleOutputReport(report);
        if (out.reports.empty()) return;
        Wire wire;
        for (const auto& piece : out.reports)
            wire.insert(wire.end(), piece.begin() + 1, piece.end());
        wire.resize(static_cast<std::size_t>(kWireData + WireDataLength(wire) + 2));
        {
            std::lock_guard lock(m_mutex);
            if (++m_nAnswered == m_nDamageAt && m_damage) m_damage(wire);
        }
        for (const auto& piece : sim::CutIntoReports(wire))
            m_device.SendReport(piece);
    }

    CVirtualProcessor& m_processor;
    VhidDevice m_device;
    std::mutex m_mutex;
    int m_nAnswered = 0;
    int m_nDamageAt = 0;
    std::function<void(Wire&)> m_damage;
};

class BadRepliesTest : public ::testing::Test {
protected:
    void SetUp() override {
        // A device whose settings differ from the host's start-up contents.
        sim::DeviceMemory memory = m_processor.Memory();
        for (int c = 0; c < kOutputCount; ++c)
            memory.current[OutSlotOffset(c) + 1] ^= 0x11;
        m_processor.SetMemory(memory);
        ASSERT_TRUE(m_relay.Start().Ok());
    }

    // The output slots as the records would write them.
    std::vector<BYTE> RecordSlots() {
        std::lock_guard lock(g_csModel);
        const ParamImage kept = g_CurImage;
        for (int c = 0; c < kOutputCount; ++c)
            m_model.GetOutput(c)->WriteToImage();
        std::vector<BYTE> slots(g_CurImage.begin() + OutSlotOffset(0),
                                g_CurImage.begin() + OutSlotOffset(kOutputCount));
        g_CurImage = kept;
        return slots;
    }

    // Connects and runs the messages until the link is down again.
    std::vector<TextId> ConnectUntilDown() {
        std::vector<TextId> shown;
        const auto dispatch = [&](const UiMessage& m) {
            if (m.msg == UM_SHOW_MESSAGE) shown.push_back(static_cast<TextId>(m.wParam));
            m_host.Session().Dispatch(m);
        };
        m_manager.OnConnectButton();
        const bool down = m_queue.RunUntil(
            dispatch, [&] { return !m_manager.IsConnected() && !shown.empty(); },
            CMessageQueue::Clock::now() + kEventWait);
        EXPECT_TRUE(down) << "the link did not go down";
        m_queue.DispatchPending(dispatch);
        return shown;
    }

    SoakHost m_host{soak::SoakLinkTimings()};
    CMessageQueue& m_queue = m_host.Queue();
    CKTV_Data& m_model = m_host.Model();
    CKTVCommand& m_command = m_host.Command();
    CConnectionManager& m_manager = m_host.Manager();
    CVirtualProcessor m_processor;
    DamagingRelay m_relay{m_processor, m_host.BusPath()};
};

// Request 1 is the identification; 14 the read-all's third output block.
TEST_F(BadRepliesTest, DamagedReplyEndsInTheLinkFailureAndChangesNothing) {
    const std::vector<BYTE> recordsBefore = RecordSlots();
    for (const int damageAt : {1, 14}) {
        for (const Damage& damage : kDamages) {
            SCOPED_TRACE(std::string(damage.name) + " at request " + std::to_string(damageAt));
            g_DeviceModel.fill(0);
            m_processor.ResetCounts();
            m_relay.Arm(damageAt, damage.apply);

            EXPECT_EQ(ConnectUntilDown(), std::vector{TextId::UnableToConnect});
            EXPECT_EQ(m_manager.State(), ConnectionState::Disconnected);
            EXPECT_FALSE(g_bOnline);
            EXPECT_EQ(m_processor.GetCounts().frames, damageAt) << "nothing sent after it";
            EXPECT_EQ(m_command.GetCount(), 0);
            EXPECT_EQ(RecordSlots(), recordsBefore) << "the records keep their values";
            if (damageAt == 1) {
                EXPECT_EQ(g_DeviceModel, decltype(g_DeviceModel){}) << "nothing stored";
            }
        }
    }
    // The parser is not left stuck in a damaged frame: the next connection works.
    m_relay.Arm(0, nullptr);
    ASSERT_TRUE(m_host.ConnectOnline());
    EXPECT_NE(RecordSlots(), recordsBefore);
}

// An empty data reply, to the identification or within the read-all, asks
// for a firmware update instead; the records keep their values too.
TEST_F(BadRepliesTest, EmptyDataReplyAsksForAFirmwareUpdateAndChangesNothing) {
    const std::vector<BYTE> recordsBefore = RecordSlots();
    for (const int readNumber : {1, 13}) {
        SCOPED_TRACE("read " + std::to_string(readNumber));
        m_processor.ClearFaults();
        m_processor.ResetCounts();
        m_processor.InjectFault(CVirtualProcessor::Fault::EmptyDataReply, readNumber);

        EXPECT_EQ(ConnectUntilDown(), std::vector{TextId::EmptyReply});
        EXPECT_STREQ(TextIn(TextId::EmptyReply, false), "Please Update the Firmware!");
        EXPECT_FALSE(g_bOnline);
        EXPECT_EQ(m_processor.GetCounts().frames, readNumber);
        EXPECT_EQ(RecordSlots(), recordsBefore);
    }
    ASSERT_TRUE(m_host.ConnectOnline());
}

}  // namespace
