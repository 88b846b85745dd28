// What the command sequences share (Ramki.h).
#include "Ramki.h"

#include <algorithm>

namespace sekwencje {

bool IsDigit(char ch) { return ch >= '0' && ch <= '9'; }

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), IsDigit);
}

std::string Slice(std::string_view text, std::size_t at, std::size_t n) {
    if (at >= text.size()) return {};
    return std::string(text.substr(at, n));
}

std::uint64_t LeadingNumber(std::string_view text, std::uint64_t limit) {
    std::uint64_t v = 0;
    for (char ch : text) {
        if (!IsDigit(ch)) break;
        v = std::min<std::uint64_t>(v * 10 + static_cast<std::uint64_t>(ch - '0'), limit);
    }
    return v;
}

long long PositiveNumber(std::string_view text) {
    if (!AllDigits(text) || text.size() > 9) return 0;
    return static_cast<long long>(LeadingNumber(text, 999999999));
}

std::string WithDecimals(std::string_view number, int decimals) {
    std::string sign;
    if (!number.empty() && number.front() == '-') {
        sign = "-";
        number.remove_prefix(1);
    }
    std::string digits(number);
    if (digits.size() < static_cast<std::size_t>(decimals) + 1)
        digits.insert(0, decimals + 1 - digits.size(), '0');
    digits.insert(digits.size() - decimals, ".");
    return sign + digits;
}

void SendFrame(Connection& link, const std::string& payload, int length, std::uint8_t fill) {
    link.ClearRequestArea(fill);
    const auto frame = static_cast<int>(link.BuildFrame(payload));
    link.WriteRequest(std::max(length, frame));
}

bool AskFrame(Connection& link, const std::string& payload, int length, const ReplyFits& fits) {
    link.ClearRequestArea(0);
    const auto frame = static_cast<int>(link.BuildFrame(payload));
    return link.Exchange(std::max(length, frame), fits);
}

std::optional<std::string_view> AfterEcho(std::string_view data, long long number) {
    const std::string echo = std::to_string(number) + ";";
    if (data.substr(0, echo.size()) != echo) return std::nullopt;
    return data.substr(echo.size());
}

bool Leads(std::string_view data, std::size_t chars, bool digitsOnly) {
    if (data.size() < chars) return false;
    const std::string_view head = data.substr(0, chars);
    return digitsOnly ? AllDigits(head) : IsHexText(head);
}

void Put(std::string& record, FieldSpan span, std::string_view bytes) {
    for (int k = 0; k < span.width && k < static_cast<int>(bytes.size()); ++k) {
        const auto at = static_cast<std::size_t>(span.offset + k);
        if (at < record.size()) record[at] = bytes[static_cast<std::size_t>(k)];
    }
}

std::string Byte(unsigned value) { return std::string(1, static_cast<char>(value & 0xFF)); }

const char* PartName(char readDigit) {
    switch (readDigit) {
    case PackagingLayout::kRecord.readDigit: return "opakowania";
    case PluLayout::kRecord.readDigit: return "PLU";
    case CashierLayout::kRecord.readDigit: return "kasjerzy";
    case KeyLayout::kRecord.readDigit: return "klawisze";
    case DiscountLayout::kRecord.readDigit: return "rabaty/dopłaty";
    case PaymentFormLayout::kRecord.readDigit: return "formy płatności";
    default: return "";
    }
}
const char* const kHeaderPart = "nagłówek";
const char* const kPtuPart = "stawki PTU";

const RecordLayout* LayoutOfTable(TableId table) {
    switch (table) {
    case TableId::Packaging: return &PackagingLayout::kRecord;
    case TableId::Plu: return &PluLayout::kRecord;
    case TableId::Cashier: return &CashierLayout::kRecord;
    case TableId::Key: return &KeyLayout::kRecord;
    case TableId::Discount:
    case TableId::Surcharge: return &DiscountLayout::kRecord;
    case TableId::PaymentForm: return &PaymentFormLayout::kRecord;
    default: return nullptr;
    }
}

RowRef DiscountPairRow(int record) {
    return record <= 4 ? RowRef{TableId::Discount, record} : RowRef{TableId::Surcharge, record - 4};
}

bool AskRecord(Connection& link, const RecordLayout& layout, long long index) {
    const std::size_t hexChars = 2 * static_cast<std::size_t>(layout.readBytes);
    return AskFrame(link, "0;" + std::to_string(index) + ";" + layout.readDigit + "H",
                    static_cast<int>(std::to_string(index).size()) + 11 + kRecordReadExtra,
                    [index, hexChars](std::string_view data) {
                        const auto rest = AfterEcho(data, index);
                        // ";" is followed by two characters not read, then the record.
                        return rest && rest->size() >= 2 && Leads(rest->substr(2), hexChars);
                    });
}

}  // namespace sekwencje
