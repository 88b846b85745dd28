// The field rules without widgets: number and decimal conversions, centring,
// and what each kind of field does with a typed character.
#include <gtest/gtest.h>

#include "Pola.h"

TEST(Pola, RecordNumberConversion) {
    struct Case {
        const char* text;
        std::optional<int> value;
    } cases[] = {
        {"7", 7},          {"007", 7},        {"0", 0},       {"2147483647", 2147483647},
        {"-5", -5},        {"2147483648", {}}, {"99999999999999999999", {}},
        {"", {}},          {"-", {}},         {"1a", {}},     {" 1", {}},
    };
    for (const Case& c : cases) EXPECT_EQ(ParseRecordNumber(c.text), c.value) << c.text;
}

TEST(Pola, DecimalConversionAndFormat) {
    struct Case {
        const char* text;
        const char* twoDecimals;  // nullptr: not a number
    } cases[] = {
        {"", "0.00"},      {"12,5", "12.50"}, {"1,23", "1.23"}, {",5", "0.50"},   {"12,", "12.00"},
        {"3.25", "3.25"},  {",", nullptr},    {"1,2,3", nullptr}, {"abc", nullptr}, {"1e5", nullptr},
        {"nan", nullptr},  {"inf", nullptr},
    };
    for (const Case& c : cases) {
        const auto v = ParseDecimal(c.text);
        if (!c.twoDecimals) {
            EXPECT_FALSE(v) << c.text;
            continue;
        }
        ASSERT_TRUE(v) << c.text;
        EXPECT_EQ(FormatFixed(*v, 2), c.twoDecimals) << c.text;
    }
    EXPECT_EQ(FormatFixed(0, 3), "0.000");
    EXPECT_EQ(FormatFixed(7, 0), "7");
    EXPECT_EQ(DecimalForField("12.50").toStdString(), "12,50");
    EXPECT_EQ(DecimalForField("1.2.3").toStdString(), "1.2,3");
    EXPECT_EQ(NotIntegerMessage("9999999999"), "'9999999999' is not a valid integer value");
    EXPECT_EQ(NotDecimalMessage(","), "',' is not a valid floating point value");
}

TEST(Pola, CentringAndCut) {
    struct Case {
        const char* text;
        int blanks;
    } cases[] = {{"ABCDE", 7}, {"", 10}, {"1234567890123456789", 0}, {"12345678901234567890", 0},
                 {"123456789012345678901", 0}, {"ABCD", 8}};
    for (const Case& c : cases) {
        EXPECT_EQ(CentreLine(c.text), std::string(c.blanks, ' ') + c.text) << c.text;
    }
    EXPECT_EQ(CutToWidth("Żółta łódź podwodna", 7), "Żółta ł");
    EXPECT_EQ(CentreLine("Łódź"), std::string(8, ' ') + "Łódź");
}

TEST(Pola, TypedCharacterByKind) {
    struct Case {
        FieldKind kind;
        char32_t ch;
        bool hasComma;
        bool refuseBackspace;
        KeyAction action;
    } cases[] = {
        {FieldKind::Digit, '5', false, false, KeyAction::Pass},
        {FieldKind::Digit, 'a', false, false, KeyAction::DropAndWarn},
        {FieldKind::Digit, ',', false, false, KeyAction::DropAndWarn},
        {FieldKind::Digit, 8, false, false, KeyAction::Pass},
        {FieldKind::Digit, 8, false, true, KeyAction::DropAndWarn},
        {FieldKind::Digit, 3, false, false, KeyAction::DropAndWarn},  // a control character
        {FieldKind::Digit, 13, false, false, KeyAction::Enter},
        {FieldKind::Decimal, '.', false, false, KeyAction::InsertComma},
        {FieldKind::Decimal, ',', false, false, KeyAction::InsertComma},
        {FieldKind::Decimal, ',', true, false, KeyAction::Drop},
        {FieldKind::Decimal, '-', false, false, KeyAction::DropAndWarn},
        {FieldKind::Text, ';', false, false, KeyAction::Drop},
        {FieldKind::Text, U'ł', false, false, KeyAction::Pass},
        {FieldKind::Text, U'€', false, false, KeyAction::Pass},
        {FieldKind::Text, U'中', false, false, KeyAction::Drop},
        {FieldKind::Letter, 'G', false, false, KeyAction::Replace},
        {FieldKind::Letter, 'H', false, false, KeyAction::DropAndWarn},
        {FieldKind::Letter, 'c', false, false, KeyAction::DropAndWarn},
        {FieldKind::Letter, 8, false, false, KeyAction::Pass},
        {FieldKind::Choice, ';', false, false, KeyAction::Drop},
        {FieldKind::Choice, 'x', false, false, KeyAction::Pass},
        {FieldKind::Switch, 13, false, false, KeyAction::Enter},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeKey(c.kind, c.ch, c.hasComma, c.refuseBackspace), c.action)
            << static_cast<int>(c.kind) << " " << static_cast<unsigned>(c.ch);
    EXPECT_STREQ(WarningFor(FieldKind::Letter), "W tym polu można wpisać tylko\rwartość z przedzaiłu A-G");
    EXPECT_STREQ(WarningFor(FieldKind::Digit), "W tym polu można wpisać tylko\rwartość liczbową");
}
