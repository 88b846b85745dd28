// Conversion between the program's 8-bit code page (Windows-1250), in which
// cells, files and frames keep their texts, and UTF-8, in which the windows
// show and take them.
#pragma once

#include <string>
#include <string_view>

// The 18 Polish letters in Windows-1250 (Ą Ć Ę Ł Ń Ó Ś Ź Ż, then the small
// ones). Besides ASCII they are all a name can hold on the register: names
// go to it in Mazovia, and the conversion maps these letters only.
inline constexpr std::string_view kPolishLetters =
    "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF";

// Every byte has a form: the five bytes Windows-1250 leaves unassigned
// (0x81, 0x83, 0x88, 0x90, 0x98) become the control characters of the same
// value, so a text read from a file comes back unchanged.
std::string Cp1250ToUtf8(std::string_view text);

// A character with no Windows-1250 form, and every byte of a malformed
// UTF-8 sequence, becomes '?'.
std::string Utf8ToCp1250(std::string_view text);

// One character appended to a UTF-8 text.
void AppendUtf8(std::string& out, char32_t cp);
