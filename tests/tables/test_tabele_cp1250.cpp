#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Cp1250.h"

namespace {

TEST(Cp1250, EveryByteSurvivesTheRoundTrip) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::string utf8 = Cp1250ToUtf8(one);
        EXPECT_EQ(Utf8ToCp1250(utf8), one) << "byte " << b;
        if (b >= 0x80) {
            EXPECT_GE(utf8.size(), 2u) << "byte " << b;
        }
    }
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1250(Cp1250ToUtf8(all)), all);
}

TEST(Cp1250, KnownCharacters) {
    struct Case {
        std::string cp1250, utf8;
    };
    const std::vector<Case> cases = {
        {"\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF", "ĄĆĘŁŃÓŚŹŻ"},
        {"\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF", "ąćęłńóśźż"},
        {"\x80\x84\x94\x96\xA0\xFF", "€„”–\u00A0˙"},
        {"Cena 2.50;", "Cena 2.50;"},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Cp1250ToUtf8(c.cp1250), c.utf8);
        EXPECT_EQ(Utf8ToCp1250(c.utf8), c.cp1250);
    }
}

TEST(Cp1250, UnmappableAndMalformedBecomeQuestionMarks) {
    struct Case {
        std::string utf8, cp1250;
    };
    const std::vector<Case> cases = {
        {"日本", "??"},                  // no Windows-1250 form
        {"a😀b", "a?b"},                 // four-byte form, one character
        {"ñ", "?"},                      // Latin-1 but not Windows-1250
        {"\xC5", "?"},                   // cut short at the end
        {"\xC5x", "?x"},                 // lead byte without its continuation
        {"\x80\xBF", "??"},              // stray continuation bytes
        {"\xC0\xB1", "??"},              // overlong form of '1'
        {"\xED\xA0\x80", "???"},         // a surrogate
        {"\xF4\x90\x80\x80", "????"},    // past U+10FFFF
        {"\xFF\xFE", "??"},
    };
    for (const auto& c : cases) EXPECT_EQ(Utf8ToCp1250(c.utf8), c.cp1250) << c.utf8;
}

}  // namespace
