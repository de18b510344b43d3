#include "base/texts.h"

#include "base/globals.h"

namespace {

struct Entry {
    TextId id;
    const char* chinese;
    const char* english;
};

// Several pairs differ in meaning; they are shown as they stand.
constexpr Entry kTexts[] = {
    {TextId::CharLenError, "字符长度错误!", "char Len error!"},
    {TextId::UnableToConnect, "无法连接设备", "unable to connect"},
    {TextId::DataError, "数据错误!", "数据错误!"},
    {TextId::EmptyReply, "数据回传错误!", "Please Update the Firmware!"},
    {TextId::DataBeyondRange, "数据超范围!", "Data beyond range!"},
    {TextId::FieldOutOfRange, "设备保存的数值超出本栏的范围",
     "The device holds a value outside this field's range"},
    {TextId::OfflineEditsQuestion,
     "窗口中的设置在未连接时被修改过。连接的设备保存着另一份设置：保留哪一份？",
     "The window's setting was changed while no device was connected. The device "
     "that connected holds its own setting: which one stays?"},
    {TextId::OfflineKeepDevice, "保留设备的设置", "Keep the device's setting"},
    {TextId::OfflineSendWindow, "发送窗口的设置", "Send the window's setting"},
    {TextId::HexFileError, "Hex文件错误!", "Hex File error!"},
    {TextId::UpgradeFileTypeError, "升级文件类型错误！", "升级文件类型错误！"},
    {TextId::ControllerWarning,
     "          手控器升级之前请断开蓝牙、退出U盘，\n    "
     "并且升级过程中请勿触碰任何设备防止断电！！！",
     "          手控器升级之前请断开蓝牙、退出U盘，\n    "
     "并且升级过程中请勿触碰任何设备防止断电！！！"},
    {TextId::DontCloseUpdate, "更新中 请勿关闭!", "Don't close up the update!"},
    {TextId::FactoryResetConfirm,
     "恢复出厂设置后，您的数据会全部丢失，这个过程是不可恢复的！ "
     "选择'是'则清除数据，选择'否'则不进行操作",
     "After restoring the factory settings, all your data will be lost. This process is not "
     "recoverable!  Choose 'YES' to clear the data, and choose 'NO' to do nothing."},
    {TextId::DeviceNotConnected, "设备未连接", "The device is not connected"},
    {TextId::NameAllSpaces, "组名不能全为空格!", "The name can not be all spaces!"},
    {TextId::DeleteGroupConfirm, "是否删除本组音效数据?", "Are you delete this Source Data?"},
    {TextId::FileError, "文件错误!", "error for file!"},
    {TextId::ReadAllFileError, "读所有音乐文件错误!", "Read all MusicFile Error"},
    {TextId::SaveMusicFileError, "保存音乐文件错误!", "Save MusicFile Error!"},
    {TextId::SaveFileError, "保存文件错误!", "save File Error!"},
    {TextId::TransferTitle, "数据传输中", "Data transmissionning"},
    {TextId::FirmwareUpdateTitle, "设备固件更新", "Device Firmware Update"},
    {TextId::SearchForDevice, "搜索待升级设备", "Search for upgraded devices"},
    {TextId::UpgradeReady, "设备升级准备就绪", "Equipment upgrade ready"},
    {TextId::UpgradeProgramming, "数据传输", "Programming......"},
    {TextId::UpgradeSuccess, "更新完成!", "Update successfully!"},
    // After E1 the English line has no text of its own; it mirrors the Chinese one.
    {TextId::ControllerProgramming, "数据传输", "Programming......"},
    {TextId::ControllerUpdateStart, "DSP更新开始", "Programming......"},
    {TextId::ControllerUpdateEnd, "DSP更新完成!", "DSP end of the update!"},
    {TextId::FirmwareUpdateDone, "固件更新完成!", "Update successfully!"},
    {TextId::LinkDropped, "声场联调已解除（设置已重新载入）",
     "L/R link released: setting reloaded"},
    {TextId::Off, "关闭", "OFF"},
    {TextId::BandPeq, "参量均衡", "PEQ"},
    {TextId::BandGeq, "图示均衡", "GEQ"},
    {TextId::BandLowShelf, "低架", "Lo_Shf"},
    {TextId::BandHighShelf, "高架", "Hi_Shf"},
    {TextId::FamilyLinkwitzRiley, "宁克", "Link_Ril"},
    {TextId::FamilyBessel, "贝塞尔", "Bessel"},
    {TextId::FamilyButterworth, "巴特沃斯", "Butter_W"},
    {TextId::PhaseNormal, "正相", "Pol+"},
    {TextId::PhaseInverted, "反相", "Pol-"},
    {TextId::InputLevelFormat, " %d级", " %dLevel"},
    {TextId::InputLevelOff, " 关 ", " OFF "},
    {TextId::ListenFrontLeft, "前左", "L&&Front"},
    {TextId::ListenFrontCenter, "前中置", "C&&Front"},
    {TextId::ListenFrontRight, "前右", "R&&Front"},
    {TextId::ListenRearCenter, "后中置", "C&&Rear"},
    // The source names are Chinese in both languages.
    {TextId::SourceHighLevel, "高电平", "高电平"},
    {TextId::SourceLowLevel, "低电平", "低电平"},
    {TextId::SourceBluetooth, "蓝牙", "蓝牙"},
    {TextId::SourcePlayer, "播放器", "播放器"},
    {TextId::GroupDefaultName, "音效%d", "Source%d"},
    {TextId::SoundLoad, "音效调用", "Sound Load"},
    {TextId::SoundSave, "音效保存", "Sound Save"},
    {TextId::SourceLoadTitle, "音效调用", "Source Load"},
    {TextId::SourceSaveTitle, "音效保存", "Source Save"},
    {TextId::MenuLoad, "读取", "Load"},
    {TextId::MenuSave, "保存", "Save"},
    {TextId::MenuDelete, "删除", "Delete"},
    {TextId::MenuFirmwareUpdate, "固件更新", "Firmware Update"},
    {TextId::MenuLanguage, "英文", "Chinese"},
    {TextId::MenuAbout, "关于", "About"},
    {TextId::UpgradeFileTooLarge, "升级文件过大，不是处理器或手控器固件！",
     "The file is too large for a processor or hand-controller firmware image!"},
    // Sound-group dialogs, firmware dialog, menus and About
    {TextId::AllGroupsNotSaved, "音效组未能全部读回，文件未保存!",
     "Not every sound group could be read; the file was not saved!"},
    {TextId::GroupNameLabel, "音效组名:", "Source Name:"},
    // The name dialog's buttons are Chinese in both languages.
    {TextId::DialogOk, "确定", "确定"},
    {TextId::DialogCancel, "取消", "取消"},
    {TextId::SaveScopeAllGroups, "全部音效组", "All groups"},
    {TextId::SaveScopeCurrentGroup, "当前音效", "Current group"},
    {TextId::LoadFromFileButton, "读取文件", "Load file"},
    {TextId::SaveToFileButton, "保存文件", "Save file"},
    {TextId::PresetFilesFilterName, "音效文件", "Sound files"},
    {TextId::SingleSetFilterName, "当前音效文件", "Single setting"},
    {TextId::AllDataFilterName, "全部音效文件", "All data"},
    {TextId::FirmwareFileLabel, "固件文件:", "Firmware file:"},
    {TextId::FirmwareBrowse, "浏览", "Browse"},
    {TextId::FirmwareStart, "开始", "Start"},
    {TextId::FirmwareFactoryReset, "恢复出厂设置", "Factory reset"},
    {TextId::FirmwareFilesFilterName, "固件文件", "Firmware images"},
    {TextId::MenuSetModal, "Set Modal", "Set Modal"},
    // Equalizer panel, crossover group and limiter fields
    {TextId::EqToGraphicQuestion, "是否把参量均衡模式转换为图示均衡模式?",
     "Whether the PEQMode convert to GEQMode?"},
    {TextId::EqToParametricQuestion, "是否把图示均衡模式转换为参量均衡模式?",
     "Whether the GEQMode convert to PEQMode?"},
    {TextId::EqResetQuestion, "是否恢复所有EQ的初始值", "Whether the reset all EQ?"},
    {TextId::EqAllBypass, "All ByPass", "All ByPass"},
    {TextId::EqBandBypass, "BY", "BY"},
    {TextId::EqResetButton, "EQ复位", "EQ Reset"},
    {TextId::XoverHighPass, "高通", "High Pass"},
    {TextId::XoverLowPass, "低通", "Low Pass"},
    {TextId::LimiterTitle, "限幅器", "Limiter"},
    {TextId::LimiterThreshold, "阈值", "Threshold"},
    {TextId::LimiterAttack, "启动时间", "Attack"},
    {TextId::LimiterRelease, "释放时间", "Release"},
    // The release list: a multiple of the attack time, the same in both languages.
    {TextId::LimiterReleaseEntry, "Atk × ", "Atk × "},
    // Car diagram, channel links, mixer panel, variant dialog
    {TextId::DelayUnitMs, "毫秒", "ms"},
    {TextId::DelayUnitCm, "厘米", "cm"},
    {TextId::DelayUnitInch, "英寸", "in"},
    {TextId::LinkDialogTitle, "声场联调", "Grouping of Front channel"},
    {TextId::LinkSideLeft, "以左侧为准", "Left side"},
    {TextId::LinkSideRight, "以右侧为准", "Right side"},
    {TextId::NoLinkPairs, "无通道可以联调", "无通道可以联调"},
    {TextId::Link56, "Link56", "Link56"},
    {TextId::ButtonOk, "确定", "OK"},
    {TextId::ButtonCancel, "取消", "Cancel"},
    {TextId::MixerTitle, "混音", "Mixer"},
    {TextId::MixerMoreInputs, "更多输入", "More inputs"},
    {TextId::MixerInputFormat, "输入%d", "IN%d"},
    {TextId::MixerOutputFormat, "CH%d", "CH%d"},
    {TextId::VariantDialogTitle, "机型选择", "Select Modal"},
    {TextId::VariantName0, "机型 A", "Model A"},
    {TextId::VariantName1, "机型 B", "Model B"},
    // Workspace window: top bar, channel strips, legend. The channel-type
    // presets are Chinese in both languages.
    {TextId::WsConnect, "连接", "Connect"},
    {TextId::WsMaster, "总音量", "Master"},
    {TextId::WsMasterOutput, "总输出", "Output"},
    {TextId::WsChannelOutput, "输出", "Out"},
    {TextId::WsChannelFormat, "CH%d", "CH%d"},
    {TextId::WsLinkLeftRight, "左右联调", "L/R Link"},
    {TextId::WsMixer, "混音", "Mixer"},
    {TextId::WsSoundGroups, "音效", "Sound"},
    {TextId::WsMainMenu, "菜单", "Menu"},
    {TextId::WsPresetDefault, "默认", "默认"},
    {TextId::WsPresetMode1, "模式一", "模式一"},
    {TextId::WsPresetMode2, "模式二", "模式二"},
    {TextId::WsPresetMode3, "模式三", "模式三"},
    {TextId::WsPresetMode4, "模式四", "模式四"},
    {TextId::WsPresetMode5, "模式五", "模式五"},
    {TextId::WsMinimize, "最小化", "Minimize"},
    {TextId::WsClose, "关闭", "Close"},
    // Edit history and A/B comparison: a step is named by its parts,
    // "CH1" + " band 5" + " gain".
    {TextId::HistUndo, "撤销", "Undo"},
    {TextId::HistRedo, "重做", "Redo"},
    {TextId::HistTitle, "历史记录", "History"},
    {TextId::HistStart, "<打开时的设置>", "<setting as read>"},
    {TextId::HistCleared, "已从设备读回设置，撤销历史已清除",
     "Setting read from the device: the undo history was cleared"},
    {TextId::HistChannelFormat, "CH%d", "CH%d"},
    {TextId::HistBandFormat, " 第%d段", " band %d"},
    {TextId::HistGain, " 增益", " gain"},
    {TextId::HistPhase, " 相位", " phase"},
    {TextId::HistOutput, " 输出", " output"},
    {TextId::HistDelay, " 延时", " delay"},
    {TextId::HistName, " 名称", " name"},
    {TextId::HistEqMode, " 均衡模式", " EQ mode"},
    {TextId::HistFreq, " 频率", " frequency"},
    {TextId::HistQ, " Q值", " Q"},
    {TextId::HistBandwidth, " 带宽", " bandwidth"},
    {TextId::HistType, " 类型", " type"},
    {TextId::HistBypass, " 旁通", " bypass"},
    {TextId::HistHighPass, " 高通", " high-pass"},
    {TextId::HistLowPass, " 低通", " low-pass"},
    {TextId::HistFamily, " 滤波器", " filter"},
    {TextId::HistSlope, " 斜率", " slope"},
    {TextId::HistMixFormat, " 混音输入%d", " mix input %d"},
    {TextId::HistLimitThreshold, " 限幅阈值", " limiter threshold"},
    {TextId::HistLimitAttack, " 限幅启动时间", " limiter attack"},
    {TextId::HistLimitRelease, " 限幅释放时间", " limiter release"},
    {TextId::HistSource, "音源", "source"},
    {TextId::HistMasterVolume, "总音量", "master volume"},
    {TextId::HistMasterOutput, "总输出", "master output"},
    {TextId::HistEdit, " 设置", " settings"},
    {TextId::HistRecallFormat, "调用音效组%d", "recall group %d"},
    {TextId::HistPresetFile, "读取音效文件", "load preset file"},
    {TextId::HistABSwitch, "A/B 切换", "A/B switch"},
    // The A/B button: which slot plays.
    {TextId::HistABLive, "A/B: %c", "A/B: %c"},
};

static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<unsigned>(TextId::Count),
              "every TextId has exactly one entry");

constexpr bool InIdOrder() {
    for (unsigned i = 0; i < static_cast<unsigned>(TextId::Count); ++i)
        if (static_cast<unsigned>(kTexts[i].id) != i) return false;
    return true;
}
static_assert(InIdOrder(), "entries are listed in TextId order");

}  // namespace

const char* TextIn(TextId id, bool chinese) {
    const unsigned i = static_cast<unsigned>(id);
    if (i >= static_cast<unsigned>(TextId::Count)) return "";
    return chinese ? kTexts[i].chinese : kTexts[i].english;
}

const char* Text(TextId id) {
    return TextIn(id, g_bChinese.load());
}
