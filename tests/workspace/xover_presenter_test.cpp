#include "workspace/xover_presenter.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "response/filter.h"
#include "workspace/device_fixture.h"

namespace {

struct ListShown {
    std::vector<std::string> entries;
    int selected = -2;
    int shows = 0;  // how often the list was set
};

class RecordingXoverView : public IXoverView {
public:
    void ShowTypeList(XoverSide side, const std::vector<std::string>& e, int sel) override {
        Set(types[side], e, sel);
    }
    void ShowSlopeList(XoverSide side, const std::vector<std::string>& e, int sel) override {
        Set(slopes[side], e, sel);
    }
    void ShowFreq(XoverSide side, int freq) override { freqs[side] = freq; }

    std::string SlopeShown(XoverSide side) {
        const ListShown& list = slopes[side];
        if (list.selected < 0) return "(none)";
        return list.entries.at(static_cast<std::size_t>(list.selected));
    }

    std::map<XoverSide, ListShown> types;
    std::map<XoverSide, ListShown> slopes;
    std::map<XoverSide, int> freqs;

private:
    static void Set(ListShown& list, const std::vector<std::string>& e, int sel) {
        list.entries = e;
        list.selected = sel;
        ++list.shows;
    }
};

constexpr XoverSide kHp = XoverSide::HighPass;
constexpr XoverSide kLp = XoverSide::LowPass;

class XoverPresenterTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        presenter = std::make_unique<XoverPresenter>(*this, view);
        presenter->SetRedrawGraph([this](int curve) { redrawn.push_back(curve); });
        presenter->RefreshCrossover(0);
    }

    CFilter& Filter(int c, XoverSide side) {
        return side == kHp ? *Out(c).GetHighPass() : *Out(c).GetLowPass();
    }
    void SetFilter(int c, XoverSide side, int type, int slope, int freq) {
        std::lock_guard lock(g_csModel);
        Filter(c, side).SetXoverType(type, false);
        Filter(c, side).SetSlope(slope, false);
        Filter(c, side).SetFreq(freq, false);
    }
    std::vector<BYTE> DeviceXover(int c) {
        const std::vector<BYTE> slot = DeviceSlot(c);
        return {slot.begin() + kOutXover, slot.begin() + kOutXover + kXoverRecordSize};
    }

    RecordingXoverView view;
    std::unique_ptr<XoverPresenter> presenter;
    std::vector<int> redrawn;
};

TEST_F(XoverPresenterTest, ChosenSlopeEntriesStoreTheFamilysCodes) {
    struct Case {
        int family;
        int entry;
        const char* label;
        int code;
    };
    const Case cases[] = {
        {0, 0, "6dB/Oct", 0},  {0, 1, "12dB/Oct", 1}, {0, 2, "24dB/Oct", 3}, {0, 3, "36dB/Oct", 4},
        {0, 4, "关闭", 7},     {1, 2, "18dB/Oct", 2}, {1, 3, "24dB/Oct", 3}, {1, 4, "关闭", 7},
        {2, 2, "18dB/Oct", 2}, {2, 4, "关闭", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + " " + c.label);
        presenter->OnTypeChosen(kLp, c.family);
        presenter->OnSlopeChosen(kLp, c.entry);
        EXPECT_EQ(Filter(0, kLp).GetSlope(), c.code);
        presenter->Refresh();
        EXPECT_EQ(view.SlopeShown(kLp), c.label);
        RunLinkUntilIdle();
        EXPECT_EQ(DeviceXover(0)[kXoverLowFamily], c.family);
        EXPECT_EQ(DeviceXover(0)[kXoverLowSlope], c.code);
    }
    EXPECT_EQ(redrawn.back(), 32);
}

TEST_F(XoverPresenterTest, StoredCodesShowByTheDisplayMapping) {
    struct Case {
        int family;
        int code;
        const char* shown;
    };
    const Case cases[] = {
        {0, 0, "6dB/Oct"},
        {0, 1, "12dB/Oct"},
        {0, 2, "12dB/Oct"},
        {0, 3, "24dB/Oct"},
        {0, 4, "36dB/Oct"},
        {0, 7, "关闭"},
        {1, 2, "18dB/Oct"},
        {2, 3, "24dB/Oct"},
        // Codes the family's list lacks come as an extra last entry.
        {1, 4, "36dB/Oct"},
        {0, 5, "42dB/Oct"},
        {0, 6, "48dB/Oct"},
        {2, 6, "48dB/Oct"},
        {2, 7, "关闭"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.family) + "/" + std::to_string(c.code));
        SetFilter(3, kHp, c.family, c.code, 100);
        presenter->RefreshCrossover(3);
        EXPECT_EQ(view.types[kHp].selected, c.family);
        EXPECT_EQ(view.SlopeShown(kHp), c.shown);
        // Choosing the entry shown keeps the code (Linkwitz-Riley's code 2
        // is listed as its 12 dB/Oct entry, which stores code 1).
        presenter->OnSlopeChosen(kHp, view.slopes[kHp].selected);
        EXPECT_EQ(Filter(3, kHp).GetSlope(), c.family == 0 && c.code == 2 ? 1 : c.code);
    }
    EXPECT_EQ(view.types[kHp].entries,
              (std::vector<std::string>{"Link_Ril", "Bessel", "Butter_W"}));
    EXPECT_EQ(view.slopes[kHp].entries.back(), "关闭") << "in both languages";

    // A family without a list leaves the slope list as it was.
    const int shows = view.slopes[kHp].shows;
    SetFilter(3, kHp, 6, 1, 100);
    presenter->RefreshCrossover(3);
    EXPECT_EQ(view.slopes[kHp].shows, shows);
    EXPECT_EQ(view.types[kHp].selected, -1);

    g_bChinese = true;
    presenter->Relabel();
    EXPECT_EQ(view.types[kHp].entries[0], "宁克");
}

TEST_F(XoverPresenterTest, TypeChangeKeepsTheSlopeCodesAndReachesThePartner) {
    Link({0, 2});
    SetFilter(0, kHp, 1, 2, 80);  // Bessel 18 dB/Oct
    SetFilter(2, kHp, 2, 3, 80);  // Butterworth 24 dB/Oct
    presenter->Refresh();

    presenter->OnTypeChosen(kHp, 0);
    EXPECT_EQ(Filter(0, kHp).GetSlope(), 2);
    EXPECT_EQ(view.types[kHp].selected, 0);
    EXPECT_EQ(view.SlopeShown(kHp), "12dB/Oct") << "Linkwitz-Riley has no 18";
    EXPECT_EQ(redrawn, std::vector<int>{31});
    RunLinkUntilIdle();
    EXPECT_EQ(DeviceXover(2)[kXoverHighFamily], 0);
    EXPECT_EQ(DeviceXover(2)[kXoverHighSlope], 3) << "the partner keeps its own code";
    EXPECT_EQ(DeviceXover(0)[kXoverHighSlope], 2);
}

// The high-pass never ends above the low-pass, whichever field is edited.
TEST_F(XoverPresenterTest, HighPassStaysAtOrBelowLowPass) {
    struct Case {
        const char* what;
        int high, low;  // before
        XoverSide edited;
        int typed;
        int wantHigh, wantLow;
    };
    const Case cases[] = {
        {"high-pass typed above the low-pass", 100, 500, kHp, 800, 500, 500},
        {"low-pass stepped below the high-pass", 2200, 5000, kLp, 2100, 2200, 2200},
        {"equal is allowed", 100, 500, kHp, 500, 500, 500},
        {"high-pass within the pass band", 100, 500, kHp, 300, 300, 500},
        {"low-pass within the pass band", 100, 500, kLp, 150, 100, 150},
    };
    Link({0, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (int ch : {0, 1}) {
            SetFilter(ch, kHp, 2, 2, c.high);
            SetFilter(ch, kLp, 2, 2, c.low);
        }
        presenter->Refresh();
        presenter->OnFreqCommitted(c.edited, c.typed);
        EXPECT_EQ(view.freqs[kHp], c.wantHigh);
        EXPECT_EQ(view.freqs[kLp], c.wantLow);
        RunLinkUntilIdle();
        for (int ch : {0, 1}) {
            EXPECT_EQ(Filter(ch, kHp).GetFreq(), c.wantHigh) << "channel " << ch + 1;
            EXPECT_EQ(Filter(ch, kLp).GetFreq(), c.wantLow) << "channel " << ch + 1;
            EXPECT_EQ(GetWord(DeviceXover(ch).data() + kXoverHighFreq), c.wantHigh);
            EXPECT_EQ(GetWord(DeviceXover(ch).data() + kXoverLowFreq), c.wantLow);
        }
    }
}

TEST_F(XoverPresenterTest, GraphDragShowsTheFrequencyAndReachesTheGroup) {
    Link({0, 5});
    {
        std::lock_guard lock(g_csModel);
        Filter(0, kLp).SetFreq(3000, true);  // as a drag step does
    }
    presenter->OnGraphEdited(5);  // a band: not the group's
    EXPECT_EQ(view.freqs[kLp], 20000);
    presenter->OnGraphEdited(32);
    EXPECT_EQ(view.freqs[kLp], 3000);
    RunLinkUntilIdle();
    EXPECT_EQ(GetWord(DeviceXover(5).data() + kXoverLowFreq), 3000);
    EXPECT_EQ(Filter(4, kLp).GetFreq(), 20000) << "not linked";
}

}  // namespace
