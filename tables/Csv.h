// Spreadsheet text files as Polish spreadsheet programs open and save them:
// fields separated by ';', a field quoted when it holds ';', '"' or a line
// break (a '"' inside doubled), rows ended by CR LF. Texts here are UTF-8;
// the file itself is UTF-8 with a byte-order mark by default, and UTF-8 with
// or without the mark, UTF-16 with its mark or Windows-1250 when read.
//
// Our own small reader: the CSV library Debian has is not there for the
// Windows builds, and the format needs only a few dozen lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The first three are written; the others only name what a read found
// (Other: neither UTF-8 nor plausible Windows-1250, e.g. a Mac spreadsheet's
// "CSV (Macintosh)" or an old "CSV (MS-DOS)").
enum class CsvEncoding { Utf8Bom, Utf8, Cp1250, Utf16Le, Utf16Be, Other };

// One field as written: quoted when it holds ';', '"', CR, LF or a tab, or starts
// or ends with a blank (a spreadsheet would trim it).
std::string CsvField(std::string_view text);
// The fields joined by ';' and ended by CR LF.
std::string CsvRow(const std::vector<std::string>& fields);
// The file's bytes for UTF-8 text: the mark in front, the text as it is, or
// the text in Windows-1250 (a character it lacks becomes '?').
std::string CsvFileBytes(std::string_view utf8, CsvEncoding encoding);

// Where bytes read as Windows-1250 show they are something else: the file's
// line and what stands there (a character, or a byte Windows-1250 leaves
// undefined as "bajt 0x88"). Line 0: nothing odd. Odd is a byte Windows-1250
// leaves undefined, a letter the register cannot show (it shows ASCII and
// the Polish letters), a spacing accent, or a „ — « © between two letters
// (what a Polish letter of Mac Central European or code page 852 reads as).
struct CsvOddCharacter {
    int line = 0;
    std::string what;  // UTF-8
};
CsvOddCharacter FirstOddCp1250(std::string_view bytes);

// What a file's bytes are: the mark (UTF-8, UTF-16LE, UTF-16BE), else valid
// UTF-8, else Windows-1250 when plausible, else Other.
CsvEncoding DetectCsvEncoding(std::string_view bytes);
// The file's text as UTF-8, the mark dropped; `found` gets the encoding.
// Other is read as Windows-1250 (the caller refuses it).
std::string CsvTextFromFile(std::string_view bytes, CsvEncoding* found = nullptr);

struct CsvRecord {
    int line = 0;  // the file's line the row starts on, from 1
    std::vector<std::string> fields;
};

struct CsvParse {
    std::vector<CsvRecord> rows;  // blank lines left out
    // 0 when the whole text was read; else the line of a quote that is never
    // closed (the rows before it are kept).
    int unclosedQuoteLine = 0;
};

// Reads the rows of a text. The separator is ';' unless the first row is one
// field with ';' and several with tabs (a tab-separated file saved by hand).
// A quote inside an unquoted field is taken as a character; text after a
// closing quote is added to the field, as spreadsheets read it. CR LF, LF and
// CR all end a row.
CsvParse ParseCsv(std::string_view text);
// The same with the given separator; with `lastLine` above 0 only the rows
// that start on lines 1 to lastLine.
CsvParse ParseCsv(std::string_view text, char separator, int lastLine = 0);
