#pragma once
// The value behind a numeric entry field and its spin: an integer step
// position in a range, and the value type that decides how a position is
// shown, how typed text becomes a position and how the arrows step it. The
// desktop widgets and the command-line tool both use it; it knows nothing of
// windows or timers.

#include <string>

// Value type codes of the numeric fields.
enum NumValueType : int {
    kValDelayMs = 0,         // delay samples shown in milliseconds
    kValDelayCm = 1,         // delay samples shown as centimetres of sound travel
    kValDelayInch = 2,       // delay samples shown as inches of sound travel
    kValBandFreq = 4,        // band frequency in Hz, "%d"; arrows snap to the grid
    kValAttack = 5,          // limiter attack code
    kValXoverFreq = 8,       // crossover frequency, "%dHz"; arrows snap to the grid
    kValGridFreq = 9,        // a frequency shown linearly; arrows snap to the grid
    kValEqGain = 10,         // band gain, "%0.1f"
    kValQ = 11,              // band Q from the Q table
    kValMixPercent = 13,     // mixer level, "%d"
    kValLevelDbu = 23,       // level, "%0.0fdBu"; position 0 is "OFF"
    kValThresholdDbu = 24,   // limiter threshold, "%0.1fdBu"
    kValGainDb = 25,         // gain, "%0.0fdB"
    kValGainDbInRange = 26,  // gain, "%0.0fdB" of the position forced into the range
    kValGainOffAtMax = 30,   // gain, "%0.1fdB"; the top position is "OFF"
};

class CNumValue {
public:
    // Air temperature + 50 degrees C used by the distance types: 25 degrees C.
    static constexpr int kDefaultTempCode = 75;

    void SetType(int type) { m_nType = type; }
    int GetType() const { return m_nType; }
    // Physical value of a linear position: pos * step - offset.
    void SetStep(double step) { m_dStep = step; }
    void SetOffset(double offset) { m_dOffset = offset; }
    double GetStep() const { return m_dStep; }
    double GetOffset() const { return m_dOffset; }

    // Sets the step range; the position becomes lo.
    void SetRange(int lo, int hi);
    int GetMin() const { return m_nMin; }
    int GetMax() const { return m_nMax; }

    // Stores p when it lies in the range; returns false and keeps the old
    // position otherwise (the owner then shows BeyondRangeText).
    bool SetPos(int p);
    // Stores p whatever the range: a stored value the device or a file holds
    // beyond the field's range is shown as it is, not replaced. An arrow
    // step then starts from it clamped into the range.
    void HoldPos(int p) { m_nPos = p; }
    int GetPos() const { return m_nPos; }
    bool IsOutOfRange() const { return m_nPos < m_nMin || m_nPos > m_nMax; }

    // Physical value of position p for the linear types.
    double LinearValue(int p) const { return p * m_dStep - m_dOffset; }

    // Text of position p, and of the current position.
    std::string TextOf(int p) const;
    std::string Text() const { return TextOf(m_nPos); }

    // Position that typed text stands for, always inside the range: values
    // beyond the range are clamped, text that is no number counts as 0. The
    // text of a position parses back to that position. Frequencies take a
    // "k" for thousands and an optional "Hz" ("1.5k", "2.2kHz", "80hz").
    int ParseText(const std::string& text) const;
    // Parses typed text and stores the position; returns it.
    int Commit(const std::string& text);

    // Arrow step by delta (+1 up, -1 down) from the current position; the
    // frequency types land on the neighbouring response-grid frequency. The
    // new position is stored and returned.
    int Step(int delta);

private:
    int ClampPos(double p) const;
    int ParseValue(const std::string& text) const;
    int ParseFreq(const std::string& text) const;
    int ParseLinear(double value) const;
    int ParseDelayMs(double ms) const;
    int ParseDistanceMetres(double metres) const;
    int ParseAttack(double ms) const;
    int ParseQ(double q) const;
    int ParseMixPercent(double percent) const;
    std::string DistanceText(int p, double metresToUnit) const;
    std::string OffOr(bool off, const char* format, double value) const;
    int SnapToGrid(int p, bool up) const;
    double SpeedOfSoundParse() const;

    int m_nPos = 0;
    int m_nMin = 0;
    int m_nMax = 0;
    double m_dStep = 0.0;
    double m_dOffset = 0.0;
    int m_nType = kValDelayMs;
    int m_nTempCode = kDefaultTempCode;
};

// The field's name, ":", then "Data beyond range!" in the current language:
// what the owner shows when a program-set position lies outside the range.
std::string BeyondRangeText(const std::string& fieldName);
