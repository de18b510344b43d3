#include "base/messages.h"

std::atomic<IMessageSink*> g_pMessageSink{nullptr};

void PostUiMessage(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
    if (IMessageSink* sink = g_pMessageSink.load()) sink->Post(msg, wParam, lParam);
}

void PostUiMessageTo(MessageReceiver receiver, unsigned msg, std::uintptr_t wParam,
                     std::intptr_t lParam) {
    if (IMessageSink* sink = g_pMessageSink.load()) sink->PostTo(receiver, msg, wParam, lParam);
}
