// The rules of the entry fields under the tables: which typed characters a
// field of each kind takes, and the conversions of the field texts at an add.
// Kept free of widgets so the rules can be checked on their own.
#pragma once

#include <QString>

#include <optional>
#include <string>

enum class FieldKind {
    Digit,    // 0-9
    Decimal,  // 0-9 and one separator, always shown as ','
    Text,     // any character but ';'
    Letter,   // the PTU symbols A-G
    Choice,   // a combo box whose text may also be typed
    Switch,   // a check box, stored as "TAK"/"NIE"
};

// Messages of the entry rows (UTF-8, exactly as the user sees them).
namespace EditorText {
inline constexpr const char* OnlyDigits = "W tym polu można wpisać tylko\rwartość liczbową";
inline constexpr const char* OnlyLetters = "W tym polu można wpisać tylko\rwartość z przedzaiłu A-G";
inline constexpr const char* NotUnique = "Nieunikalna nazwa";
}  // namespace EditorText

// What to do with one typed character.
enum class KeyAction {
    Pass,         // let the field take it as usual
    Enter,        // move to the next field, or add in the last one
    Drop,         // swallow it silently
    DropAndWarn,  // swallow it and show WarningFor(kind)
    InsertComma,  // put ',' in its place
    Replace,      // make it the field's whole text (one-letter fields)
};

// `ch` is the typed character (8 for Backspace, 13 for Enter); `hasComma`
// whether the field already holds a ','; `refuseBackspace` for the cashier
// password, which takes no Backspace.
KeyAction JudgeKey(FieldKind kind, char32_t ch, bool hasComma, bool refuseBackspace = false);
const char* WarningFor(FieldKind kind);

// Whether a text field may hold `ch`: not ';' (it separates the fields of a
// record text) and not a character that Windows-1250 cannot store.
bool StorableTextChar(char32_t ch);

// A record number as a decimal integer; empty when the text is not a whole
// number that fits a 32-bit signed integer.
std::optional<int> ParseRecordNumber(const QString& text);
// A decimal field's value, ',' as the separator (a '.' is taken too); an empty
// text counts as 0. Empty result when the text is not a number.
std::optional<double> ParseDecimal(const QString& text);
// The messages of the two failed conversions, the field's text in quotes.
std::string NotIntegerMessage(const QString& text);
std::string NotDecimalMessage(const QString& text);
// "%.Nf" with '.' whatever the locale.
QString FormatFixed(double value, int decimals);
// A decimal cell shown in its field: the last '.' becomes ','.
QString DecimalForField(QString cell);
// The first `width` characters.
QString CutToWidth(const QString& text, int width);
// The header line centred on 20 characters: (20 - L) / 2 leading blanks, none
// from 20 characters up.
QString CentreLine(const QString& text);
constexpr int kHeaderLineWidth = 20;
