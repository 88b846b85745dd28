// The checks of the entry rows under the tables, without widgets: what adding
// a record does with the texts of its fields. The entry rows run them on Enter
// and on the add button; the spreadsheet import runs them on every row, so a
// row is taken from a file exactly when it would be taken from the keyboard.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Tabele.h"

// Messages of the entry rows (UTF-8, exactly as the user sees them).
namespace EditorText {
inline constexpr const char* OnlyDigits = "W tym polu można wpisać tylko\rwartość liczbową";
inline constexpr const char* OnlyLetters = "W tym polu można wpisać tylko\rwartość z przedzaiłu A-G";
inline constexpr const char* NotUnique = "Nieunikalna nazwa";
inline constexpr const char* EmptyPackaging = "To pole nie może być puste !!\rBrak opakowania należy wpisać 0";
inline constexpr const char* GiveRate = "Podaj wartosc stawki";
}  // namespace EditorText

// A record number as a decimal integer; empty when the text is not a whole
// number that fits a 32-bit signed integer.
std::optional<int> ParseRecordNumber(std::string_view text);
// A decimal field's value, ',' as the separator (a '.' is taken too); an empty
// text counts as 0. Empty result when the text is not a number.
std::optional<double> ParseDecimal(std::string_view text);
// The messages of the two failed conversions, the field's text in quotes.
std::string NotIntegerMessage(std::string_view text);
std::string NotDecimalMessage(std::string_view text);
// "%.Nf" with '.' whatever the locale.
std::string FormatFixed(double value, int decimals);

// Characters of a UTF-8 text, and its first `width` characters.
int Utf8Length(std::string_view text);
std::string CutToWidth(std::string_view text, int width);
// The header line centred on 20 characters: (20 - L) / 2 leading blanks, none
// from 20 characters up.
std::string CentreLine(std::string_view text);
constexpr int kHeaderLineWidth = 20;
// The width the entry row cuts the name (header: text) column to; 0 when the
// table has no such column.
int NameWidth(TableId t);

// The texts of an entry row, UTF-8, indexed by the table column each field
// shows (a switch as "TAK" or "NIE"); a missing field counts as empty.
struct EntryFields {
    std::vector<std::string> byColumn;
    bool centre = false;  // header only: centre the line before it is cut
};

// True when `name` (Windows-1250) is the name of a record row other than `ownRow`.
using NameTakenCheck = std::function<bool(const std::string& name, int ownRow)>;

struct EntryCheck {
    bool ok = false;
    // Why the record was refused; when it was taken, a reminder to show or "".
    std::string message;
    int focusColumn = -1;  // the field the focus goes to after a refusal; -1 none
    int column = -1;       // the field a refusal is about, also where the focus stays put
    int row = 0;           // the record row the cells go into
    std::vector<std::pair<int, std::string>> cells;  // (column, Windows-1250 text)
    // Fields whose text the add changed (cut names), shown even when refused.
    std::vector<std::pair<int, std::string>> shown;
};

// Checks an entry row of table t as an add does. `byEnter`: Enter in the last
// field rather than the add button (some tables word or order their checks
// differently). `nameTaken` replaces the scan of the table's name column for
// the packaging and PLU tables. Discounts take records 1-4 and surcharges 5-8.
EntryCheck CheckEntry(const TableSet& set, TableId t, const EntryFields& fields, bool byEnter,
                      const NameTakenCheck& nameTaken = {});
