#include "Csv.h"

#include "Cp1250.h"

namespace {
constexpr std::string_view kMark = "\xEF\xBB\xBF";
constexpr std::string_view kMark16Le = "\xFF\xFE";
constexpr std::string_view kMark16Be = "\xFE\xFF";

// Windows-1250 bytes beyond ASCII and the Polish letters that a Polish file
// may well hold: punctuation and common signs (€ ‚ „ … ‰ ‹ ‘ ’ “ ” • – — ™ ›,
// no-break space, § © « ¬ soft hyphen ® ° ± µ ¶ · » × ÷).
constexpr std::string_view kUsualSigns =
    "\x80\x82\x84\x85\x89\x8B\x91\x92\x93\x94\x95\x96\x97\x99\x9B"
    "\xA0\xA7\xA9\xAB\xAC\xAD\xAE\xB0\xB1\xB5\xB6\xB7\xBB\xD7\xF7";
// Of those, what Polish letters of Mac Central European (Ą ó ę) and of code
// page 852 (Ś ę ź) read as in Windows-1250: odd between two letters.
constexpr std::string_view kNotInWords = "\x84\x97\xAB\xA9";
constexpr std::string_view kUndefined = "\x81\x83\x88\x90\x98";

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

bool Letter(char c) {
    const auto b = static_cast<unsigned char>(c);
    return ((b | 0x20) >= 'a' && (b | 0x20) <= 'z') || (b >= 0x80 && kPolishLetters.find(c) != std::string_view::npos);
}

// UTF-16 code units to UTF-8; a lone surrogate becomes U+FFFD, an odd last byte is dropped.
std::string Utf16ToUtf8(std::string_view b, bool bigEndian) {
    auto unit = [&](size_t i) -> char32_t {
        const auto first = static_cast<unsigned char>(b[i]), second = static_cast<unsigned char>(b[i + 1]);
        return bigEndian ? (first << 8 | second) : (second << 8 | first);
    };
    std::string out;
    out.reserve(b.size());
    for (size_t i = 0; i + 1 < b.size(); i += 2) {
        char32_t cp = unit(i);
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 3 < b.size()) {
            const char32_t low = unit(i + 2);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                i += 2;
            }
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
        AppendUtf8(out, cp);
    }
    return out;
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
    case CsvEncoding::Utf16Le:
    case CsvEncoding::Utf16Be:
    case CsvEncoding::Other: break;  // read only: written as UTF-8 with the mark
    }
    return std::string(kMark) + std::string(utf8);
}

CsvOddCharacter FirstOddCp1250(std::string_view s) {
    int line = 1;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\n' || (c == '\r' && (i + 1 >= s.size() || s[i + 1] != '\n'))) ++line;
        if (static_cast<unsigned char>(c) < 0x80 || Letter(c)) continue;
        if (kUndefined.find(c) != std::string_view::npos) {
            static const char digits[] = "0123456789ABCDEF";
            const auto b = static_cast<unsigned char>(c);
            return {line, std::string("bajt 0x") + digits[b >> 4] + digits[b & 15]};
        }
        bool odd = kUsualSigns.find(c) == std::string_view::npos;
        if (!odd && kNotInWords.find(c) != std::string_view::npos)
            odd = i > 0 && i + 1 < s.size() && Letter(s[i - 1]) && Letter(s[i + 1]);
        if (odd) return {line, "znak „" + Cp1250ToUtf8(s.substr(i, 1)) + "”"};
    }
    return {};
}

CsvEncoding DetectCsvEncoding(std::string_view bytes) {
    if (bytes.substr(0, kMark.size()) == kMark) return CsvEncoding::Utf8Bom;
    if (bytes.substr(0, 2) == kMark16Le) return CsvEncoding::Utf16Le;
    if (bytes.substr(0, 2) == kMark16Be) return CsvEncoding::Utf16Be;
    if (ValidUtf8(bytes)) return CsvEncoding::Utf8;
    return FirstOddCp1250(bytes).line ? CsvEncoding::Other : CsvEncoding::Cp1250;
}

std::string CsvTextFromFile(std::string_view bytes, CsvEncoding* found) {
    const CsvEncoding encoding = DetectCsvEncoding(bytes);
    if (found) *found = encoding;
    switch (encoding) {
    case CsvEncoding::Utf8Bom: return std::string(bytes.substr(kMark.size()));
    case CsvEncoding::Utf8: return std::string(bytes);
    case CsvEncoding::Utf16Le: return Utf16ToUtf8(bytes.substr(2), false);
    case CsvEncoding::Utf16Be: return Utf16ToUtf8(bytes.substr(2), true);
    case CsvEncoding::Cp1250:
    case CsvEncoding::Other: return Cp1250ToUtf8(bytes);
    }
    return std::string(bytes);
}

namespace {
CsvParse ParseWith(std::string_view text, char separator, int lastLine) {
    CsvParse result;
    int line = 1;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && (lastLine <= 0 || line <= lastLine)) {
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
    CsvParse semicolons = ParseWith(text, ';', 0);
    if (semicolons.rows.empty() || semicolons.rows.front().fields.size() > 1) return semicolons;
    CsvParse tabs = ParseWith(text, '\t', 0);
    if (!tabs.rows.empty() && tabs.rows.front().fields.size() > 1) return tabs;
    return semicolons;
}

CsvParse ParseCsv(std::string_view text, char separator, int lastLine) {
    return ParseWith(text, separator, lastLine);
}
