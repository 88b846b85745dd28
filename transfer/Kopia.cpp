// The register's copy (Kopia.h).
#include "Kopia.h"

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <random>
#include <system_error>

#include <stdlib.h>

#include "Dysk.h"
#include "Sekwencje.h"
#include "Uklady.h"

namespace {

const char* const kAbsent =
    "Brak kopii tej bazy z tej kasy: wyślij całą bazę albo odczytaj ją z kasy.";
const char* const kStale =
    "Kopia tej bazy jest nieaktualna (transmisja została przerwana): wyślij całą bazę albo odczytaj ją z kasy.";
const char* const kForeign =
    "Kopia pochodzi z innej kasy (inny model lub numer fabryczny): wyślij całą bazę albo odczytaj ją z kasy.";

bool OnePayload(CopyPart part) { return part == CopyPart::Header || part == CopyPart::Ptu; }

// The byte count of every record of a part, as the file must hold it.
std::size_t PartRecordSize(CopyPart part) {
    switch (part) {
    case CopyPart::Packaging: return PackagingLayout::kRecord.recordBytes;
    case CopyPart::Plu: return PluLayout::kRecord.recordBytes;
    case CopyPart::Cashier: return CashierLayout::kRecord.recordBytes;
    case CopyPart::Key: return KeyLayout::kRecord.recordBytes;
    case CopyPart::Discounts: return DiscountLayout::kRecord.recordBytes;
    case CopyPart::PaymentForm: return PaymentFormLayout::kRecord.recordBytes;
    case CopyPart::Header: return HeaderLayout::kPayloadBytes;
    case CopyPart::Ptu: return 2 + 2 * PtuLayout::kRates;
    }
    return 0;
}

// Part names in the file.
constexpr std::array<const char*, kCopyPartCount> kPartNames = {
    "packaging", "plu", "cashiers", "keys", "discounts", "payment-forms", "header", "ptu"};

// Drops what lies past the part's record count.
void KeepWithin(PartCopy& p) { p.known.erase(p.known.upper_bound(p.records), p.known.end()); }

void Refreshed(PartCopy& p, const std::string& when) {
    p.present = true;
    p.stale = false;
    p.refreshed = when;
    KeepWithin(p);
}

std::string Grouped(long long n) {
    std::string digits = std::to_string(n < 0 ? -n : n);
    if (digits.size() > 4)  // four digits stay whole, as Polish writes them
        for (std::ptrdiff_t at = static_cast<std::ptrdiff_t>(digits.size()) - 3; at > 0; at -= 3)
            digits.insert(static_cast<std::size_t>(at), " ");
    return n < 0 ? "-" + digits : digits;
}

// 1 rekord, 2-4 rekordy (but 12-14 rekordów), 5 and up rekordów.
enum class Plural { One, Few, Many };
Plural PluralOf(long long n) {
    if (n == 1) return Plural::One;
    const long long tens = n % 100, ones = n % 10;
    return ones >= 2 && ones <= 4 && !(tens >= 12 && tens <= 14) ? Plural::Few : Plural::Many;
}

// ---- file text --------------------------------------------------------------
//
//   ZELTRA-KOPIA 1
//   register <model> <serial number as hex>
//   part <name> <records> current|stale <known> <YYYY-MM-DD> <hh:mm>
//   <record> <bytes as hex, or - for known empty>      (<known> lines, ascending)
//   ... more parts ...
//   end
//
// Every line ends with LF. Anything else, or anything after "end", is no copy:
// a file is taken whole or not at all.

constexpr std::string_view kMagic = "ZELTRA-KOPIA 1";
constexpr int kMaxRecords = 100000;  // well above any table (PLU: 19 200)
constexpr std::size_t kMaxSerial = 64;
constexpr std::size_t kMaxFile = 64u << 20;

void AppendHex(std::string& out, std::string_view bytes) {
    static const char digits[] = "0123456789ABCDEF";
    for (unsigned char b : bytes) {
        out += digits[b >> 4];
        out += digits[b & 15];
    }
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;  // only what CopyText writes
}

std::optional<std::string> FromHex(std::string_view hex) {
    if (hex.size() % 2) return std::nullopt;
    std::string out(hex.size() / 2, '\0');
    for (std::size_t i = 0; i < out.size(); ++i) {
        const int hi = HexValue(hex[2 * i]), lo = HexValue(hex[2 * i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        out[i] = static_cast<char>(hi << 4 | lo);
    }
    return out;
}

// A plain decimal number within 0 to limit.
std::optional<int> Number(std::string_view s, int limit) {
    if (s.empty() || s.size() > 9) return std::nullopt;
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + (c - '0');
    }
    if (v > limit) return std::nullopt;
    return static_cast<int>(v);
}

// "2026-12-01 14:03": the shape only.
bool TimeShaped(std::string_view s) {
    static constexpr std::string_view shape = "dddd-dd-dd dd:dd";
    if (s.size() != shape.size()) return false;
    for (std::size_t i = 0; i < s.size(); ++i)
        if (shape[i] == 'd' ? s[i] < '0' || s[i] > '9' : s[i] != shape[i]) return false;
    return true;
}

// Reads the text line by line; every line must end with '\n'.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    std::optional<std::string_view> Next() {
        const std::size_t end = text_.find('\n', at_);
        if (end == std::string_view::npos) return std::nullopt;
        const std::string_view line = text_.substr(at_, end - at_);
        at_ = end + 1;
        return line;
    }
    bool AtEnd() const { return at_ == text_.size(); }

private:
    std::string_view text_;
    std::size_t at_ = 0;
};

std::vector<std::string_view> Words(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t at = 0;
    while (at <= line.size()) {
        const std::size_t end = std::min(line.find(' ', at), line.size());
        out.push_back(line.substr(at, end - at));
        at = end + 1;
    }
    return out;
}

// ---- folders --------------------------------------------------------------------

#ifdef _WIN32
std::string EnvUtf8(const wchar_t* name) {
    const wchar_t* v = _wgetenv(name);
    return v && *v ? Utf8Path(v) : std::string();
}
std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::path(WidePath(utf8)); }
constexpr char kSep = '\\';
#else
std::string EnvUtf8(const char* name) {
    const char* v = std::getenv(name);
    return v && *v ? std::string(v) : std::string();
}
std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::path(utf8); }
constexpr char kSep = '/';
#endif

std::string DataFolder() {
#ifdef _WIN32
    std::string dir = EnvUtf8(L"ZELTRA_DATA_DIR");
    if (!dir.empty()) return dir;
    dir = EnvUtf8(L"LOCALAPPDATA");
    if (dir.empty()) dir = EnvUtf8(L"APPDATA");
    return dir.empty() ? dir : dir + "\\ZELTRA Serwis";
#else
    std::string dir = EnvUtf8("ZELTRA_DATA_DIR");
    if (!dir.empty()) return dir;
    dir = EnvUtf8("XDG_DATA_HOME");
    if (!dir.empty() && dir.front() == '/') return dir + "/zeltra-serwis";  // a relative one is to be ignored
    dir = EnvUtf8("HOME");
    return dir.empty() ? dir : dir + "/.local/share/zeltra-serwis";
#endif
}

}  // namespace

CopyPart PartOfTable(TableId table) {
    switch (table) {
    case TableId::Packaging: return CopyPart::Packaging;
    case TableId::Plu: return CopyPart::Plu;
    case TableId::Cashier: return CopyPart::Cashier;
    case TableId::Key: return CopyPart::Key;
    case TableId::Discount:
    case TableId::Surcharge: return CopyPart::Discounts;
    case TableId::PaymentForm: return CopyPart::PaymentForm;
    case TableId::Header: return CopyPart::Header;
    case TableId::Ptu: return CopyPart::Ptu;
    }
    return CopyPart::Packaging;
}

TableId TableOfPart(CopyPart part) {
    static constexpr std::array<TableId, kCopyPartCount> tables = {
        TableId::Packaging, TableId::Plu,         TableId::Cashier, TableId::Key,
        TableId::Discount,  TableId::PaymentForm, TableId::Header,  TableId::Ptu};
    return tables[static_cast<int>(part)];
}

int PartRecordCount(const TableSet& set, CopyPart part) {
    if (OnePayload(part)) return 1;
    if (part == CopyPart::Discounts) return 8;
    return set.Rows(TableOfPart(part));
}

std::optional<std::string> PartRecordBytes(const TableSet& set, CopyPart part, int record) {
    if (part == CopyPart::Header) return record == 1 ? HeaderPayload(set) : std::nullopt;
    if (part == CopyPart::Ptu) return record == 1 ? std::optional<std::string>(PtuPayload(set)) : std::nullopt;
    return RecordBytes(set, TableOfPart(part), record);
}

std::string LocalTimeText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// ---- refreshing -------------------------------------------------------------------

void RefreshAfterRead(RegisterCopy& copy, const TableSet& set, CopyPart part,
                      const std::vector<int>& emptyInRegister, const std::string& when) {
    PartCopy& p = copy.Part(part);
    p.records = PartRecordCount(set, part);
    p.known.clear();
    for (int r = 1; r <= p.records; ++r)
        if (auto bytes = PartRecordBytes(set, part, r)) p.known.emplace_hint(p.known.end(), r, std::move(*bytes));
    if (!OnePayload(part))
        for (int r : emptyInRegister)
            if (r >= 1 && r <= p.records) p.known[r].clear();
    Refreshed(p, when);
}

void RefreshAfterFullSend(RegisterCopy& copy, const TableSet& set, CopyPart part, const std::string& when) {
    PartCopy& p = copy.Part(part);
    if (part == CopyPart::Header && !HeaderPayload(set)) return;  // refused, nothing sent
    std::map<int, std::string> now;
    if (p.Complete()) now = std::move(p.known);  // what was not sent stays as it was
    p.records = PartRecordCount(set, part);
    for (int r = 1; r <= p.records; ++r) {
        std::optional<std::string> bytes = PartRecordBytes(set, part, r);
        if (!bytes || bytes->empty()) continue;  // not sent
        const long long n = OnePayload(part) ? r : SentRecordNumber(set, TableOfPart(part), r);
        if (n >= 1 && n <= p.records) now[static_cast<int>(n)] = std::move(*bytes);
    }
    p.known = std::move(now);
    Refreshed(p, when);
}

void MarkStale(RegisterCopy& copy, CopyPart part) { copy.Part(part).stale = true; }

// ---- the plan ------------------------------------------------------------------------

ChangesPlan PlanChanges(const RegisterCopy& copy, const TableSet& set, CopyPart part, int model,
                        const std::string& serial) {
    ChangesPlan plan;
    const PartCopy& p = copy.Part(part);
    if (copy.model != model || copy.serial != serial) plan.refusal = kForeign;
    else if (!p.present) plan.refusal = kAbsent;
    else if (p.stale) plan.refusal = kStale;
    if (plan.Refused()) return plan;

    plan.records = PartRecordCount(set, part);
    plan.since = p.refreshed;
    for (int r = 1; r <= plan.records; ++r) {
        const std::optional<std::string> bytes = PartRecordBytes(set, part, r);
        const auto held = p.known.find(r);
        if (!bytes) {  // a header too long: its send refuses it with its own message
            plan.send.push_back(r);
        } else if (!bytes->empty()) {
            if (held != p.known.end() && held->second == *bytes) ++plan.unchanged;
            else plan.send.push_back(r);
        } else if (held != p.known.end() && !held->second.empty() && !OnePayload(part)) {
            plan.remove.push_back(r);
        }
    }
    return plan;
}

void RefreshAfterChanges(RegisterCopy& copy, const TableSet& set, CopyPart part, const ChangesPlan& plan,
                         const std::string& when) {
    if (plan.Refused()) return;
    PartCopy& p = copy.Part(part);
    for (int r : plan.send)
        if (auto bytes = PartRecordBytes(set, part, r); bytes && !bytes->empty()) p.known[r] = std::move(*bytes);
    for (int r : plan.remove) p.known[r].clear();
    p.records = PartRecordCount(set, part);
    Refreshed(p, when);
}

std::string ChangesSentMessage(int sent, int records, int removed, const std::string& since) {
    static constexpr std::array<const char*, 3> forms = {"zmieniony rekord", "zmienione rekordy",
                                                         "zmienionych rekordów"};
    std::string text = "Wysłano " + Grouped(sent) + " " + forms[static_cast<int>(PluralOf(sent))] + " z " +
                       Grouped(records);
    if (removed > 0) text += ", usunięto " + Grouped(removed);
    // The header and the PTU rates alone are compared with the register, not a copy.
    if (since.empty()) return text;
    return text + " (pozostałe bez zmian od " + since + ")";
}

// ---- the check --------------------------------------------------------------------------

std::vector<int> SampleRecords(const PartCopy& part, int records, int count, std::uint64_t seed) {
    std::vector<int> out;
    if (records < 1) return out;
    out.push_back(1);
    if (records > 1) out.push_back(records);
    std::vector<int> candidates;
    for (auto it = part.known.lower_bound(2); it != part.known.end() && it->first < records; ++it)
        candidates.push_back(it->first);
    // A partial Fisher-Yates shuffle; the reduction by % keeps the picks the
    // same on every standard library, unlike the distributions.
    std::mt19937_64 random(seed);
    const std::size_t picks = std::min(candidates.size(), static_cast<std::size_t>(std::max(count, 0)));
    for (std::size_t i = 0; i < picks; ++i) {
        const std::size_t j = i + static_cast<std::size_t>(random() % (candidates.size() - i));
        std::swap(candidates[i], candidates[j]);
        out.push_back(candidates[i]);
    }
    std::sort(out.begin(), out.end());
    return out;
}

bool SameHeldFields(TableId table, std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    constexpr auto stock = PluLayout::kStock;
    const auto end = static_cast<std::size_t>(stock.offset + stock.width);
    if (table != TableId::Plu || a.size() < end) return a == b;
    return a.substr(0, stock.offset) == b.substr(0, stock.offset) && a.substr(end) == b.substr(end);
}

// ---- the file ----------------------------------------------------------------------------

std::string CopyFolder() {
    const std::string data = DataFolder();
    return data.empty() ? data : data + kSep + "kopie";
}

std::string CopyFilePath(int model, const std::string& serial) {
    if (model < 0 || model >= kModelCount || serial.empty() || serial.size() > kMaxSerial) return {};
    const std::string folder = CopyFolder();
    if (folder.empty()) return {};
    // Letters and digits as they are; every other byte as "_" and its hex, so
    // that no two serial numbers share a name and nothing unsafe reaches it.
    std::string name = "kasa" + std::to_string(model) + "-";
    for (unsigned char c : serial) {
        if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) {
            name += static_cast<char>(c);
        } else {
            name += '_';
            AppendHex(name, std::string_view(reinterpret_cast<const char*>(&c), 1));
        }
    }
    return folder + kSep + name + ".kopia";
}

std::string CopyText(const RegisterCopy& copy) {
    std::string out;
    std::size_t size = 64;
    for (const PartCopy& p : copy.parts) size += 64 + p.known.size() * 16;
    out.reserve(size + copy.Part(CopyPart::Plu).known.size() * 2 * PluLayout::kRecord.recordBytes);
    out += kMagic;
    out += "\nregister " + std::to_string(copy.model) + " ";
    AppendHex(out, copy.serial);
    out += '\n';
    for (int i = 0; i < kCopyPartCount; ++i) {
        const PartCopy& p = copy.parts[static_cast<std::size_t>(i)];
        if (!p.present) continue;
        out += std::string("part ") + kPartNames[static_cast<std::size_t>(i)] + " " + std::to_string(p.records) +
               (p.stale ? " stale " : " current ") + std::to_string(p.known.size()) + " " + p.refreshed + "\n";
        for (const auto& [r, bytes] : p.known) {
            out += std::to_string(r);
            out += ' ';
            if (bytes.empty()) out += '-';
            else AppendHex(out, bytes);
            out += '\n';
        }
    }
    out += "end\n";
    return out;
}

std::optional<RegisterCopy> ParseCopyText(std::string_view text) {
    Lines lines(text);
    if (lines.Next() != kMagic) return std::nullopt;

    RegisterCopy copy;
    const auto head = lines.Next();
    if (!head) return std::nullopt;
    const auto who = Words(*head);
    if (who.size() != 3 || who[0] != "register") return std::nullopt;
    const auto model = Number(who[1], kModelCount - 1);
    const auto serial = FromHex(who[2]);
    if (!model || !serial || serial->empty()) return std::nullopt;
    copy.model = *model;
    copy.serial = *serial;

    for (;;) {
        const auto line = lines.Next();
        if (!line) return std::nullopt;  // cut short before "end"
        if (*line == "end") break;
        // part <name> <records> current|stale <known> <date> <time>
        const auto w = Words(*line);
        if (w.size() != 7 || w[0] != "part") return std::nullopt;
        const auto name = std::find(kPartNames.begin(), kPartNames.end(), w[1]);
        if (name == kPartNames.end()) return std::nullopt;
        const auto part = static_cast<CopyPart>(name - kPartNames.begin());
        PartCopy& p = copy.Part(part);
        const auto records = Number(w[2], OnePayload(part) ? 1 : kMaxRecords);
        const auto known = Number(w[4], records ? *records : 0);
        const std::string when = std::string(w[5]) + " " + std::string(w[6]);
        if (p.present || !records || (w[3] != "current" && w[3] != "stale") || !known || !TimeShaped(when))
            return std::nullopt;
        p.present = true;
        p.records = *records;
        p.stale = w[3] == "stale";
        p.refreshed = when;
        const std::size_t size = PartRecordSize(part);
        int last = 0;
        for (int k = 0; k < *known; ++k) {
            const auto entry = lines.Next();
            if (!entry) return std::nullopt;
            const std::size_t space = entry->find(' ');
            if (space == std::string_view::npos) return std::nullopt;
            const auto r = Number(entry->substr(0, space), p.records);
            if (!r || *r <= last) return std::nullopt;  // ascending, each once, within the part
            last = *r;
            const std::string_view data = entry->substr(space + 1);
            if (data == "-") {
                p.known.emplace_hint(p.known.end(), *r, std::string());
                continue;
            }
            auto bytes = data.size() == 2 * size ? FromHex(data) : std::nullopt;
            if (!bytes) return std::nullopt;
            p.known.emplace_hint(p.known.end(), *r, std::move(*bytes));
        }
    }
    if (!lines.AtEnd()) return std::nullopt;
    return copy;
}

bool SaveRegisterCopy(const RegisterCopy& copy) {
    const std::string path = CopyFilePath(copy.model, copy.serial);
    if (path.empty()) return false;
    std::error_code ec;
    std::filesystem::create_directories(FsPath(CopyFolder()), ec);
    return !ec && ReplaceWholeFile(path, CopyText(copy));
}

std::optional<RegisterCopy> LoadRegisterCopy(int model, const std::string& serial) {
    const std::string path = CopyFilePath(model, serial);
    std::string text;
    if (path.empty() || ReadWholeFile(path, kMaxFile, text) != FileRead::Ok) return std::nullopt;
    std::optional<RegisterCopy> copy = ParseCopyText(text);
    if (!copy || copy->model != model || copy->serial != serial) return std::nullopt;
    return copy;
}
