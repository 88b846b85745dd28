// The field encodings, byte for byte.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "Bcd.h"
#include "ByteText.h"
#include "Cp1250.h"

namespace {

using bytetext::Bytes;
using bytetext::Hex;

// Windows-1250 and Mazovia codes of the 18 letters, in the same order.
const std::string kWindowsLetters = Bytes("A5 C6 CA A3 D1 D3 8C 8F AF B9 E6 EA B3 F1 F3 9C 9F BF");
const std::string kMazoviaLetters = Bytes("8F 95 90 9C A5 A3 98 A0 A1 86 8D 91 92 A4 A2 9E A6 A7");

TEST(Bcd, MazoviaConvertsExactlyTheEighteenLetters) {
    std::string text = kWindowsLetters;
    ToMazovia(text);
    EXPECT_EQ(Hex(text), Hex(kMazoviaLetters));
    FromMazovia(text);
    EXPECT_EQ(Hex(text), Hex(kWindowsLetters));
    // The spreadsheet import takes these letters as the ones a name may hold.
    EXPECT_EQ(Hex(std::string(kPolishLetters)), Hex(kWindowsLetters));

    const std::string lodz = Bytes("A3 F3 64 9F");  // Łódź in Windows-1250
    EXPECT_EQ(Hex(ToMazovia(std::string_view(lodz))), "9C A2 64 A6");
    EXPECT_EQ(FromMazovia(std::string_view(Bytes("9C A2 64 A6"))), lodz);

    const std::string mixed = "Zażółć gęślą jaźń " + kWindowsLetters + " 123;";
    EXPECT_EQ(FromMazovia(std::string_view(ToMazovia(std::string_view(mixed)))), mixed);

    // Every other byte passes both ways unchanged.
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        if (kWindowsLetters.find(one) == std::string::npos) {
            EXPECT_EQ(ToMazovia(std::string_view(one)), one) << b;
        }
        if (kMazoviaLetters.find(one) == std::string::npos) {
            EXPECT_EQ(FromMazovia(std::string_view(one)), one) << b;
        }
    }

    // The copying form leaves the table's cell alone.
    const std::string cell = lodz;
    const std::string sent = ToMazovia(std::string_view(cell));
    EXPECT_EQ(cell, lodz);
    EXPECT_NE(sent, lodz);
}

TEST(Bcd, NameFieldIsAlwaysItsWidth) {
    struct Case { std::string text; std::size_t c, w; std::string bytes; };
    const std::vector<Case> cases = {
        {"", 18, 19, std::string(19, '\xFF')},
        {"Woda", 18, 19, "Woda" + std::string(15, '\xFF')},
        {"Kowalski", 6, 6, "Kowals"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ", 18, 19, "ABCDEFGHIJKLMNOPQR\xFF"},
        {"ABCDEFGH", 10, 4, "ABCD"},  // a limit above the width never widens the field
        {Bytes("A3 F3 64 9F"), 18, 19, Bytes("9C A2 64 A6") + std::string(15, '\xFF')},
        {"Woda", 0, 3, std::string(3, '\xFF')},
        {"Woda", 4, 0, ""},
    };
    for (const auto& c : cases) {
        const std::string field = NameField(c.text, c.c, c.w);
        EXPECT_EQ(field.size(), c.w) << c.text;
        EXPECT_EQ(Hex(field), Hex(c.bytes)) << c.text;
    }
}

TEST(Bcd, DecimalToIntegerDropsThePointAndSaturates) {
    constexpr auto kMax = std::numeric_limits<std::uint32_t>::max();
    const std::vector<std::pair<std::string, std::uint32_t>> cases = {
        {"12.34", 1234}, {"0.03", 3}, {"3", 3}, {"", 0}, {"TAK", 0}, {"23.00", 2300},
        {"0.50", 50}, {"12.5", 125}, {"12", 12}, {"12,50", 12}, {"1.2.3", 123},
        {"-5", 0}, {"7x9", 7},
        {"4294967295", kMax}, {"429496729.5", kMax}, {"4294967296", kMax},
        {"99999999999999999999.99", kMax},
    };
    for (const auto& [text, value] : cases) EXPECT_EQ(DecimalToInteger(text), value) << text;
}

TEST(Bcd, DecimalToScaledReadsTheDecimals) {
    constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
    struct Case { std::string text; int decimals; std::uint64_t value; };
    const std::vector<Case> cases = {
        {"12.5", 2, 1250}, {"12", 2, 1200}, {"12.50", 2, 1250}, {"0.03", 2, 3},
        {"", 2, 0}, {"abc", 2, 0}, {"12abc", 2, 1200}, {"12,5", 2, 1250}, {" 7.1", 2, 710},
        {"12.345", 3, 12345}, {"12.3", 3, 12300}, {"-1.5", 3, 0}, {"12.", 2, 1200},
        // extra decimals round half up
        {"0.125", 2, 13}, {"0.124", 2, 12}, {"2.675", 2, 268}, {"9.995", 2, 1000},
        {"5.5", 0, 6}, {"5.4", 0, 5},
        {"99999999999999999999", 2, kMax}, {"18446744073709551615.9", 0, kMax},
        {"1", 12, 1000000000}, {"1", -3, 1},  // decimals clamped to 0..9
    };
    for (const auto& c : cases) EXPECT_EQ(DecimalToScaled(c.text, c.decimals), c.value) << c.text << " " << c.decimals;
}

TEST(Bcd, PackBcdWritesExactlyItsField) {
    struct Case { std::int64_t v; int n; std::string bytes; };
    const std::vector<Case> cases = {
        {1234, 10, "34 12 00 00 00"},
        {12345678, 10, "78 56 34 12 00"},
        {0, 4, "00 00"},
        {-123, 6, "77 98 99"},
        {2300, 4, "00 23"},
        {900, 4, "00 09"},
        {-1, 4, "99 99"},
        {-1500, 6, "00 85 99"},
        {9999999999, 10, "99 99 99 99 99"},
        // too many digits: the low digits stay, the field does not grow
        {123456, 4, "56 34"},
        {10000000000, 10, "00 00 00 00 00"},
        {-10000, 4, "00 00"},
        {-12345, 4, "55 76"},  // ten's complement of the low four digits, 2345
        {std::numeric_limits<std::int64_t>::max(), 10, "07 58 77 54 68"},
        {std::numeric_limits<std::int64_t>::min(), 10, "92 41 22 45 31"},
        // odd or out-of-range widths
        {123, 5, "23 01"},
        {1234567890123, 12, "23 01 89 67 45"},
        {7, 1, ""},
        {7, 0, ""},
        {7, -4, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(PackBcd(c.v, c.n)), c.bytes) << c.v << " in " << c.n;
}

TEST(Bcd, PackDigitsInOrderFillsWithF) {
    struct Case { std::string digits; std::size_t k; std::string bytes; };
    const std::vector<Case> cases = {
        {"", 7, "FF FF FF FF FF FF FF"},
        {"12345678", 7, "12 34 56 78 FF FF FF"},
        {"5901234123457", 7, "59 01 23 41 23 45 7F"},
        {"1234", 2, "12 34"},
        {"123", 2, "12 3F"},
        {"5", 1, "5F"},
        {"123456", 2, "12 34"},             // at most 2k digits
        {"590123412345712", 7, "59 01 23 41 23 45 71"},
        {"12a4", 2, "12 FF"},               // a non-digit ends the digits
        {"1234", 0, ""},
    };
    for (const auto& c : cases) EXPECT_EQ(Hex(PackDigitsInOrder(c.digits, c.k)), c.bytes) << c.digits;
}

TEST(Bcd, HexDecoding) {
    EXPECT_EQ(HexDigitValue('0'), 0);
    EXPECT_EQ(HexDigitValue('9'), 9);
    EXPECT_EQ(HexDigitValue('A'), 10);
    EXPECT_EQ(HexDigitValue('F'), 15);
    EXPECT_EQ(HexDigitValue('b'), 11);
    for (int ch = -128; ch < 128; ++ch) {
        const int v = HexDigitValue(static_cast<char>(ch));
        EXPECT_TRUE(v >= 0 && v <= 15) << ch;
    }

    EXPECT_EQ(HexToBytes("414243"), "ABC");
    EXPECT_EQ(Hex(HexToBytes("4142004344")), "41 42 00 43 44");  // zero bytes kept
    EXPECT_EQ(HexToBytes("41424"), "AB");                         // odd last character ignored
    EXPECT_EQ(HexToBytes(""), "");

    const std::string record = "0011223344";
    EXPECT_EQ(HexBytesAt(record, 1, 2), "1122");
    EXPECT_EQ(HexBytesAt(record, 4, 5), "44");
    EXPECT_EQ(HexBytesAt(record, 5, 1), "");
    EXPECT_EQ(HexBytesAt(record, 9, 1), "");
    EXPECT_EQ(HexBytesAt("00112", 2, 3), "2");
    EXPECT_EQ(HexBytesAt(record, 0, std::numeric_limits<std::size_t>::max()), record);
    EXPECT_EQ(HexBytesAt(record, std::numeric_limits<std::size_t>::max(), 2), "");

    const std::vector<std::pair<std::string, std::string>> names = {
        {"576F6461FFFFFF", "Woda"},
        {"FFFF41FF42", "A"},
        {"4142004344", "AB"},
        {"00414243", ""},
        {"FFFFFFFF", ""},
        {"", ""},
        {"9CA264A6FFFF", Bytes("A3 F3 64 9F")},  // Łódź back in Windows-1250
    };
    for (const auto& [hex, name] : names) EXPECT_EQ(NameFromHex(hex), name) << hex;
}

TEST(Bcd, ReplyNumbers) {
    const std::vector<std::pair<std::string, std::string>> decimal = {
        {"7856341200", "12345678"}, {"FFFFFFFFFF", "0"}, {"0023", "2300"}, {"00000000", "0"},
        {"5012000000", "1250"}, {"", "0"}, {"12FF", "0"}, {"FF12", "12"}, {"123", "312"},
        {"99999999999999999999999999", "99999999999999999999999999"},
    };
    for (const auto& [hex, text] : decimal) EXPECT_EQ(BcdToDecimal(hex), text) << hex;

    const std::vector<std::pair<std::string, std::string>> signedValues = {
        {"779899", "-123"}, {"123400", "3412"}, {"341200", "1234"}, {"008599", "-1500"},
        {"002001", "12000"}, {"000000", "0"}, {"FFFFFF", "0"}, {"999999", "-1"},
        {"000060", "-400000"}, {"", "0"},
        {"99999999999999999999999999999999", "-1"},
    };
    for (const auto& [hex, text] : signedValues) EXPECT_EQ(BcdToSigned(hex), text) << hex;

    const std::vector<std::pair<std::string, std::string>> barcodes = {
        {"5901234123457F", "5901234123457"}, {"FFFFFFFFFFFFFF", ""}, {"12345678FFFFFF", "12345678"},
        {"59012341234575", "59012341234575"}, {"", ""},
    };
    for (const auto& [hex, text] : barcodes) EXPECT_EQ(BcdToBarcode(hex), text) << hex;

    const std::vector<std::pair<std::string, std::string>> multipliers = {
        {"0009", "1000"}, {"0011", "1000"}, {"0010", "0"}, {"5009", "500"}, {"0000", "10000"},
        {"9999", "89990"}, {"FFFF", "0"}, {"00", "0"}, {"", "0"}, {"00F9", "0"}, {"00110000", "1000"},
    };
    for (const auto& [hex, text] : multipliers) EXPECT_EQ(MultiplierToPercent(hex), text) << hex;

    const std::vector<std::pair<std::string, std::string>> swaps = {
        {"ABCDEF", "EFCDAB"}, {"AB", "AB"}, {"", ""}, {"A", "A"}, {"ABC", "CAB"}, {"563412", "123456"},
    };
    for (const auto& [text, swapped] : swaps) EXPECT_EQ(SwapHexPairs(text), swapped) << text;
}

TEST(Bcd, FormatDecimalsRoundsHalfAwayFromZero) {
    struct Case { std::string text; int d; std::string result; };
    const std::vector<Case> cases = {
        {"12.000", 0, "12"}, {"12", 2, "12.00"}, {"12.", 2, "12.00"}, {".5", 1, "0.5"},
        {"2.675", 2, "2.68"}, {"2.665", 2, "2.67"}, {"2.6749", 2, "2.67"}, {"-2.675", 2, "-2.68"},
        {"0.5", 0, "1"}, {"1.5", 0, "2"}, {"-0.5", 0, "-1"}, {"-0.001", 2, "0.00"}, {"-0", 0, "0"},
        {"9.995", 2, "10.00"}, {"99.9999", 3, "100.000"}, {"007.10", 1, "7.1"}, {"+3.14159", 3, "3.142"},
        {"", 2, "0.00"}, {"abc", 1, "0.0"}, {"12.3abc", 2, "12.30"},
        {"12.3", 5, "12.300"}, {"12.7", -1, "13"},  // d clamped to 0..3
        {"123456789012345678901234567890.5", 0, "123456789012345678901234567891"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDecimals(c.text, c.d), c.result) << c.text << " " << c.d;
}

bool AllDigits(const std::string& s) { return s.find_first_not_of("0123456789") == std::string::npos; }

// Replies can carry anything; no decoder may crash or return a malformed value.
TEST(Bcd, GarbageNeverBreaksTheDecoders) {
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> length(0, 40);
    const std::string hexish = "0123456789ABCDEF";
    for (int round = 0; round < 5000; ++round) {
        std::string text(static_cast<std::size_t>(length(random)), '\0');
        for (char& ch : text) {
            const int b = byte(random);
            ch = b < 160 ? hexish[static_cast<std::size_t>(b % 16)] : static_cast<char>(b);
        }
        EXPECT_EQ(HexToBytes(text).size(), text.size() / 2);
        EXPECT_EQ(SwapHexPairs(text).size(), text.size());
        EXPECT_TRUE(AllDigits(BcdToDecimal(text)));
        const std::string s = BcdToSigned(text);
        EXPECT_TRUE(AllDigits(s[0] == '-' ? s.substr(1) : s)) << s;
        const std::string bar = BcdToBarcode(text);
        EXPECT_TRUE(AllDigits(bar) && bar.size() <= 14);
        EXPECT_TRUE(AllDigits(MultiplierToPercent(text)));
        EXPECT_LE(NameFromHex(text).size(), text.size() / 2);
        const std::string f = FormatDecimals(text, round % 4);
        EXPECT_EQ(f.find('.') == std::string::npos, round % 4 == 0) << f;
        EXPECT_EQ(PackBcd(DecimalToInteger(text), 10).size(), 5u);
        EXPECT_EQ(PackDigitsInOrder(text, 7).size(), 7u);
        DecimalToScaled(text, round % 4);
        HexBytesAt(text, static_cast<std::size_t>(round % 25), static_cast<std::size_t>(round % 7));
    }
}

}  // namespace
