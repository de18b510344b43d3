#pragma once
// Success or failure of a device-access operation, with a text that names
// what was attempted on which path ("unable to open vhid:/run/x.sock: device
// busy"). Nothing in the link layer throws; callers test the result.

#include <string>
#include <utility>
#include <variant>

enum class LinkErrorCode {
    NotFound,      // no such interface (unplugged, wrong path)
    Busy,          // another session or another program holds the device
    AccessDenied,  // the user may not open the node
    BadPath,       // the path names no known backend or is malformed
    Protocol,      // the other side broke the bus protocol
    System,        // any other operating-system failure
};

struct LinkError {
    LinkErrorCode eCode = LinkErrorCode::System;
    std::string strText;
};

template <class T>
class [[nodiscard]] LinkResult {
public:
    LinkResult(T value) : m_state(std::move(value)) {}
    LinkResult(LinkError error) : m_state(std::move(error)) {}

    bool Ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return Ok(); }

    T& Value() { return std::get<0>(m_state); }
    const T& Value() const { return std::get<0>(m_state); }
    const LinkError& Error() const { return std::get<1>(m_state); }
    // The error text, or "" on success; handy in messages and test output.
    std::string ErrorText() const { return Ok() ? std::string() : Error().strText; }

private:
    std::variant<T, LinkError> m_state;
};

// Result of an operation that yields nothing but success.
using LinkStatus = LinkResult<std::monostate>;
inline LinkStatus LinkOk() {
    return LinkStatus(std::monostate{});
}

inline LinkError MakeLinkError(LinkErrorCode code, std::string text) {
    return LinkError{code, std::move(text)};
}
