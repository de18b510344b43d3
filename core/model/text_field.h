#pragma once
// Fixed-width text fields of the parameter image and the GBK <-> UTF-8
// conversion at the image boundary. Names inside images are GBK bytes (code
// page 936); strings in the program are UTF-8. Field limits count GBK bytes,
// and a cut never splits a double-byte character.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// UTF-8 -> GBK. Characters GBK cannot hold (and bytes that are not UTF-8)
// become '?' and clear *ok; *ok may be null.
std::string Utf8ToGbk(const std::string& text, bool* ok = nullptr);
// GBK -> UTF-8. Bytes that are not GBK become '?' and clear *ok; *ok may be null.
std::string GbkToUtf8(const std::string& gbk, bool* ok = nullptr);

// Strict copy into a field of n bytes: the text, then NUL up to the end.
// A text of n or more GBK bytes, or one GBK cannot hold, is refused: the
// "char Len error!" message is posted (UM_SHOW_MESSAGE) and the field is left
// unchanged.
bool TextToField(std::uint8_t* field, const std::string& text, int n);

// Cutting copy: at most n - 1 GBK bytes of the text, then NUL; byte n - 1 is
// always NUL. A cut that would split a double-byte character stops before it.
void TextToFieldCut(std::uint8_t* field, int n, const std::string& text);

// The text of the first n - 1 bytes (TextFromField) or of all n bytes
// (TextFromFieldAll), up to the first NUL, with spaces trimmed at both ends.
std::string TextFromField(const std::uint8_t* field, int n);
std::string TextFromFieldAll(const std::uint8_t* field, int n);

// Length in bytes of the control character that starts at text[at]: a C0
// control (0x00-0x1F), DEL, or a C1 control (U+0080-U+009F, two bytes in
// UTF-8); 0 when there is none. Terminals act on them (ESC starts escape
// sequences), so names never hold them.
std::size_t ControlCharacterLength(std::string_view text, std::size_t at);
bool HasControlCharacters(std::string_view text);

// Spaces trimmed from both ends.
std::string TrimSpaces(const std::string& text);
// True when nothing but spaces is left.
bool IsBlank(const std::string& text);
