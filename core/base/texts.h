#pragma once
// The catalogue of every user-visible text of the system, in Chinese and in
// English. g_bChinese picks the language. Strings are UTF-8.

enum class TextId : unsigned {
    // Errors and confirmations
    CharLenError,
    UnableToConnect,
    DataError,
    EmptyReply,
    DataBeyondRange,
    HexFileError,
    UpgradeFileTypeError,
    ControllerWarning,
    DontCloseUpdate,
    FactoryResetConfirm,
    DeviceNotConnected,
    NameAllSpaces,
    DeleteGroupConfirm,
    FileError,
    ReadAllFileError,
    SaveMusicFileError,
    SaveFileError,
    // Titles and status lines
    TransferTitle,
    FirmwareUpdateTitle,
    SearchForDevice,
    UpgradeReady,
    UpgradeProgramming,
    UpgradeSuccess,
    ControllerProgramming,
    ControllerUpdateStart,
    ControllerUpdateEnd,
    FirmwareUpdateDone,
    // Value words
    Off,
    BandPeq,
    BandGeq,
    BandLowShelf,
    BandHighShelf,
    FamilyLinkwitzRiley,
    FamilyBessel,
    FamilyButterworth,
    PhaseNormal,
    PhaseInverted,
    InputLevelFormat,
    InputLevelOff,
    ListenFrontLeft,
    ListenFrontCenter,
    ListenFrontRight,
    ListenRearCenter,
    SourceHighLevel,
    SourceLowLevel,
    SourceBluetooth,
    SourcePlayer,
    GroupDefaultName,
    // Menus and dialogs
    SoundLoad,
    SoundSave,
    SourceLoadTitle,
    SourceSaveTitle,
    MenuLoad,
    MenuSave,
    MenuDelete,
    MenuFirmwareUpdate,
    MenuLanguage,
    MenuAbout,
    // Firmware files
    UpgradeFileTooLarge,
    // Equalizer panel, crossover group and limiter fields
    EqToGraphicQuestion,
    EqToParametricQuestion,
    EqResetQuestion,
    EqAllBypass,
    EqBandBypass,
    EqResetButton,
    XoverHighPass,
    XoverLowPass,
    LimiterTitle,
    LimiterThreshold,
    LimiterAttack,
    LimiterRelease,
    LimiterReleaseEntry,

    Count
};

// The text in the current language (g_bChinese).
const char* Text(TextId id);
// The text in the given language.
const char* TextIn(TextId id, bool chinese);
