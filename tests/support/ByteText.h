// Bytes written as hexadecimal text and back, and request and reply frames
// built here, independently of the link's and the emulator's own helpers, so
// that tests can compare what goes over the line byte for byte.
#pragma once

#include <sstream>
#include <string>

namespace bytetext {

inline const std::string ESC = "\x1b";
inline const std::string BS = "\\";

// "34 12 00" -> the three bytes.
inline std::string Bytes(const std::string& hexWithSpaces) {
    std::istringstream in(hexWithSpaces);
    std::string out;
    for (std::string pair; in >> pair;) out.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
    return out;
}

// Bytes -> "34 12 00": readable in a failed comparison.
inline std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        if (!out.empty()) out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// Bytes -> "341200": two upper-case digits a byte, as the register sends
// record bytes.
inline std::string HexDigits(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

// The frame check: 0xFF XOR every byte, as two upper-case hexadecimal digits.
inline std::string Check(const std::string& bytes) {
    unsigned c = 0xFF;
    for (unsigned char b : bytes) c ^= b;
    static const char* digits = "0123456789ABCDEF";
    return {digits[(c >> 4) & 0xF], digits[c & 0xF]};
}

// A request frame: ESC 'P', the payload, its check, ESC '\'.
inline std::string Frame(const std::string& payload) { return ESC + "P" + payload + Check(payload) + ESC + BS; }

// A data reply as the register frames it: ESC 'P', "1#", the data, the check of
// "1#" and the data, ESC '\'.
inline std::string DataReply(const std::string& data) { return ESC + "P1#" + data + Check("1#" + data) + ESC + BS; }

// A status reply as the link reads it: header, the number, one character, two
// closing characters, ESC, backslash (the check is not looked at).
inline std::string StatusReply(const std::string& number) { return ESC + "P00" + number + "#ab" + ESC + BS; }

}  // namespace bytetext
