#include "Pola.h"

#include <climits>
#include <cmath>

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

std::optional<int> ParseRecordNumber(const QString& text) {
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> ParseDecimal(const QString& text) {
    if (text.isEmpty()) return 0.0;
    // Sign, digits, at most one separator, and at least one digit.
    int i = 0, digits = 0, separators = 0;
    if (text[0] == '+' || text[0] == '-') ++i;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= '0' && c <= '9') ++digits;
        else if (c == ',' || c == '.') ++separators;
        else return std::nullopt;
    }
    if (digits == 0 || separators > 1) return std::nullopt;
    QString plain = text;
    plain.replace(',', '.');
    bool ok = false;
    const double v = plain.toDouble(&ok);
    if (!ok || !std::isfinite(v)) return std::nullopt;
    return v;
}

std::string NotIntegerMessage(const QString& text) {
    return "'" + text.toStdString() + "' is not a valid integer value";
}

std::string NotDecimalMessage(const QString& text) {
    return "'" + text.toStdString() + "' is not a valid floating point value";
}

QString FormatFixed(double value, int decimals) { return QString::number(value, 'f', decimals); }

QString DecimalForField(QString cell) {
    const qsizetype dot = cell.lastIndexOf('.');
    if (dot >= 0) cell[dot] = ',';
    return cell;
}

QString CutToWidth(const QString& text, int width) {
    return text.size() > width ? text.left(width) : text;
}

QString CentreLine(const QString& text) {
    const qsizetype length = text.size();
    if (length >= kHeaderLineWidth) return text;
    return QString((kHeaderLineWidth - length) / 2, ' ') + text;
}
