// Spreadsheet text files as Polish spreadsheet programs open and save them:
// fields separated by ';', a field quoted when it holds ';', '"' or a line
// break (a '"' inside doubled), rows ended by CR LF. Texts here are UTF-8;
// the file itself is UTF-8 with a byte-order mark by default, and UTF-8 with
// or without the mark or Windows-1250 when read.
//
// Our own small reader: the CSV library Debian has is not there for the
// Windows builds, and the format needs only a few dozen lines.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class CsvEncoding { Utf8Bom, Utf8, Cp1250 };

// One field as written: quoted when it holds ';', '"', CR, LF or a tab, or starts
// or ends with a blank (a spreadsheet would trim it).
std::string CsvField(std::string_view text);
// The fields joined by ';' and ended by CR LF.
std::string CsvRow(const std::vector<std::string>& fields);
// The file's bytes for UTF-8 text: the mark in front, the text as it is, or
// the text in Windows-1250 (a character it lacks becomes '?').
std::string CsvFileBytes(std::string_view utf8, CsvEncoding encoding);

// What a file's bytes are: the mark, else valid UTF-8, else Windows-1250.
CsvEncoding DetectCsvEncoding(std::string_view bytes);
// The file's text as UTF-8, the mark dropped; `found` gets the encoding.
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
