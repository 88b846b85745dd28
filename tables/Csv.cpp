#include "Csv.h"

#include "Cp1250.h"

namespace {
constexpr std::string_view kMark = "\xEF\xBB\xBF";

bool Blank(char c) { return c == ' ' || c == '\t'; }

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool ValidUtf8(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        int more = 0;
        unsigned min = 0, code = 0;
        if (c >= 0xC2 && c <= 0xDF) more = 1, min = 0x80, code = c & 0x1F;
        else if (c >= 0xE0 && c <= 0xEF) more = 2, min = 0x800, code = c & 0x0F;
        else if (c >= 0xF0 && c <= 0xF4) more = 3, min = 0x10000, code = c & 0x07;
        else return false;
        if (i + more >= s.size()) return false;
        for (int k = 1; k <= more; ++k) {
            const auto d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80) return false;
            code = (code << 6) | (d & 0x3F);
        }
        if (code < min || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
        i += more + 1;
    }
    return true;
}
}  // namespace

std::string CsvField(std::string_view text) {
    const bool quote = text.find_first_of(";\"\r\n\t") != std::string_view::npos ||
                       (!text.empty() && (Blank(text.front()) || Blank(text.back())));
    if (!quote) return std::string(text);
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

std::string CsvRow(const std::vector<std::string>& fields) {
    std::string row;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i) row += ';';
        row += CsvField(fields[i]);
    }
    row += "\r\n";
    return row;
}

std::string CsvFileBytes(std::string_view utf8, CsvEncoding encoding) {
    switch (encoding) {
    case CsvEncoding::Utf8Bom: return std::string(kMark) + std::string(utf8);
    case CsvEncoding::Utf8: return std::string(utf8);
    case CsvEncoding::Cp1250: return Utf8ToCp1250(utf8);
    }
    return std::string(utf8);
}

CsvEncoding DetectCsvEncoding(std::string_view bytes) {
    if (bytes.substr(0, kMark.size()) == kMark) return CsvEncoding::Utf8Bom;
    return ValidUtf8(bytes) ? CsvEncoding::Utf8 : CsvEncoding::Cp1250;
}

std::string CsvTextFromFile(std::string_view bytes, CsvEncoding* found) {
    const CsvEncoding encoding = DetectCsvEncoding(bytes);
    if (found) *found = encoding;
    switch (encoding) {
    case CsvEncoding::Utf8Bom: return std::string(bytes.substr(kMark.size()));
    case CsvEncoding::Utf8: return std::string(bytes);
    case CsvEncoding::Cp1250: return Cp1250ToUtf8(bytes);
    }
    return std::string(bytes);
}

namespace {
CsvParse ParseWith(std::string_view text, char separator) {
    CsvParse result;
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        CsvRecord record;
        record.line = line;
        std::string field;
        bool rowEnded = false;
        while (!rowEnded) {
            field.clear();
            if (i < n && text[i] == '"') {
                // A quoted field: runs to the lone quote that closes it.
                const int opened = line;
                ++i;
                bool closed = false;
                while (i < n) {
                    const char c = text[i];
                    if (c == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            field += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        closed = true;
                        break;
                    }
                    if (c == '\n' || (c == '\r' && (i + 1 >= n || text[i + 1] != '\n'))) ++line;
                    field += c;
                    ++i;
                }
                if (!closed) {
                    result.unclosedQuoteLine = opened;
                    return result;
                }
            }
            // Unquoted text, or what follows a closing quote.
            while (i < n && text[i] != separator && text[i] != '\r' && text[i] != '\n') field += text[i++];
            record.fields.push_back(field);
            if (i < n && text[i] == separator) {
                ++i;
                continue;
            }
            // End of the row (or of the text): CR LF, LF or CR.
            if (i < n && text[i] == '\r') {
                ++i;
                if (i < n && text[i] == '\n') ++i;
            } else if (i < n && text[i] == '\n') {
                ++i;
            }
            ++line;
            rowEnded = true;
        }
        const bool blank = record.fields.size() == 1 && record.fields[0].empty();
        if (!blank) result.rows.push_back(std::move(record));
    }
    return result;
}
}  // namespace

CsvParse ParseCsv(std::string_view text) {
    // The separator: ';', or a tab when the first row reads as one field
    // with ';' and as several with tabs (a tab-separated file).
    CsvParse semicolons = ParseWith(text, ';');
    if (semicolons.rows.empty() || semicolons.rows.front().fields.size() > 1) return semicolons;
    CsvParse tabs = ParseWith(text, '\t');
    if (!tabs.rows.empty() && tabs.rows.front().fields.size() > 1) return tabs;
    return semicolons;
}
