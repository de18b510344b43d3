#pragma once
// A message sink that keeps what was posted, from any thread, for tests that
// run parts of the core without a session.

#include <cstdint>
#include <mutex>
#include <ostream>
#include <utility>
#include <vector>

#include "base/messages.h"
#include "base/texts.h"

namespace test_support {

struct PostedMessage {
    unsigned msg = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
    bool operator==(const PostedMessage&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const PostedMessage& m) {
    return os << "{" << m.msg << ", " << m.wParam << ", " << m.lParam << "}";
}

class RecordingSink : public IMessageSink {
public:
    void Post(unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({msg, wParam, lParam});
    }
    std::vector<PostedMessage> Messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::vector<PostedMessage> Only(unsigned msg) {
        std::vector<PostedMessage> picked;
        for (const PostedMessage& m : Messages()) {
            if (m.msg == msg) picked.push_back(m);
        }
        return picked;
    }
    // The message boxes asked for, in order.
    std::vector<TextId> Shown() {
        std::vector<TextId> texts;
        for (const PostedMessage& m : Only(UM_SHOW_MESSAGE))
            texts.push_back(static_cast<TextId>(m.wParam));
        return texts;
    }
    // What was posted since the last call; forgotten here.
    std::vector<PostedMessage> Taken() {
        std::lock_guard lock(m_mutex);
        return std::exchange(m_messages, {});
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_messages.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<PostedMessage> m_messages;
};

}  // namespace test_support
