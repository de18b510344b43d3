#pragma once
// A small streaming JSON writer with two-space indentation, for the --json
// outputs. Strings are UTF-8 and written as they are, with the characters
// JSON requires escaped.

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : m_out(out) {}
    // Ends the document with a newline.
    ~JsonWriter();
    JsonWriter(const JsonWriter&) = delete;
    JsonWriter& operator=(const JsonWriter&) = delete;

    void BeginObject();
    void EndObject();
    void BeginArray();
    void EndArray();
    // The name of the next member of the open object.
    void Key(std::string_view key);

    void String(std::string_view value);
    void Int(long long value);
    void Bool(bool value);
    void Null();
    // The shortest text that reads back as the same double.
    void Number(double value);
    // Fixed decimals: 1 for dB, 3 for Q, 9 for curve levels.
    void Fixed(double value, int decimals);

    // Key and value together.
    template <class T>
    void Member(std::string_view key, const T& value) {
        Key(key);
        Write(value);
    }

private:
    void Write(const std::string& v) { String(v); }
    void Write(const char* v) { String(v); }
    void Write(std::string_view v) { String(v); }
    void Write(bool v) { Bool(v); }
    void Write(int v) { Int(v); }
    void Write(long long v) { Int(v); }
    void Write(unsigned v) { Int(v); }
    void Write(double v) { Number(v); }

    void BeforeValue();
    void Open(char bracket);
    void Close(char bracket);
    void NewLine();

    struct Level {
        bool object;
        int count;
    };
    std::ostream& m_out;
    std::vector<Level> m_levels;
    bool m_bAfterKey = false;
    bool m_bWroteAnything = false;
};

// Escapes a string for JSON, quotes included.
std::string JsonQuote(std::string_view text);

// The shortest decimal text that reads back as the same double ("19.7", "20000").
std::string ShortestNumber(double value);
// Fixed decimals ("-3.500000000").
std::string FixedNumber(double value, int decimals);
