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
    // Sound-group dialogs, firmware dialog, menus and About
    AllGroupsNotSaved,
    GroupNameLabel,
    DialogOk,
    DialogCancel,
    SaveScopeAllGroups,
    SaveScopeCurrentGroup,
    LoadFromFileButton,
    SaveToFileButton,
    PresetFilesFilterName,
    SingleSetFilterName,
    AllDataFilterName,
    FirmwareFileLabel,
    FirmwareBrowse,
    FirmwareStart,
    FirmwareFactoryReset,
    FirmwareFilesFilterName,
    MenuSetModal,

    Count
};

// The text in the current language (g_bChinese).
const char* Text(TextId id);
// The text in the given language.
const char* TextIn(TextId id, bool chinese);
