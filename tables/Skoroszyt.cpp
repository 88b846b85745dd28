#include "Skoroszyt.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <cctype>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include <expat.h>
#include <minizip/unzip.h>
#include <xlsxwriter.h>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include "WindowsApi.h"

#include "Cp1250.h"
#include "Dysk.h"
#include "Ui.h"
#include "Wpis.h"

namespace {

constexpr const char* kSheetNames[8] = {"Baza opakowań", "Baza PLU",      "Baza kasjerów",       "Baza klawiszy",
                                        "Baza rabatów",  "Baza form płatnośći", "Nagłówek", "Stawki PTU"};

// No part of a workbook we read is anywhere near this; a zip that says
// otherwise is refused rather than unpacked.
constexpr unsigned long long kMaxPartSize = 256ull << 20;
// Columns beyond this hold nothing a table has.
constexpr int kMaxColumns = 1024;
// A repeated row of an .ods holding values is taken at most this often.
constexpr int kMaxRepeatedRows = 100000;

bool EndsWithNoCase(std::string_view s, std::string_view end) {
    if (s.size() < end.size()) return false;
    for (size_t i = 0; i < end.size(); ++i) {
        char c = s[s.size() - end.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != end[i]) return false;
    }
    return true;
}

// Sheet names compare without blanks around them and without letter case
// (ASCII and the Polish letters of the names we write).
std::string NameKey(std::string_view name) {
    while (!name.empty() && name.front() == ' ') name.remove_prefix(1);
    while (!name.empty() && name.back() == ' ') name.remove_suffix(1);
    std::string key = Utf8ToCp1250(name);
    for (char& c : key) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u >= 'A' && u <= 'Z') c = static_cast<char>(u - 'A' + 'a');
        else if (u >= 0xC0 && u <= 0xDE && u != 0xD7) c = static_cast<char>(u + 0x20);
        else if (u == 0xA5) c = static_cast<char>(0xB9);  // Ą
        else if (u == 0x8C || u == 0x8F || u == 0xA3 || u == 0xAF) c = static_cast<char>(u + 0x10);  // Ś Ź Ł Ż
    }
    return key;
}

// ---- writing ---------------------------------------------------------------

// A stored number as a workbook number: digits with one optional '.', and a
// sign; the decimals it is written with.
struct Amount {
    double value = 0;
    int decimals = 0;
};
std::optional<Amount> AmountOf(const std::string& text) {
    if (text.empty() || text.find(',') != std::string::npos) return std::nullopt;
    const auto value = ParseDecimal(text);
    if (!value) return std::nullopt;
    const size_t dot = text.find('.');
    const int decimals = dot == std::string::npos ? 0 : static_cast<int>(text.size() - dot - 1);
    if (decimals > 6) return std::nullopt;
    return Amount{*value, decimals};
}

// A record number written as a plain number: digits, no leading zero.
bool PlainRecordNumber(const std::string& text) {
    return !text.empty() && text.size() <= 9 && (text.size() == 1 || text[0] != '0') &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A temporary file's name of this process's own (no folder).
std::string TemporaryName() {
    static std::atomic<int> counter{0};
#ifdef _WIN32
    const int pid = _getpid();
#else
    const int pid = static_cast<int>(getpid());
#endif
    return "zeltra-" + std::to_string(pid) + "-" + std::to_string(counter++) + ".xlsx";
}

// The library opens its files by narrow names: on Windows in the system's
// code page, so the temporary folder goes by its short name (plain letters
// even under a user name such as "Łukasz"); elsewhere the UTF-8 name.
std::string NarrowFolderName(const std::filesystem::path& folder) {
#ifdef _WIN32
    std::wstring wide = folder.wstring();
    if (const DWORD n = GetShortPathNameW(wide.c_str(), nullptr, 0)) {
        std::wstring shortName(n, L'\0');
        const DWORD m = GetShortPathNameW(wide.c_str(), shortName.data(), n);
        if (m > 0 && m < n) wide = shortName.substr(0, m);
    }
    const int size = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow.data(), size, nullptr, nullptr);
    narrow.resize(static_cast<size_t>(size - 1));
    return narrow;
#else
    return folder.string();
#endif
}

class Workbook {
public:
    Workbook(const std::string& file, const std::string& tmpdir) {
        lxw_workbook_options options{};
        options.tmpdir = const_cast<char*>(tmpdir.c_str());
        book_ = workbook_new_opt(file.c_str(), &options);
    }
    ~Workbook() {
        if (book_) workbook_close(book_);
    }
    lxw_workbook* get() const { return book_; }
    lxw_error Close() {
        lxw_workbook* book = book_;
        book_ = nullptr;
        return workbook_close(book);
    }

private:
    lxw_workbook* book_ = nullptr;
};

void WriteSheet(lxw_workbook* book, const TableSet& set, int tab, const WorkbookInfo& info) {
    const std::vector<TableId> tables = TablesOfTab(tab);
    const TableId first = tables.front();
    const int columns = set.Columns(first);
    const std::string sheetName = SheetNameOfTab(tab);
    lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.c_str());

    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    lxw_format* text = workbook_add_format(book);
    format_set_num_format(text, "@");
    // Amounts by their decimals: "0", "0.0", "0.00" ... (shown "0,00" where
    // the decimal separator is a comma).
    std::vector<lxw_format*> amounts;
    for (int d = 0; d <= 6; ++d) {
        lxw_format* f = workbook_add_format(book);
        format_set_num_format(f, d == 0 ? "0" : ("0." + std::string(d, '0')).c_str());
        amounts.push_back(f);
    }

    std::vector<int> widths(columns, 0);
    std::vector<int> columnDecimals(columns, -1);
    for (int c = 0; c < columns; ++c) {
        const std::string title = ColumnTitle(first, c);
        worksheet_write_string(sheet, 0, static_cast<lxw_col_t>(c), title.c_str(), bold);
        widths[c] = Utf8Length(title);
    }
    lxw_row_t row = 0;
    for (TableId t : tables) {
        for (int r = 1; r <= set.Rows(t); ++r) {
            if (!set.RowHasRecord(t, r)) continue;
            ++row;
            for (int c = 0; c < columns; ++c) {
                const std::string& stored = set.Cell(t, c, r);
                if (stored.empty()) continue;
                const std::string cell = Cp1250ToUtf8(stored);
                const auto col = static_cast<lxw_col_t>(c);
                int shown = Utf8Length(cell);
                switch (SheetColumnTypeOf(t, c)) {
                case SheetColumnType::RecordNumber:
                    if (PlainRecordNumber(cell)) worksheet_write_number(sheet, row, col, std::stod(cell), nullptr);
                    else worksheet_write_string(sheet, row, col, cell.c_str(), text);
                    break;
                case SheetColumnType::Amount:
                    if (const auto amount = AmountOf(cell)) {
                        worksheet_write_number(sheet, row, col, amount->value, amounts[amount->decimals]);
                        if (columnDecimals[c] < 0) columnDecimals[c] = amount->decimals;
                        shown = static_cast<int>(FormatFixed(amount->value, amount->decimals).size()) + 1;
                    } else {
                        worksheet_write_string(sheet, row, col, cell.c_str(), text);
                    }
                    break;
                case SheetColumnType::DigitText:
                case SheetColumnType::Text:
                case SheetColumnType::Choice:
                    worksheet_write_string(sheet, row, col, cell.c_str(), text);
                    break;
                }
                widths[c] = std::max(widths[c], shown);
            }
        }
    }

    // Columns as wide as their contents; what is typed into a new row keeps
    // the column's kind (a code typed as text, a price with its decimals).
    for (int c = 0; c < columns; ++c) {
        lxw_format* format = nullptr;
        switch (SheetColumnTypeOf(first, c)) {
        case SheetColumnType::RecordNumber: break;
        case SheetColumnType::Amount: format = amounts[columnDecimals[c] < 0 ? 2 : columnDecimals[c]]; break;
        default: format = text; break;
        }
        const double width = std::min(60, std::max(4, widths[c]) + 2);
        worksheet_set_column(sheet, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c), width, format);
    }
    worksheet_freeze_panes(sheet, 1, 0);
    worksheet_autofilter(sheet, 0, 0, std::max<lxw_row_t>(row, 1), static_cast<lxw_col_t>(columns - 1));

    // Letters and switches offer their values in a list, down to the last
    // row the table can hold.
    int capacity = 0;
    for (TableId t : tables) capacity += set.Rows(t);
    for (int c = 0; c < columns; ++c) {
        std::vector<std::string> choices = ColumnChoices(first, c);
        if (choices.empty()) continue;
        std::vector<char*> list;
        for (std::string& choice : choices) list.push_back(choice.data());
        list.push_back(nullptr);
        std::string message = "Wybierz jedną z wartości:";
        for (size_t i = 0; i < choices.size(); ++i) message += (i ? ", " : " ") + choices[i];
        lxw_data_validation validation{};
        validation.validate = LXW_VALIDATION_TYPE_LIST;
        validation.value_list = list.data();
        validation.error_title = const_cast<char*>("Zła wartość");
        validation.error_message = message.data();
        worksheet_data_validation_range(sheet, 1, static_cast<lxw_col_t>(c), static_cast<lxw_row_t>(capacity),
                                        static_cast<lxw_col_t>(c), &validation);
    }

    lxw_doc_properties properties{};
    properties.title = const_cast<char*>(sheetName.c_str());
    std::string comments;
    if (!info.registerModel.empty() || !info.serialNumber.empty()) {
        comments = "Dane z kasy " + info.registerModel;
        if (!info.serialNumber.empty()) comments += ", Nr fabryczny " + info.serialNumber;
        properties.comments = comments.data();
    }
    workbook_set_properties(book, &properties);
    if (!info.registerModel.empty())
        workbook_set_custom_property_string(book, "Kasa", info.registerModel.c_str());
    if (!info.serialNumber.empty())
        workbook_set_custom_property_string(book, "Nr fabryczny", info.serialNumber.c_str());
}

// ---- reading: the zip --------------------------------------------------------

// The workbook's bytes as a file for minizip, so that the file is read once,
// by our own file functions, whatever its name.
struct MemoryFile {
    std::string_view bytes;
    ZPOS64_T position = 0;
};

voidpf ZCALLBACK MemoryOpen(voidpf opaque, const void*, int) { return opaque; }
uLong ZCALLBACK MemoryRead(voidpf, voidpf stream, void* buffer, uLong size) {
    auto* f = static_cast<MemoryFile*>(stream);
    const ZPOS64_T left = f->position < f->bytes.size() ? f->bytes.size() - f->position : 0;
    const uLong n = static_cast<uLong>(std::min<ZPOS64_T>(size, left));
    std::memcpy(buffer, f->bytes.data() + f->position, n);
    f->position += n;
    return n;
}
uLong ZCALLBACK MemoryWrite(voidpf, voidpf, const void*, uLong) { return 0; }
ZPOS64_T ZCALLBACK MemoryTell(voidpf, voidpf stream) { return static_cast<MemoryFile*>(stream)->position; }
long ZCALLBACK MemorySeek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto* f = static_cast<MemoryFile*>(stream);
    ZPOS64_T base = 0;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: base = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: base = f->position; break;
    case ZLIB_FILEFUNC_SEEK_END: base = f->bytes.size(); break;
    default: return -1;
    }
    if (offset > f->bytes.size() - std::min<ZPOS64_T>(base, f->bytes.size())) return -1;
    f->position = base + offset;
    return 0;
}
int ZCALLBACK MemoryClose(voidpf, voidpf) { return 0; }
int ZCALLBACK MemoryError(voidpf, voidpf) { return 0; }

class Zip {
public:
    explicit Zip(std::string_view bytes) : file_{bytes} {
        zlib_filefunc64_def functions{};
        functions.zopen64_file = MemoryOpen;
        functions.zread_file = MemoryRead;
        functions.zwrite_file = MemoryWrite;
        functions.ztell64_file = MemoryTell;
        functions.zseek64_file = MemorySeek;
        functions.zclose_file = MemoryClose;
        functions.zerror_file = MemoryError;
        functions.opaque = &file_;
        zip_ = unzOpen2_64("", &functions);
    }
    ~Zip() {
        if (zip_) unzClose(zip_);
    }
    Zip(const Zip&) = delete;
    Zip& operator=(const Zip&) = delete;
    bool Open() const { return zip_ != nullptr; }
    bool Has(const std::string& name) const { return zip_ && unzLocateFile(zip_, name.c_str(), 2) == UNZ_OK; }
    // A part's bytes; none when it is missing or broken.
    std::optional<std::string> Read(const std::string& name) {
        if (!zip_ || unzLocateFile(zip_, name.c_str(), 2) != UNZ_OK) return std::nullopt;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(zip_, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK) return std::nullopt;
        if (info.uncompressed_size > kMaxPartSize) return std::nullopt;
        if (unzOpenCurrentFile(zip_) != UNZ_OK) return std::nullopt;
        std::string out;
        // What the zip says the size is, as far as a real part goes; the
        // rest grows as it comes (a damaged header may say anything).
        out.reserve(static_cast<size_t>(std::min<ZPOS64_T>(info.uncompressed_size, 16u << 20)));
        char buffer[65536];
        int n = 0;
        while ((n = unzReadCurrentFile(zip_, buffer, sizeof buffer)) > 0) {
            out.append(buffer, static_cast<size_t>(n));
            if (out.size() > kMaxPartSize) break;
        }
        const bool whole = unzCloseCurrentFile(zip_) == UNZ_OK;  // checks the CRC
        if (n < 0 || !whole || out.size() > kMaxPartSize) return std::nullopt;
        return out;
    }

private:
    MemoryFile file_;
    unzFile zip_ = nullptr;
};

// ---- reading: XML ------------------------------------------------------------

// An expat parser that hands out elements by their local names (namespace
// prefixes differ between programs).
class Xml {
public:
    virtual ~Xml() = default;
    // False when the text is not well-formed XML.
    bool Parse(std::string_view text) {
        XML_Parser parser = XML_ParserCreateNS(nullptr, '|');
        XML_SetUserData(parser, this);
        XML_SetElementHandler(parser, StartThunk, EndThunk);
        XML_SetCharacterDataHandler(parser, TextThunk);
        bool ok = true;
        for (size_t at = 0; ok;) {
            const size_t n = std::min<size_t>(text.size() - at, 1u << 24);
            const bool last = at + n == text.size();
            ok = XML_Parse(parser, text.data() + at, static_cast<int>(n), last) == XML_STATUS_OK;
            at += n;
            if (last) break;
        }
        XML_ParserFree(parser);
        return ok;
    }

protected:
    using Attributes = const XML_Char**;
    virtual void Start(std::string_view name, Attributes attributes) = 0;
    virtual void End(std::string_view name) = 0;
    virtual void Text(std::string_view text) = 0;
    // An attribute's value by its local name; with `inNamespace` only one
    // with a namespace (the relationship id "r:id").
    static const char* Attribute(Attributes attributes, std::string_view name, bool inNamespace = false) {
        for (int i = 0; attributes[i]; i += 2) {
            const std::string_view full = attributes[i];
            const size_t bar = full.rfind('|');
            if (inNamespace && bar == std::string_view::npos) continue;
            if (full.substr(bar == std::string_view::npos ? 0 : bar + 1) == name) return attributes[i + 1];
        }
        return nullptr;
    }

private:
    static std::string_view Local(const XML_Char* name) {
        const std::string_view full = name;
        const size_t bar = full.rfind('|');
        return bar == std::string_view::npos ? full : full.substr(bar + 1);
    }
    static void XMLCALL StartThunk(void* self, const XML_Char* name, const XML_Char** attributes) {
        static_cast<Xml*>(self)->Start(Local(name), attributes);
    }
    static void XMLCALL EndThunk(void* self, const XML_Char* name) { static_cast<Xml*>(self)->End(Local(name)); }
    static void XMLCALL TextThunk(void* self, const XML_Char* text, int length) {
        static_cast<Xml*>(self)->Text(std::string_view(text, static_cast<size_t>(length)));
    }
};

// A number as its shortest exact text, without an exponent: 5.901234123457E+12
// becomes "5901234123457", 3.4900000000000002 becomes "3.49".
std::string NumberText(std::string_view typed) {
    std::string_view s = typed;
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    double value = 0;
    const char* begin = s.data();
    if (!s.empty() && s.front() == '+') ++begin;
    const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) return std::string(typed);
    if (value == 0) return "0";
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc()) return std::string(typed);
    return std::string(buffer, result.ptr);
}

// Excel writes characters XML cannot carry as "_x000D_".
std::string WithoutExcelEscapes(std::string text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 2, "_x") == 0 && i + 7 <= text.size() && text[i + 6] == '_' &&
            std::all_of(text.begin() + static_cast<long>(i) + 2, text.begin() + static_cast<long>(i) + 6,
                        [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); })) {
            AppendUtf8(out, static_cast<char32_t>(std::stoul(text.substr(i + 2, 4), nullptr, 16)));
            i += 6;
            continue;
        }
        out += text[i];
    }
    return out;
}

// The rows being collected: cells put by row number and column index.
class RowCollector {
public:
    void Put(int row, int column, std::string value) {
        if (column < 0 || column >= kMaxColumns || row < 1 || value.empty()) return;
        if (rows_.empty() || rows_.back().line != row) {
            if (!rows_.empty() && rows_.back().line > row) return;  // rows out of order: not written so by anyone
            rows_.push_back({row, {}});
        }
        std::vector<std::string>& fields = rows_.back().fields;
        if (static_cast<int>(fields.size()) <= column) fields.resize(static_cast<size_t>(column) + 1);
        fields[static_cast<size_t>(column)] = std::move(value);
    }
    std::vector<CsvRecord> Take() { return std::move(rows_); }

private:
    std::vector<CsvRecord> rows_;
};

// xl/workbook.xml: the sheets' names and relationship ids, in order.
class WorkbookXml : public Xml {
public:
    std::vector<std::pair<std::string, std::string>> sheets;  // (name, r:id)

protected:
    void Start(std::string_view name, Attributes a) override {
        if (name != "sheet") return;
        const char* sheetName = Attribute(a, "name");
        const char* id = Attribute(a, "id", true);
        if (sheetName && id) sheets.emplace_back(sheetName, id);
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// xl/_rels/workbook.xml.rels: relationship id -> target part.
class RelationsXml : public Xml {
public:
    std::vector<std::pair<std::string, std::string>> targets;

protected:
    void Start(std::string_view name, Attributes a) override {
        if (name != "Relationship") return;
        const char* id = Attribute(a, "Id");
        const char* target = Attribute(a, "Target");
        if (id && target) targets.emplace_back(id, target);
    }
    void End(std::string_view) override {}
    void Text(std::string_view) override {}
};

// xl/sharedStrings.xml: the texts of <si>, runs joined, phonetic hints left out.
class SharedStringsXml : public Xml {
public:
    std::vector<std::string> strings;

protected:
    void Start(std::string_view name, Attributes) override {
        if (name == "si") inItem_ = true, current_.clear();
        else if (name == "rPh") inPhonetic_ = true;
        else if (name == "t") inText_ = true;
    }
    void End(std::string_view name) override {
        if (name == "si") inItem_ = false, strings.push_back(WithoutExcelEscapes(std::move(current_)));
        else if (name == "rPh") inPhonetic_ = false;
        else if (name == "t") inText_ = false;
    }
    void Text(std::string_view text) override {
        if (inItem_ && inText_ && !inPhonetic_) current_.append(text);
    }

private:
    bool inItem_ = false, inText_ = false, inPhonetic_ = false;
    std::string current_;
};

// "BC12" -> column 54 (from 0), row 12; false when it is no cell reference.
bool CellReference(std::string_view ref, int& column, int& row) {
    size_t i = 0;
    long c = 0;
    while (i < ref.size() && ref[i] >= 'A' && ref[i] <= 'Z' && c <= 100000) c = c * 26 + (ref[i++] - 'A' + 1);
    long r = 0;
    const size_t digits = i;
    while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && r <= 100000000) r = r * 10 + (ref[i++] - '0');
    if (c == 0 || i == digits || i != ref.size()) return false;
    column = static_cast<int>(c - 1);
    row = static_cast<int>(r);
    return true;
}

// A worksheet's cells as texts: numbers without exponent, shared strings
// looked up, TRUE/FALSE as TAK/NIE, a formula's last value.
class WorksheetXml : public Xml {
public:
    explicit WorksheetXml(const std::vector<std::string>& strings) : strings_(strings) {}
    RowCollector rows;

protected:
    void Start(std::string_view name, Attributes a) override {
        if (name == "row") {
            const char* r = Attribute(a, "r");
            row_ = r ? std::atoi(r) : row_ + 1;
            column_ = -1;
        } else if (name == "c") {
            const char* r = Attribute(a, "r");
            int column = 0, row = 0;
            if (r && CellReference(r, column, row)) column_ = column, row_ = row;
            else ++column_;
            const char* type = Attribute(a, "t");
            type_ = type ? type : "n";
            value_.clear();
            inCell_ = true;
        } else if (inCell_ && (name == "v" || name == "t")) {
            inValue_ = true;
        }
    }
    void End(std::string_view name) override {
        if (name == "v" || name == "t") {
            inValue_ = false;
        } else if (name == "c" && inCell_) {
            inCell_ = false;
            rows.Put(row_, column_, CellText());
        }
    }
    void Text(std::string_view text) override {
        if (inValue_) value_.append(text);
    }

private:
    std::string CellText() {
        if (type_ == "s") {
            char* end = nullptr;
            const unsigned long index = std::strtoul(value_.c_str(), &end, 10);
            return index < strings_.size() && end && *end == '\0' && !value_.empty() ? strings_[index] : std::string();
        }
        if (type_ == "b") return value_ == "1" ? "TAK" : value_ == "0" ? "NIE" : value_;
        if (type_ == "n") return value_.empty() ? std::string() : NumberText(value_);
        return WithoutExcelEscapes(value_);  // str, inlineStr, e, d
    }
    const std::vector<std::string>& strings_;
    int row_ = 0, column_ = -1;
    std::string type_;
    std::string value_;
    bool inCell_ = false, inValue_ = false;
};

// content.xml of an .ods: the first table and the one named `preferred`.
class OdsContentXml : public Xml {
public:
    explicit OdsContentXml(std::string preferred) : preferred_(std::move(preferred)) {}
    int tables = 0;
    std::string firstName, namedName;
    RowCollector first, named;
    bool foundNamed = false;

protected:
    void Start(std::string_view name, Attributes a) override {
        if (name == "table" && depth_ == 0) {
            const char* tableName = Attribute(a, "name");
            const std::string n = tableName ? tableName : "";
            ++tables;
            into_ = nullptr;
            if (tables == 1) into_ = &first, firstName = n;
            if (!foundNamed && NameKey(n) == preferred_) {
                foundNamed = true;
                namedName = n;
                into_ = tables == 1 ? &first : &named;
            }
            row_ = 0;
            inTable_ = true;
        }
        if (!inTable_) return;
        if (name == "table") ++depth_;  // a table inside a cell's frame is not the sheet's
        if (depth_ != 1) return;
        if (name == "table-row") {
            const char* repeat = Attribute(a, "number-rows-repeated");
            rowRepeat_ = repeat ? std::max(1, std::atoi(repeat)) : 1;
            cells_.clear();
        } else if (name == "table-cell" || name == "covered-table-cell") {
            const char* repeat = Attribute(a, "number-columns-repeated");
            cellRepeat_ = repeat ? std::max(1, std::min(std::atoi(repeat), kMaxColumns)) : 1;
            const char* type = Attribute(a, "value-type");
            cellType_ = type ? type : "";
            const char* value = Attribute(a, cellType_ == "boolean" ? "boolean-value"
                                           : cellType_ == "date" ? "date-value"
                                           : cellType_ == "time" ? "time-value"
                                           : cellType_ == "string" ? "string-value" : "value");
            attributeValue_ = value ? std::optional<std::string>(value) : std::nullopt;
            text_.clear();
            paragraphs_ = 0;
            inParagraph_ = 0;
            inCell_ = true;
        } else if (inCell_ && (name == "p" || name == "h")) {
            if (paragraphs_++) text_ += '\n';
            ++inParagraph_;
        } else if (inCell_ && name == "s") {
            const char* count = Attribute(a, "c");
            text_.append(static_cast<size_t>(count ? std::max(1, std::min(std::atoi(count), 1000)) : 1), ' ');
        } else if (inCell_ && name == "tab") {
            text_ += '\t';
        } else if (inCell_ && name == "line-break") {
            text_ += '\n';
        } else if (inCell_ && (name == "annotation" || name == "note")) {
            ++skip_;  // a comment on the cell is not its value
        }
    }
    void End(std::string_view name) override {
        if (!inTable_) return;
        if (name == "table") {
            if (--depth_ == 0) inTable_ = false, into_ = nullptr;
            return;
        }
        if (depth_ != 1) return;
        if (inCell_ && (name == "p" || name == "h")) {
            --inParagraph_;
        } else if (inCell_ && (name == "annotation" || name == "note")) {
            --skip_;
        } else if (name == "table-cell" || name == "covered-table-cell") {
            inCell_ = false;
            std::string value = CellText();
            for (int i = 0; i < cellRepeat_ && static_cast<int>(cells_.size()) < kMaxColumns; ++i)
                cells_.push_back(value);
        } else if (name == "table-row") {
            const bool filled =
                std::any_of(cells_.begin(), cells_.end(), [](const std::string& c) { return !c.empty(); });
            const int times = filled ? std::min(rowRepeat_, kMaxRepeatedRows) : 0;
            for (int k = 0; k < times && into_; ++k)
                for (size_t c = 0; c < cells_.size(); ++c) into_->Put(row_ + k + 1, static_cast<int>(c), cells_[c]);
            row_ += rowRepeat_;
        }
    }
    void Text(std::string_view text) override {
        if (inCell_ && depth_ == 1 && !skip_ && inParagraph_ > 0) text_.append(text);
    }

private:
    std::string CellText() const {
        // Calc keeps a TRUE typed or taken from Excel as the number 1 shown
        // as TRUE (PRAWDA in Polish): a switch, not a number.
        if (cellType_ == "float" && attributeValue_ &&
            (text_ == "TRUE" || text_ == "FALSE" || text_ == "PRAWDA" || text_ == "FAŁSZ"))
            return *attributeValue_ == "0" ? "NIE" : "TAK";
        if (cellType_ == "float" || cellType_ == "currency" || cellType_ == "percentage")
            return attributeValue_ ? NumberText(*attributeValue_) : text_;
        if (cellType_ == "boolean" && attributeValue_) return *attributeValue_ == "true" ? "TAK" : "NIE";
        if (attributeValue_ && cellType_ != "string") return *attributeValue_;
        return text_;
    }
    std::string preferred_;
    RowCollector* into_ = nullptr;
    bool inTable_ = false, inCell_ = false;
    int depth_ = 0, skip_ = 0;
    int row_ = 0, rowRepeat_ = 1, cellRepeat_ = 1, paragraphs_ = 0, inParagraph_ = 0;
    std::string cellType_, text_;
    std::optional<std::string> attributeValue_;
    std::vector<std::string> cells_;
};

constexpr const char* kBroken = "Nie można odczytać skoroszytu: plik jest uszkodzony albo niepełny";

// The part a relationship target names, from xl/workbook.xml's folder.
std::string PartOfTarget(std::string target) {
    if (!target.empty() && target.front() == '/') return target.substr(1);
    std::string base = "xl/";
    while (target.compare(0, 3, "../") == 0) target.erase(0, 3), base.clear();
    return base + target;
}

WorkbookSheet ReadXlsx(Zip& zip, const std::string& preferred) {
    WorkbookSheet result;
    result.rows.lettered = true;
    const auto workbookText = zip.Read("xl/workbook.xml");
    const auto relationsText = zip.Read("xl/_rels/workbook.xml.rels");
    WorkbookXml workbook;
    RelationsXml relations;
    if (!workbookText || !relationsText || !workbook.Parse(*workbookText) || !relations.Parse(*relationsText) ||
        workbook.sheets.empty()) {
        result.refusal = kBroken;
        return result;
    }
    result.sheets = static_cast<int>(workbook.sheets.size());
    size_t chosen = 0;
    for (size_t i = 0; i < workbook.sheets.size(); ++i)
        if (NameKey(workbook.sheets[i].first) == preferred) {
            chosen = i, result.named = true;
            break;
        }
    result.name = workbook.sheets[chosen].first;
    std::string part;
    for (const auto& [id, target] : relations.targets)
        if (id == workbook.sheets[chosen].second) part = PartOfTarget(target);
    std::vector<std::string> strings;
    if (zip.Has("xl/sharedStrings.xml")) {
        const auto stringsText = zip.Read("xl/sharedStrings.xml");
        SharedStringsXml shared;
        if (!stringsText || !shared.Parse(*stringsText)) {
            result.refusal = kBroken;
            return result;
        }
        strings = std::move(shared.strings);
    }
    const auto sheetText = part.empty() ? std::nullopt : zip.Read(part);
    WorksheetXml sheet(strings);
    if (!sheetText || !sheet.Parse(*sheetText)) {
        result.refusal = kBroken;
        return result;
    }
    result.rows.rows = sheet.rows.Take();
    return result;
}

WorkbookSheet ReadOds(Zip& zip, const std::string& preferred) {
    WorkbookSheet result;
    result.rows.lettered = true;
    const auto content = zip.Read("content.xml");
    OdsContentXml ods(preferred);
    if (!content || !ods.Parse(*content) || ods.tables == 0) {
        result.refusal = kBroken;
        return result;
    }
    result.sheets = ods.tables;
    result.named = ods.foundNamed;
    result.name = ods.foundNamed ? ods.namedName : ods.firstName;
    result.rows.rows = ods.foundNamed && ods.namedName != ods.firstName ? ods.named.Take() : ods.first.Take();
    return result;
}

}  // namespace

std::string SheetNameOfTab(int tab) { return tab >= 1 && tab <= 8 ? kSheetNames[tab - 1] : std::string(); }

bool IsXlsxPath(std::string_view path) { return EndsWithNoCase(path, ".xlsx") || EndsWithNoCase(path, ".xlsm"); }

std::optional<std::string> TableXlsx(const TableSet& set, int tab, const WorkbookInfo& info, std::string* error) {
    auto fail = [&](const std::string& why) -> std::optional<std::string> {
        if (error) *error = why;
        return std::nullopt;
    };
    if (TablesOfTab(tab).empty()) return fail("Nie ma takiej tabeli");
    std::filesystem::path file;
    std::string tmpdir, name, ourName;
    try {
        const std::filesystem::path folder = std::filesystem::temp_directory_path();
        const std::string temporary = TemporaryName();
        file = folder / temporary;
        tmpdir = NarrowFolderName(folder);
#ifdef _WIN32
        ourName = Utf8Path(file.wstring());
        name = tmpdir + "\\" + temporary;
#else
        ourName = name = file.string();
#endif
    } catch (const std::exception&) {
        return fail("Nie ma folderu plików tymczasowych");
    }
    if (tmpdir.empty()) return fail("Nie ma folderu plików tymczasowych");
    lxw_error status = LXW_NO_ERROR;
    {
        Workbook book(name, tmpdir);
        if (!book.get()) return fail("Nie można utworzyć skoroszytu");
        WriteSheet(book.get(), set, tab, info);
        status = book.Close();
    }
    std::string bytes;
    const FileRead read = status == LXW_NO_ERROR ? ReadWholeFile(ourName, kMaxPartSize, bytes) : FileRead::Unreadable;
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    if (status != LXW_NO_ERROR) return fail(std::string("Nie można utworzyć skoroszytu: ") + lxw_strerror(status));
    if (read != FileRead::Ok) return fail("Nie można odczytać utworzonego skoroszytu");
    return bytes;
}

bool ExportTableXlsx(const TableSet& set, int tab, const std::string& path, const WorkbookInfo& info) {
    if (TablesOfTab(tab).empty()) return false;
    std::string why;
    const auto bytes = TableXlsx(set, tab, info, &why);
    if (bytes && ReplaceWholeFile(path, *bytes)) return true;
    CurrentUi().Message("Nie można zapisać pliku " + path + (bytes ? std::string() : "\r" + why), {},
                        UiIcon::Error);
    return false;
}

WorkbookKind SniffWorkbook(std::string_view bytes) {
    if (bytes.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) return WorkbookKind::Ole;
    if (bytes.substr(0, 4) != std::string_view("PK\x03\x04", 4)) return WorkbookKind::None;
    Zip zip(bytes);
    if (!zip.Open()) return WorkbookKind::Broken;
    if (zip.Has("xl/workbook.xml")) return WorkbookKind::Xlsx;
    if (zip.Has("content.xml")) return WorkbookKind::Ods;
    return WorkbookKind::Zip;
}

WorkbookSheet ReadWorkbookSheet(std::string_view bytes, const std::string& preferred) {
    WorkbookSheet result;
    const std::string key = NameKey(preferred);
    switch (SniffWorkbook(bytes)) {
    case WorkbookKind::Xlsx: {
        Zip zip(bytes);
        return ReadXlsx(zip, key);
    }
    case WorkbookKind::Ods: {
        Zip zip(bytes);
        return ReadOds(zip, key);
    }
    case WorkbookKind::Ole:
        result.refusal = "Plik jest skoroszytem w starym formacie .xls albo skoroszytem chronionym hasłem: "
                         "zapisz go w arkuszu jako „Skoroszyt programu Excel (.xlsx)” bez hasła";
        return result;
    case WorkbookKind::Zip:
        result.refusal = "Plik nie jest skoroszytem .xlsx ani arkuszem .ods (np. skoroszyt binarny .xlsb): "
                         "zapisz go w arkuszu jako „Skoroszyt programu Excel (.xlsx)”";
        return result;
    case WorkbookKind::Broken:
        result.refusal = kBroken;
        return result;
    case WorkbookKind::None: break;
    }
    result.refusal = "Plik nie jest skoroszytem";
    return result;
}

std::optional<std::string> WorkbookPart(std::string_view bytes, const std::string& name) {
    Zip zip(bytes);
    return zip.Read(name);
}

CsvImportPlan PlanImport(const TableSet& set, int tab, std::string_view bytes, bool replace) {
    if (SniffWorkbook(bytes) == WorkbookKind::None) return PlanCsvImport(set, tab, bytes, replace);
    CsvImportPlan plan;
    if (TablesOfTab(tab).empty()) return plan;
    const std::string wanted = SheetNameOfTab(tab);
    WorkbookSheet sheet = ReadWorkbookSheet(bytes, wanted);
    if (!sheet.refusal.empty()) {
        plan.refusal = sheet.refusal;
        return plan;
    }
    plan = PlanRowsImport(set, tab, sheet.rows, replace);
    if (sheet.sheets > 1 && !sheet.named)
        plan.notes.insert(plan.notes.begin(),
                          {0, {},
                           "Wczytano pierwszy arkusz „" + sheet.name + "” (skoroszyt ma ich " +
                               std::to_string(sheet.sheets) + ", żaden nie nazywa się „" + wanted + "”)",
                           {}});
    return plan;
}
