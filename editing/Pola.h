// The rules of the entry fields under the tables: which typed characters a
// field of each kind takes, and the conversions of the field texts at an add.
// Kept free of widgets so the rules can be checked on their own.
#pragma once

#include <QString>

#include <optional>
#include <string>

#include "Wpis.h"  // the messages and conversions of an add

enum class FieldKind {
    Digit,    // 0-9
    Decimal,  // 0-9 and one separator, always shown as ','
    Text,     // any character but ';'
    Letter,   // the PTU symbols A-G
    Choice,   // a combo box whose text may also be typed
    Switch,   // a check box, stored as "TAK"/"NIE"
};


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

// A decimal cell shown in its field: the last '.' becomes ','.
QString DecimalForField(QString cell);
