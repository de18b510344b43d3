#pragma once
// Notifications from the link worker and the reply parser to the front end.
// The core never calls the user interface: it posts these numbers to one
// IMessageSink, which the desktop application turns into queued calls on its
// event loop and the command-line tool into a queue its own loop drains.

#include <atomic>
#include <cstdint>

enum : unsigned {
    UM_GRAPH_EDITED = 1124,     // wParam filter index, lParam channel code
    UM_OUTPUTS_LOADED = 1134,   // wParam group
    UM_GROUP6_LOADED = 1135,    // wParam group
    UM_SYSTEM64_LOADED = 1136,  //
    UM_EFFECT_LOADED = 1143,    // wParam group
    UM_TRANSFER_DONE = 1174,    // lParam 0 read, 1 write
    UM_UPGRADE_DONE = 1175,     // lParam 179
    UM_LINK_FAILED = 1178,      //
    UM_AUTO_CONNECT = 1180,     //
    UM_PRESET_MENU = 1180,      // same number, posted to the preset dialogs only
    UM_EMPTY_REPLY = 1184,      //
    UM_DEVICE_ID = 1185,        //
    UM_NAME_LOADED = 1187,      //
    UM_SOURCE_CHANGED = 1189,   // wParam source

    // Our own, for what the original showed directly from the worker side.
    UM_SHOW_MESSAGE = 1300,       // wParam TextId: a message box with that text
    UM_TRANSFER_START = 1301,     // wParam progress range end: show the transfer dialog
    UM_TRANSFER_PROGRESS = 1302,  // wParam position
    UM_UPGRADE_STATUS = 1303,     // wParam TextId: the update's status line
    UM_UPGRADE_PROGRESS = 1304,   // wParam position of the update's progress bar
    UM_UPGRADE_RANGE = 1305,      // wParam progress total of the update
};

// Who a message is for. UM_PRESET_MENU and UM_AUTO_CONNECT share a number,
// so a message is told apart by its receiver, never by its number alone.
enum class MessageReceiver {
    MainView,       // the connection manager and the workspace
    PresetDialogs,  // every open preset dialog
};

class IMessageSink {
public:
    virtual ~IMessageSink() = default;
    // To the main view. Thread-safe and never blocking.
    virtual void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) = 0;
    // To any receiver; a sink that serves only the main view drops the rest.
    virtual void PostTo(MessageReceiver receiver, unsigned msg, std::uintptr_t wParam,
                        std::intptr_t lParam) {
        if (receiver == MessageReceiver::MainView) Post(msg, wParam, lParam);
    }
};

// The sink of the running front end; null while none is installed.
extern std::atomic<IMessageSink*> g_pMessageSink;

// Posts to g_pMessageSink when one is installed.
void PostUiMessage(unsigned msg, std::uintptr_t wParam = 0, std::intptr_t lParam = 0);
void PostUiMessageTo(MessageReceiver receiver, unsigned msg, std::uintptr_t wParam = 0,
                     std::intptr_t lParam = 0);
