#include "Wpis.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <system_error>

#include "Cp1250.h"

namespace {
constexpr int kPasswordLength = 4;
constexpr int kPaymentForms = 4;
constexpr int kHeaderLines = 8;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
const char* Flag(bool on) { return on ? "TAK" : "NIE"; }

// The builder of one check: the refusals end it, the cells collect.
struct Check {
    EntryCheck result;
    EntryCheck Refuse(const std::string& message, int focusColumn = -1) {
        result.ok = false;
        result.message = message;
        result.focusColumn = focusColumn;
        result.column = focusColumn;
        result.cells.clear();
        return result;
    }
    // A refusal about `column` that leaves the focus where it is.
    EntryCheck RefuseAbout(int column, const std::string& message) {
        Refuse(message);
        result.column = column;
        return result;
    }
};

const std::string& Field(const EntryFields& f, int column) {
    static const std::string empty;
    return column >= 0 && column < static_cast<int>(f.byColumn.size()) ? f.byColumn[column] : empty;
}

std::string Cell(std::string_view utf8) { return Utf8ToCp1250(utf8); }

// The name cut to the table's width, noted as shown when the cut changed it.
std::string CutName(Check& c, const EntryFields& f, TableId t, int column = 1) {
    const std::string& typed = Field(f, column);
    const std::string cut = CutToWidth(typed, NameWidth(t));
    if (cut != typed) c.result.shown.push_back({column, cut});
    return Cell(cut);
}

bool ScanNames(const TableSet& set, TableId t, const std::string& name, int ownRow) {
    const int rows = set.Rows(t);
    for (int r = 1; r <= rows; ++r)
        if (r != ownRow && set.Cell(t, 1, r) == name) return true;
    return false;
}

}  // namespace

std::optional<int> ParseRecordNumber(std::string_view text) {
    size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i == text.size()) return std::nullopt;
    long long value = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    if (negative) value = -value;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

std::optional<double> ParseDecimal(std::string_view text) {
    if (text.empty()) return 0.0;
    // Sign, digits, at most one separator, and at least one digit.
    size_t i = 0;
    int digits = 0, separators = 0;
    if (text[0] == '+' || text[0] == '-') ++i;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (IsDigit(c)) ++digits;
        else if (c == ',' || c == '.') ++separators;
        else return std::nullopt;
    }
    if (digits == 0 || separators > 1) return std::nullopt;
    std::string plain(text[0] == '+' ? text.substr(1) : text);
    for (char& c : plain)
        if (c == ',') c = '.';
    double v = 0;
    const auto [end, ec] = std::from_chars(plain.data(), plain.data() + plain.size(), v);
    if (ec != std::errc() || end != plain.data() + plain.size() || !std::isfinite(v)) return std::nullopt;
    return v;
}

// Built piece by piece: GCC 12 warns falsely about "'" + string.
static std::string InQuotes(std::string_view text, std::string_view after) {
    std::string message(1, '\'');
    message.append(text);
    message += '\'';
    message.append(after);
    return message;
}

std::string NotIntegerMessage(std::string_view text) { return InQuotes(text, " is not a valid integer value"); }

std::string NotDecimalMessage(std::string_view text) {
    return InQuotes(text, " is not a valid floating point value");
}

std::string FormatFixed(double value, int decimals) {
    char buffer[512];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    if (ec != std::errc()) return {};
    return std::string(buffer, end);
}

int Utf8Length(std::string_view text) {
    int n = 0;
    for (char c : text)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

std::string CutToWidth(std::string_view text, int width) {
    int n = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80 && n++ == width)
            return std::string(text.substr(0, i));
    }
    return std::string(text);
}

std::string CentreLine(std::string_view text) {
    const int length = Utf8Length(text);
    if (length >= kHeaderLineWidth) return std::string(text);
    return std::string((kHeaderLineWidth - length) / 2, ' ') + std::string(text);
}

int NameWidth(TableId t) {
    switch (t) {
    case TableId::Packaging: return 18;
    case TableId::Plu: return 15;
    case TableId::Cashier: return 7;
    case TableId::Discount:
    case TableId::Surcharge:
    case TableId::PaymentForm: return 18;
    case TableId::Header: return kHeaderLineWidth;
    default: return 0;
    }
}

EntryCheck CheckEntry(const TableSet& set, TableId t, const EntryFields& f, bool byEnter,
                      const NameTakenCheck& nameTaken) {
    Check c;
    auto taken = [&](const std::string& name, int ownRow) {
        return nameTaken ? nameTaken(name, ownRow) : ScanNames(set, t, name, ownRow);
    };
    const std::string& numberText = Field(f, 0);
    // The number: given, a whole number, in range. Gives 0 after a refusal.
    auto number = [&](const char* notGiven, const char* wrong, int first, int last) -> int {
        if (numberText.empty()) return c.RefuseAbout(0, notGiven), 0;
        const auto n = ParseRecordNumber(numberText);
        if (!n) return c.RefuseAbout(0, NotIntegerMessage(numberText)), 0;
        if (*n < first || *n > last) return c.Refuse(wrong, 0), 0;
        return *n;
    };
    auto decimal = [&](int column) -> std::optional<double> {
        const auto v = ParseDecimal(Field(f, column));
        if (!v) c.RefuseAbout(column, NotDecimalMessage(Field(f, column)));
        return v;
    };
    EntryCheck& r = c.result;

    switch (t) {
    case TableId::Packaging:
    case TableId::Plu: {
        const bool plu = t == TableId::Plu;
        const int n = number(plu ? "Nie podano numeru PLU" : "Nie podano numeru opakowania",
                             plu ? "Zły numer PLU" : "Zły numer opakowania", 1, set.Rows(t));
        if (!n) return c.result;
        const std::string name = CutName(c, f, t);
        if (taken(name, n)) return c.Refuse(EditorText::NotUnique, 1);
        const auto price = decimal(plu ? 5 : 2);
        if (!price) return c.result;
        r.row = n;
        if (!plu) {
            r.cells = {{0, Cell(numberText)}, {1, name}, {2, FormatFixed(*price, 2)}};
            break;
        }
        const auto stock = decimal(6);
        if (!stock) return c.result;
        const bool hasColumn = set.Model() != 0;
        const bool switchOn = Field(f, 7) == "TAK";
        const bool fractional = !hasColumn || switchOn;
        r.cells = {{0, Cell(numberText)},
                   {1, name},
                   {2, Cell(Field(f, 2))},
                   {3, Cell(Field(f, 3))},
                   {4, Cell(Field(f, 4))},
                   {5, FormatFixed(*price, 2)},
                   {6, FormatFixed(*stock, fractional ? 3 : 0)}};
        if (hasColumn) r.cells.push_back({7, Flag(switchOn)});
        break;
    }
    case TableId::Cashier: {
        if (numberText.empty()) return c.RefuseAbout(0, "Nie podano numeru kasjera");
        const std::string& password = Field(f, 2);
        // Enter names an empty password on its own; the button takes it as too short.
        if (byEnter && password.empty()) return c.RefuseAbout(2, "Nie podano hasla");
        if (Utf8Length(password) < kPasswordLength) return c.RefuseAbout(2, "Haslo musi zawierac 4 cyfry");
        const int n = number("", "Zły numer kasjera", 1, set.Rows(t));
        if (!n) return c.result;
        r.row = n;
        r.cells = {{0, Cell(numberText)}, {1, CutName(c, f, t)}, {2, Cell(password)}};
        break;
    }
    case TableId::Key: {
        const int n = number("Nie podano numeru klawisza", "Zły numer klawisza", 1, set.Rows(t));
        if (!n) return c.result;
        r.row = n;
        // The quantity is kept as typed, with its ','.
        r.cells = {{0, Cell(numberText)},
                   {1, Cell(Field(f, 1))},
                   {2, Cell(Field(f, 2))},
                   {3, Flag(Field(f, 3) == "TAK")}};
        break;
    }
    case TableId::Discount:
    case TableId::Surcharge: {
        const bool surcharges = t == TableId::Surcharge;
        const int first = surcharges ? 5 : 1;
        const char* wrong = surcharges ? (byEnter ? "Zły numer dopłaty\rDopłaty mają numery 5-8"
                                                  : "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8")
                                       : (byEnter ? "Zły numer rabatu\rRabty mają numery 1-4"
                                                  : "Zły numer rabtu\rRabaty muszą mieć numery 1-4");
        const int n = number(surcharges ? "Nie podano numeru dopłaty" : "Nie podano numeru rabatu", wrong,
                             first, first + 3);
        if (!n) return c.result;
        const std::string name = CutName(c, f, t);
        const auto value = decimal(2);
        if (!value) return c.result;
        // Surcharges are records 5-8 in rows 1-4.
        r.row = n - first + 1;
        r.cells = {{0, Cell(numberText)}, {1, name}, {2, FormatFixed(*value, 2)}};
        break;
    }
    case TableId::PaymentForm: {
        const int n = number(byEnter ? "Nie podano numeru formy" : "Nie podano numeru formy płatności",
                             byEnter ? "Zły numer formy" : "Zły numer formy płatności", 1, kPaymentForms);
        if (!n) return c.result;
        r.row = n;
        r.cells = {{0, Cell(numberText)}, {1, CutName(c, f, t)}};
        break;
    }
    case TableId::Header: {
        const int n = number("Nie podano numeru linii", "Zły numer linii", 1, kHeaderLines);
        if (!n) return c.result;
        const std::string& typed = Field(f, 1);
        const std::string line = CutToWidth(f.centre ? CentreLine(typed) : typed, kHeaderLineWidth);
        if (line != typed) r.shown.push_back({1, line});
        r.row = n;
        r.cells = {{0, Cell(numberText)}, {1, Cell(line)}};
        break;
    }
    case TableId::Ptu: {
        const std::string& symbol = numberText;
        if (symbol.empty()) return c.RefuseAbout(0, "Nie podano oznaczenia stawki");
        const char letter = symbol[0];
        if (letter < 'A' || letter > 'G') return c.Refuse("Złe oznaczenie stawki", 0);
        const std::string& status = Field(f, 2);
        if (status != "NIEAKTYWNA" && status != "AKTYWNA" && status != "ZWOLNIONA")
            return c.Refuse("Zły status stawki.\rMożliwe wartości to NIEAKTYWNA,AKTYWNA,ZWOLNIONA", 2);
        r.row = letter - 'A' + 1;
        r.cells = {{0, std::string(1, letter)}, {2, Cell(status)}};
        if (!Field(f, 1).empty()) {
            const auto value = decimal(1);
            if (!value) return c.result;
            r.cells.push_back({1, FormatFixed(*value, 2)});
        } else if (status == "AKTYWNA") {
            // Only a reminder: the rate keeps the value it had and the add goes on.
            r.message = EditorText::GiveRate;
        } else {
            r.cells.push_back({1, std::string()});
        }
        break;
    }
    }
    r.ok = true;
    return r;
}
