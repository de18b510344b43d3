// The device commands against a virtual processor: what they print, what
// they leave in the device's memory, and how they fail.

#include <sys/stat.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <thread>

#include "cli/cli_fixture.h"
#include "image/param_image.h"
#include "image/record_layout.h"
#include "link/claims.h"
#include "sim/device_memory.h"

namespace cli_test {
namespace {

std::string NameOf(const ParamImage& image) {
    const auto* bytes = reinterpret_cast<const char*>(image.data());
    return std::string(bytes, strnlen(bytes, kImageNameSize));
}

int SlotWord(const ParamImage& image, int channel, int offset) {
    return GetWord(image.data() + OutSlotOffset(channel) + offset);
}

class DeviceCommandsTest : public CliTest {};

TEST_F(DeviceCommandsTest, InfoAndShowReportTheIdentifiedDevice) {
    SimServer& server = AddDevice();
    const CliRun info = Cli({"info"});
    ASSERT_EQ(info.status, kExitOk) << info.err;
    EXPECT_NE(info.out.find("device: " + server.InterfacePath()), std::string::npos);
    EXPECT_NE(info.out.find("identification: TQR-905-31EQ-V3.0"), std::string::npos);
    EXPECT_NE(info.out.find("state: online"), std::string::npos);

    const CliRun show = Cli({"show", "--json"});
    ASSERT_EQ(show.status, kExitOk) << show.err;
    const JsonValue doc = Json(show.out);
    EXPECT_EQ(doc["kind"].text, "device");
    EXPECT_EQ(doc["source"].text, server.InterfacePath());
    EXPECT_EQ(doc["identification"].text, "TQR-905-31EQ-V3.0");
    EXPECT_EQ(doc["group_names"].items.size(), 6u);
    EXPECT_EQ(doc["current"]["channels"].items.size(), 6u);
    EXPECT_EQ(doc["system"]["master_volume_db"].number, 0);
    // The device is released when the command ends.
    EXPECT_TRUE(IsPathFree(server.InterfacePath()));
}

// Names and the identification come from files and devices: printed as they
// are, an escape sequence in them would drive the user's terminal.
TEST_F(DeviceCommandsTest, TextFromTheDeviceReachesTheTerminalWithoutControls) {
    sim::DeviceMemory memory = processor.Memory();
    const char kEvil[] = "A\x1b]0;x\x07";  // sets the terminal's title
    std::copy_n(kEvil, sizeof kEvil, memory.groups[1].begin() + kImageNameOffset);
    const char kClear[] = "C\x1b[2J";  // clears the screen
    std::copy_n(kClear, sizeof kClear, memory.current.begin() + OutSlotOffset(0) + kOutName);
    processor.SetMemory(memory);
    processor.SetIdentification("TQR-905-31EQ-V3\x1b[");
    AddDevice();

    struct Case {
        std::vector<std::string> args;
        const char* shown;
    };
    const Case cases[] = {
        {{"names"}, "2  A\\x1b]0;x\\x07"},
        {{"show"}, "2  A\\x1b]0;x\\x07"},
        {{"show"}, "CH1 \"C\\x1b[2J\""},
        {{"show"}, "identification: TQR-905-31EQ-V3\\x1b["},
        {{"info"}, "identification: TQR-905-31EQ-V3\\x1b["},
        {{"get", "ch1.name"}, "ch1.name=C\\x1b[2J"},
    };
    for (const Case& c : cases) {
        const CliRun run = Cli(c.args);
        ASSERT_EQ(run.status, kExitOk) << c.args[0] << ": " << run.err;
        EXPECT_EQ(run.out.find('\x1b'), std::string::npos) << c.args[0];
        EXPECT_NE(run.out.find(c.shown), std::string::npos) << c.args[0] << ":\n" << run.out;
    }
    // Error lines quote what was typed.
    const CliRun refused = Cli({"get", "ch1.\x1b[2J"});
    EXPECT_EQ(refused.status, kExitRefused);
    EXPECT_NE(refused.err.find("'ch1.\\x1b[2J'"), std::string::npos) << refused.err;
    // JSON keeps the text, escaped as JSON does.
    const CliRun json = Cli({"names", "--json"});
    ASSERT_EQ(json.status, kExitOk) << json.err;
    EXPECT_EQ(json.out.find('\x1b'), std::string::npos);
    EXPECT_EQ(Json(json.out).items[1]["name"].text, "A\x1b]0;x\x07");
}

// A bus the programs will not use is named with the reason, instead of a
// bare "no TQR-905 found".
TEST_F(DeviceCommandsTest, DevicesSaysWhyTheVirtualBusIsNotUsed) {
    ASSERT_EQ(::chmod(BusPath().c_str(), 0777), 0);
    const CliRun open = Cli({"devices"});
    ASSERT_EQ(::chmod(BusPath().c_str(), 0700), 0);
    EXPECT_NE(open.err.find("virtual bus not used: unable to use " + BusPath() +
                            ": other users may write to it"),
              std::string::npos)
        << open.err;

    const char* saved = ::getenv("XDG_RUNTIME_DIR");
    const std::string runtime = saved != nullptr ? saved : "";
    ::unsetenv("TQR905_VHID_DIR");
    ::unsetenv("XDG_RUNTIME_DIR");
    const CliRun none = Cli({"devices"});
    ::setenv("TQR905_VHID_DIR", BusPath().c_str(), 1);
    if (saved != nullptr) ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    EXPECT_NE(none.err.find("XDG_RUNTIME_DIR is not set"), std::string::npos) << none.err;

    const CliRun fine = Cli({"devices"});
    EXPECT_EQ(fine.err, "");
}

TEST_F(DeviceCommandsTest, DevicesListsProcessorsAndWhetherAnotherCopyHoldsThem) {
    EXPECT_EQ(Json(Cli({"devices", "--json"}).out).items.size(), 0u);
    SimServer& first = AddDevice();
    AddDevice(NewProcessor(), "second");
    ASSERT_TRUE(ClaimPath(first.InterfacePath()));
    const CliRun run = Cli({"devices", "--json"});
    ReleasePath(first.InterfacePath());
    ASSERT_EQ(run.status, kExitOk) << run.err;
    const JsonValue list = Json(run.out);
    ASSERT_EQ(list.items.size(), 2u);
    for (const JsonValue& device : list.items) {
        EXPECT_EQ(device["vendor_id"].text, "0483");
        EXPECT_EQ(device["free"].boolean, device["path"].text != first.InterfacePath());
    }
}

TEST_F(DeviceCommandsTest, ConnectFailuresEndWithTheirStatusAndText) {
    struct Case {
        const char* name;
        std::function<void()> setUp;
        std::vector<std::string> extraArgs;
        int status;
        const char* text;
    };
    std::unique_ptr<IHidDevice> holder;
    const Case cases[] = {
        {"no device", [] {}, {}, kExitNoDevice, "unable to connect"},
        {"chosen device absent",
         [] {},
         {"--device", "vhid:/tmp/none/x.sock"},
         kExitNoDevice,
         "is not present"},
        {"held by another program",
         [this, &holder] {
             const std::string path = AddDevice().InterfacePath();
             auto device = VhidBackend(BusPath()).Open(path);
             ASSERT_TRUE(device.Ok()) << device.ErrorText();
             holder = std::move(device.Value());
         },
         {},
         kExitNoDevice,
         "unable to connect"},
        {"older major version",
         [this] {
             processor.SetIdentification("TQR-905-31EQ-V2.0");
             AddDevice();
         },
         {},
         kExitDevice,
         "wrong identification \"TQR-905-31EQ-V2.0\""},
        {"empty data reply",
         [this] {
             processor.InjectFault(CVirtualProcessor::Fault::EmptyDataReply, 3);
             AddDevice();
         },
         {},
         kExitDevice,
         "Please Update the Firmware!"},
        {"silent device",
         [this] {
             processor.InjectFault(CVirtualProcessor::Fault::DropReply, 4);
             AddDevice();
         },
         {},
         kExitDevice,
         "unable to connect"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RemoveDevices();
        processor.ClearFaults();
        processor.SetIdentification("TQR-905-31EQ-V3.0");
        c.setUp();
        std::vector<std::string> args = c.extraArgs;
        args.push_back("info");
        const CliRun run = Cli(args);
        holder.reset();
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

TEST_F(DeviceCommandsTest, AMinorVersionIsAccepted) {
    processor.SetIdentification("TQR-905-31EQ-V3.7");
    AddDevice();
    const CliRun run = Cli({"info", "--json"});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(Json(run.out)["identification"].text, "TQR-905-31EQ-V3.7");
}

// Where each key's value lands in the device's memory.
struct KeyPlace {
    const char* pair;
    bool system;  // in the system settings, else in the current image
    int offset;
    int width;  // 1 or 2 bytes
    int expected;
};

constexpr int Slot(int channel, int offset) {
    return OutSlotOffset(channel) + offset;
}
constexpr int Band(int channel, int band, int field) {
    return OutSlotOffset(channel) + kBandRecordBytes * band + field;
}

const KeyPlace kKeyPlaces[] = {
    {"ch1.gain=-6", false, Slot(0, kOutGain), 2, 54},
    {"ch2.phase=inverted", false, Slot(1, kOutPhase), 1, 1},
    {"ch3.output=off", false, Slot(2, kOutOutputOn), 1, 0},
    {"ch4.delay=2.5ms", false, Slot(3, kOutDelay), 2, 120},
    {"ch5.name=Sub", false, Slot(4, kOutName), 2, 'S' | 'u' << 8},
    {"ch6.eqmode=graphic", false, Slot(5, kOutEqMode), 1, 1},
    {"ch1.eq5.freq=1000", false, Band(0, 4, kBandFreq), 2, 1000},
    {"ch1.eq5.gain=3.5", false, Band(0, 4, kBandGain), 2, 635},
    {"ch1.eq6.q=1.414", false, Band(0, 5, kBandWidth), 2, 95},
    {"ch1.eq7.bw=0.5", false, Band(0, 6, kBandWidth), 2, 45},
    {"ch1.eq8.type=highshelf", false, Band(0, 7, kBandType), 1, 2},
    {"ch1.eq9.gain=5", false, Band(0, 8, kBandGain), 2, 600},  // bypassed below: sent flat
    {"ch1.eq9.bypass=on", false, Band(0, 8, kBandGain), 2, 600},
    {"ch2.hp.freq=80", false, Slot(1, kOutXover + kXoverHighFreq), 2, 80},
    {"ch2.lp.freq=5000", false, Slot(1, kOutXover + kXoverLowFreq), 2, 5000},
    {"ch2.hp.family=lr", false, Slot(1, kOutXover + kXoverHighFamily), 1, 0},
    {"ch2.hp.slope=36", false, Slot(1, kOutXover + kXoverHighSlope), 1, 4},
    {"ch2.lp.slope=off", false, Slot(1, kOutXover + kXoverLowSlope), 1, 7},
    {"ch3.mix.2=50", false, Slot(2, kOutMix + 1), 1, 50},
    {"ch3.mix.10=30", false, Slot(2, kOutMix + 9), 1, 30},
    {"ch4.limiter.threshold=-10", false, Slot(3, kOutLimitThreshold), 2, 200},
    {"ch4.limiter.attack=10ms", false, Slot(3, kOutLimitAttack), 1, 16},
    {"ch4.limiter.release=8", false, Slot(3, kOutLimitRelease), 1, 3},
    {"source=bluetooth", true, kSysInputSource, 1, 2},
    {"master=-10", true, kSysMasterVolume, 2, 50},
    {"master.output=off", true, kSysMasterOutput, 1, 0},
};

TEST_F(DeviceCommandsTest, EverySetKeyLandsInTheDevicesMemory) {
    AddDevice();
    std::vector<std::string> args{"set"};
    std::vector<std::string> keys{"get"};
    for (const KeyPlace& place : kKeyPlaces) {
        args.push_back(place.pair);
        keys.push_back(std::string(place.pair).substr(0, std::string(place.pair).find('=')));
    }
    const CliRun set = Cli(args);
    ASSERT_EQ(set.status, kExitOk) << set.err;

    const sim::DeviceMemory memory = processor.Memory();
    for (const KeyPlace& place : kKeyPlaces) {
        const BYTE* bytes = place.system ? memory.sysSettings.data() : memory.current.data();
        const int value = place.width == 2 ? GetWord(bytes + place.offset) : bytes[place.offset];
        EXPECT_EQ(value, place.expected) << place.pair;
    }
    // set prints what get reads back from a fresh connection, except the
    // own gain of a bypassed band: the device holds the band flat.
    const CliRun get = Cli(keys);
    ASSERT_EQ(get.status, kExitOk) << get.err;
    std::string expected = set.out;
    const std::string bypassedGain = "ch1.eq9.gain=5.0dB";
    ASSERT_NE(expected.find(bypassedGain), std::string::npos) << set.out;
    expected.replace(expected.find(bypassedGain), bypassedGain.size(), "ch1.eq9.gain=0.0dB");
    EXPECT_EQ(get.out, expected);
    EXPECT_NE(get.out.find("ch1.gain=-6dB\n"), std::string::npos);
}

// A setting that already has the value sends nothing (the delay field's rule).
TEST_F(DeviceCommandsTest, AnUnchangedDelaySendsNothing) {
    AddDevice();
    ASSERT_EQ(Cli({"set", "ch4.delay=120"}).status, kExitOk);
    const int writes = WritesReceived();
    const CliRun again = Cli({"set", "ch4.delay=2.5ms"});
    ASSERT_EQ(again.status, kExitOk) << again.err;
    EXPECT_EQ(again.out, "ch4.delay=120\n");
    EXPECT_EQ(WritesReceived(), writes);
}

TEST_F(DeviceCommandsTest, ARefusedEditSendsNothing) {
    AddDevice();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {{"set", "ch1.gain=-6", "ch1.gain2=3"}, kExitRefused, "ch1.gain2"},
        {{"set", "ch1.gain=-6", "ch2.eq4.gain=30"}, kExitRefused, "ch2.eq4.gain"},
        {{"set", "ch1.gain=-6", "ch1.gain=-3"}, kExitRefused, "ch1.gain"},
        // Only the model knows that Butterworth offers no 36 dB/Oct.
        {{"set", "ch1.gain=-6", "ch1.hp.slope=36"}, kExitRefused, "ch1.hp.slope"},
        {{"set", "ch1.gain"}, kExitUsage, "KEY=VALUE"},
        {{"get", "ch7.gain"}, kExitRefused, "ch7"},
    };
    for (const Case& c : cases) {
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args[2 % c.args.size()];
        EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
    }
    EXPECT_EQ(WritesReceived(), 0);
    EXPECT_EQ(SlotWord(processor.CurrentImage(), 0, kOutGain), 60);
}

TEST_F(DeviceCommandsTest, StoreRecallAndDeleteAGroup) {
    AddDevice();
    ASSERT_EQ(Cli({"set", "ch1.gain=-6"}).status, kExitOk);
    const CliRun store = Cli({"store", "2", "--name", "Rock"});
    ASSERT_EQ(store.status, kExitOk) << store.err;
    EXPECT_EQ(NameOf(processor.GroupImage(2)), "Rock");
    EXPECT_EQ(SlotWord(processor.GroupImage(2), 0, kOutGain), 54);

    ASSERT_EQ(Cli({"set", "ch1.gain=-12"}).status, kExitOk);
    const CliRun recall = Cli({"recall", "2"});
    ASSERT_EQ(recall.status, kExitOk) << recall.err;
    EXPECT_EQ(recall.out, "recalled group 2 \"Rock\"\n");
    EXPECT_EQ(SlotWord(processor.CurrentImage(), 0, kOutGain), 54);
    EXPECT_EQ(Cli({"get", "ch1.gain"}).out, "ch1.gain=-6dB\n");

    const CliRun del = Cli({"delete", "2"});
    ASSERT_EQ(del.status, kExitOk) << del.err;
    EXPECT_EQ(NameOf(processor.GroupImage(2)), "");
    EXPECT_EQ(SlotWord(processor.GroupImage(2), 0, kOutGain), 54);  // parameters kept
    const JsonValue names = Json(Cli({"names", "--json"}).out);
    EXPECT_FALSE(names[1]["used"].boolean);
    EXPECT_EQ(names[1]["name"].text, "");

    for (const char* group : {"0", "7", "x"})
        EXPECT_EQ(Cli({"recall", group}).status, kExitUsage);
}

TEST_F(DeviceCommandsTest, GroupNameRules) {
    AddDevice();
    struct Case {
        std::string name;
        int status;
        const char* text;  // in the error line, or the name the device gets
    };
    const Case cases[] = {
        {std::string(13, ' '), kExitRefused, "The name can not be all spaces!"},
        {"", kExitRefused, "The name can not be all spaces!"},
        {"abcdefghijklmn", kExitRefused, "longer than 13"},
        {"Rock\x1b]0;x\x07", kExitRefused, "the name has control characters"},
        {"摇滚摇滚摇滚摇", kExitRefused, "longer than 13"},  // 14 bytes in GBK
        {" a", kExitOk, " a"},
        {"abcdefghijklm", kExitOk, "abcdefghijklm"},
        {"摇滚摇滚摇滚", kExitOk, "\xD2\xA1\xB9\xF6\xD2\xA1\xB9\xF6\xD2\xA1\xB9\xF6"},
    };
    for (const Case& c : cases) {
        processor.ClearRequestLog();
        const CliRun run = Cli({"store", "3", "--name", c.name});
        EXPECT_EQ(run.status, c.status) << c.name << ": " << run.err;
        if (c.status == kExitOk) {
            EXPECT_EQ(NameOf(processor.GroupImage(3)), c.text);
        } else {
            EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
            EXPECT_TRUE(processor.RequestLog().empty()) << "refused before connecting";
        }
    }
}

// A name travels as 15 characters and comes back with characters 14 and 15
// as spaces, so two devices that show the same name may differ in the
// padding after it; everything else must be byte for byte the same.
ParamImage WithoutNamePadding(ParamImage image) {
    const std::size_t end = strnlen(reinterpret_cast<const char*>(image.data()), kImageNameSize);
    std::fill(image.begin() + static_cast<std::ptrdiff_t>(end), image.begin() + kImageNameSize, 0);
    return image;
}

TEST_F(DeviceCommandsTest, AllDataReadFromOneProcessorAndWrittenToAFreshOneLeavesBothAlike) {
    SimServer& first = AddDevice();
    const std::string firstPath = first.InterfacePath();
    const auto on = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"--device", firstPath});
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, kExitOk) << run.err;
    };
    // The first processor starts from a file the program wrote, so that it
    // holds what a file carries (the contains-data marks, the input bands as
    // the model writes them), then is shaped through the tool.
    on({"read", "--out", FilePath("seed.dspa")});
    on({"write", FilePath("seed.dspa")});
    on({"set", "ch1.gain=-6", "ch2.eq3.freq=250", "ch2.eq3.gain=-4.5", "ch3.hp.freq=120"});
    on({"store", "1", "--name", "One"});
    on({"set", "ch4.delay=1ms", "ch5.phase=inverted", "ch6.limiter.threshold=-3"});
    on({"store", "4", "--name", "Four"});
    on({"set", "ch1.eq31.gain=2", "ch2.mix.3=40"});
    on({"store", "6", "--name", "Six"});
    on({"set", "ch3.output=off"});
    on({"read", "--out", FilePath("device.dspa")});
    ASSERT_EQ(ReadBytes(FilePath("device.dspa")).size(), 46214u);

    CVirtualProcessor& fresh = NewProcessor();
    SimServer& second = AddDevice(fresh, "fresh");
    const CliRun write =
        Cli({"--device", second.InterfacePath(), "write", FilePath("device.dspa")});
    ASSERT_EQ(write.status, kExitOk) << write.err;

    sim::DeviceMemory a = processor.Memory();
    sim::DeviceMemory b = fresh.Memory();
    EXPECT_EQ(a.current, b.current);
    for (int g = 0; g < kDeviceGroupCount; ++g) {
        a.groups[g] = WithoutNamePadding(a.groups[g]);
        b.groups[g] = WithoutNamePadding(b.groups[g]);
        EXPECT_EQ(a.groups[g], b.groups[g]) << "group " << g + 1;
    }
    EXPECT_TRUE(a == b);
    EXPECT_EQ(NameOf(fresh.GroupImage(4)), "Four");
    EXPECT_EQ(SlotWord(fresh.GroupImage(1), 0, kOutGain), 54);

    // The fresh processor gives the same file back.
    const CliRun again =
        Cli({"--device", second.InterfacePath(), "read", "--out", FilePath("again.dspa")});
    ASSERT_EQ(again.status, kExitOk) << again.err;
    EXPECT_EQ(ReadBytes(FilePath("again.dspa")), ReadBytes(FilePath("device.dspa")));
}

TEST_F(DeviceCommandsTest, SingleSetReadAndWrittenCarriesTheCurrentSetting) {
    SimServer& first = AddDevice();
    ASSERT_EQ(Cli({"set", "ch2.gain=-9", "ch2.eq10.freq=180", "ch2.eq10.gain=3"}).status, kExitOk);
    ASSERT_EQ(Cli({"--device", first.InterfacePath(), "read", "--out", FilePath("a.dsps")}).status,
              kExitOk);
    ASSERT_EQ(ReadBytes(FilePath("a.dsps")).size(), 2212u);

    CVirtualProcessor& fresh = NewProcessor();
    SimServer& second = AddDevice(fresh, "fresh");
    const CliRun write = Cli({"--device", second.InterfacePath(), "write", FilePath("a.dsps")});
    ASSERT_EQ(write.status, kExitOk) << write.err;
    const ParamImage expected = processor.CurrentImage();
    const ParamImage got = fresh.CurrentImage();
    for (int c = 0; c < kOutputCount; ++c) {
        EXPECT_TRUE(std::equal(got.begin() + OutSlotOffset(c),
                               got.begin() + OutSlotOffset(c) + kOutBlockSize,
                               expected.begin() + OutSlotOffset(c)))
            << "CH" << c + 1;
    }
    // The outputs were muted during the transfer and are on again.
    EXPECT_EQ(got[OutSlotOffset(1) + kOutOutputOn], 1);
    EXPECT_EQ(fresh.GroupImage(1), processor.GroupImage(1));  // groups untouched
}

TEST_F(DeviceCommandsTest, FilesAreCheckedBeforeTheDeviceIsTouched) {
    AddDevice();
    WriteBytes(FilePath("short.dsps"), std::vector<BYTE>(2211, 0));
    std::vector<BYTE> single(2212, 0);
    single[0] = 15;
    std::memcpy(single.data() + 1, "TQR-905-PRO-1.0", 15);
    WriteBytes(FilePath("single.dspa"), single);
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* text;
    };
    const Case cases[] = {
        {{"write", FilePath("short.dsps")}, kExitFile, "error for file!"},
        {{"write", FilePath("missing.dspa")}, kExitFile, "Read all MusicFile Error"},
        {{"write", FilePath("single.dspa")}, kExitFile, "holds a single setting"},
        {{"write", FilePath("settings.DSPS")}, kExitUsage, ".dsps or .dspa"},
        {{"read", "--out", FilePath("x.txt")}, kExitUsage, ".dsps or .dspa"},
        {{"read"}, kExitUsage, "--out"},
        {{"read", "--out", "/nonexistent/dir/x.dspa"}, kExitFile, "save File Error!"},
        {{"read", "--out", "/nonexistent/dir/x.dsps"}, kExitFile, "Save MusicFile Error!"},
    };
    for (const Case& c : cases) {
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.args.back();
        EXPECT_NE(run.err.find(c.text), std::string::npos) << run.err;
    }
    EXPECT_TRUE(processor.RequestLog().empty());
}

TEST_F(DeviceCommandsTest, FactoryResetAsksFirst) {
    AddDevice();
    ASSERT_EQ(Cli({"set", "ch1.gain=-6"}).status, kExitOk);
    processor.ClearRequestLog();

    EXPECT_EQ(Cli({"factory-reset"}).status, kExitUsage);  // no terminal, no --yes
    std::istringstream no("n\n");
    m_hooks.stdinIsTerminal = true;
    m_hooks.in = &no;
    const CliRun declined = Cli({"factory-reset"});
    EXPECT_EQ(declined.status, kExitCancelled);
    EXPECT_NE(declined.err.find("After restoring the factory settings"), std::string::npos);
    EXPECT_TRUE(processor.RequestLog().empty());

    std::istringstream yes("y\n");
    m_hooks.in = &yes;
    ASSERT_EQ(Cli({"factory-reset"}).status, kExitOk);
    EXPECT_TRUE(processor.Memory() == sim::FactoryMemory());

    m_hooks.stdinIsTerminal = false;
    ASSERT_EQ(Cli({"set", "ch1.gain=-6"}).status, kExitOk);
    ASSERT_EQ(Cli({"factory-reset", "--yes"}).status, kExitOk);
    EXPECT_EQ(SlotWord(processor.CurrentImage(), 0, kOutGain), 60);
}

TEST_F(DeviceCommandsTest, FirmwareUpdate) {
    AddDevice();
    std::vector<BYTE> image(100);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<BYTE>(0x11 + 7 * i);
    WriteBytes(FilePath("fw.dsp"), image);
    const CliRun run = Cli({"upgrade", FilePath("fw.dsp")});
    ASSERT_EQ(run.status, kExitOk) << run.err;
    EXPECT_EQ(run.out, "Update successfully!\n");
    const auto installed = processor.LastInstalledImage();
    ASSERT_TRUE(installed.has_value());
    EXPECT_EQ(installed->bytes, image);

    WriteBytes(FilePath("fw.bin"), image);
    const CliRun wrongType = Cli({"upgrade", FilePath("fw.bin")});
    EXPECT_EQ(wrongType.status, kExitFile);
    EXPECT_NE(wrongType.err.find("升级文件类型错误"), std::string::npos) << wrongType.err;
}

TEST_F(DeviceCommandsTest, FirmwareUpdateWithoutADevice) {
    WriteBytes(FilePath("fw.dsp"), std::vector<BYTE>(100, 0x42));
    const CliRun run = Cli({"upgrade", FilePath("fw.dsp")});
    EXPECT_EQ(run.status, kExitNoDevice);
    EXPECT_NE(run.err.find("unable to connect"), std::string::npos) << run.err;
}

TEST_F(DeviceCommandsTest, AnInterruptStopsTheLinkAndReleasesTheDevice) {
    SimServerOptions slow;
    slow.latencyMs = 30;  // the read after connecting takes about half a second
    const std::string path = AddServer(slow, processor).InterfacePath();

    // Interrupted once the read after connecting is under way.
    std::thread interrupter([this] {
        EXPECT_TRUE(Eventually([this] { return processor.GetCounts().frames >= 3; }));
        RequestCliInterrupt();
    });
    const CliRun run = Cli({"show"});
    interrupter.join();
    EXPECT_EQ(run.status, kExitInterrupted) << run.err;
    EXPECT_NE(run.err.find("interrupted"), std::string::npos);
    EXPECT_TRUE(IsPathFree(path));
    // Another command gets the device at once.
    EXPECT_EQ(Cli({"info"}).status, kExitOk);
}

TEST_F(DeviceCommandsTest, TraceRecordsTheReports) {
    AddDevice();
    const std::string trace = FilePath("trace.log");
    ASSERT_EQ(Cli({"--trace", trace, "info"}).status, kExitOk);
    std::ifstream in(trace);
    std::string first;
    std::getline(in, first);
    EXPECT_NE(first.find(" > 00 A2 A2 A2 A3 B4"), std::string::npos) << first;
    EXPECT_EQ(Cli({"--trace", "/nonexistent/dir/t.log", "info"}).status, kExitFile);
}

}  // namespace
}  // namespace cli_test
