#include "Pola.h"

#include "Cp1250.h"

namespace {
constexpr char32_t kBackspace = 8;
constexpr char32_t kEnter = 13;

bool IsDigit(char32_t ch) { return ch >= '0' && ch <= '9'; }
}  // namespace

KeyAction JudgeKey(FieldKind kind, char32_t ch, bool hasComma, bool refuseBackspace) {
    if (ch == kEnter) return KeyAction::Enter;
    switch (kind) {
    case FieldKind::Digit:
    case FieldKind::Decimal:
        if (IsDigit(ch)) return KeyAction::Pass;
        if (ch == kBackspace) return refuseBackspace ? KeyAction::DropAndWarn : KeyAction::Pass;
        if (kind == FieldKind::Decimal && (ch == '.' || ch == ','))
            return hasComma ? KeyAction::Drop : KeyAction::InsertComma;
        return KeyAction::DropAndWarn;
    case FieldKind::Letter:
        if (ch == kBackspace || ch == '\t') return KeyAction::Pass;
        if (ch >= 'A' && ch <= 'G') return KeyAction::Replace;
        return KeyAction::DropAndWarn;
    case FieldKind::Text:
        return StorableTextChar(ch) ? KeyAction::Pass : KeyAction::Drop;
    case FieldKind::Choice:
        return ch == ';' ? KeyAction::Drop : KeyAction::Pass;
    case FieldKind::Switch:
        return KeyAction::Pass;
    }
    return KeyAction::Pass;
}

const char* WarningFor(FieldKind kind) {
    return kind == FieldKind::Letter ? EditorText::OnlyLetters : EditorText::OnlyDigits;
}

bool StorableTextChar(char32_t ch) {
    if (ch == ';') return false;
    if (ch < 0x80) return true;
    const QString s = QString::fromUcs4(&ch, 1);
    return Utf8ToCp1250(s.toStdString()) != "?";
}

QString DecimalForField(QString cell) {
    const qsizetype dot = cell.lastIndexOf('.');
    if (dot >= 0) cell[dot] = ',';
    return cell;
}

