#pragma once
// Progress of a transfer or an update on stderr: a bar redrawn in place on a
// terminal and cleared when it ends; otherwise plain lines (start, every
// quarter, end) for the long transfers only, so that logs stay short.

#include <iosfwd>
#include <string>

class CProgress {
public:
    // Shorter transfers (the read after connecting) print no plain lines.
    static constexpr int kPlainLinesFrom = 40;

    CProgress(std::ostream& err, bool terminal) : m_err(err), m_bTerminal(terminal) {}
    ~CProgress() { Finish(); }
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    // A new bar running 0 .. total; ends one that is shown.
    void Start(const std::string& label, int total);
    void Update(int position);
    // A status line of its own (the update's steps): shown once per change.
    void Status(const std::string& text);
    // Ends the bar (a newline on a terminal); nothing when none is shown.
    void Finish();
    bool Active() const { return m_bActive; }

private:
    void Draw();
    void PrintLine();

    std::ostream& m_err;
    bool m_bTerminal;
    bool m_bActive = false;
    std::string m_strLabel;
    std::string m_strStatus;
    int m_nTotal = 0;
    int m_nPosition = 0;
    int m_nLastQuarter = -1;
    int m_nLastPrinted = -1;
};
