// Sending the tables to the register record by record.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string_view>

#include "Bcd.h"
#include "Cp1250.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "Ramki.h"
#include "Sekwencje.h"
#include "Ui.h"
#include "Uklady.h"

using namespace sekwencje;

namespace {

const char* const kHeaderTooLong =
    "Za długi nagłówek. Zmniej ilość znaków.\rMaksymalna ilość znaków wynosi 160";
const char* const kHeaderFiscal =
    "Programowanie nagłówka z komputera\rjest możliwe tylko w trybie szkoleniowym";
const char* const kPtuFiscal =
    "Programowanie stawek z komputera\rjest możliwe tylko w trybie szkoleniowym";

// Largest values of the packed number fields. A larger value is sent as the
// field's largest rather than cut to its low digits.
constexpr std::uint64_t kMaxPrice = 9999999999ULL;  // 10 digits
constexpr std::uint64_t kMaxFour = 9999;            // 4 digits
// A 6-digit stock is read back as negative from a first digit 6 on.
constexpr std::int64_t kMaxStock = 599999;
constexpr std::int64_t kMinStock = -400000;

// A decimal text ("." or "," as separator, optional leading minus) in units of
// 10^-decimals, rounded half up on the dropped digits.
std::int64_t SignedScaled(std::string_view text, int decimals) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    const std::uint64_t v = std::min<std::uint64_t>(DecimalToScaled(text, decimals), 1000000000000ULL);
    return negative ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

// The text before its decimal point: goods sold in whole units count the
// whole number of units, however many decimals a hand-edited file gives.
std::string_view WholePart(std::string_view text) { return text.substr(0, text.find_first_of(".,")); }

// The record number held in a row's number cell; the record the row stands
// for when the cell is not a plain positive number.
long long RecordNumberOf(const std::string& cell, int record) {
    const long long n = PositiveNumber(cell);
    return n > 0 ? n : record;
}

template <typename RowOf, typename Encode>
void SendRecords(Connection& link, const TableSet& set, const RecordLayout& layout, int count, int barMaximum,
                 bool indexFromRow, RowOf rowOf, Encode encode) {
    Ui& ui = link.UserUi();
    TransferScope transfer(link, TransferKind::Upload, PartName(layout.readDigit));
    ui.ProgressShow(UiBar::Main, barMaximum);
    for (int k = 1; k <= count; ++k) {
        ui.ProcessEvents();  // repaints, and lets a stop be asked for
        if (TransferStopRequested(link)) break;  // between records: nothing half-sent
        const RowRef at = rowOf(k);
        const std::string& number = set.Cell(at.table, 0, at.row);
        if (number.empty()) {  // no record: the register's one stays as it is
            ui.ProgressStep(UiBar::Main);
            continue;
        }
        const long long index = (indexFromRow ? k : RecordNumberOf(number, k)) - 1;
        TransferRecord(link, index + 1);
        std::string record(static_cast<std::size_t>(layout.recordBytes), '\0');
        encode(record, at);
        SendRecordFrame(link, layout, index, record);
    }
    ui.ProgressHide(UiBar::Main);
}

// A price text in hundredths, as 10 packed digits.
std::string PriceField(const std::string& text) {
    return PackBcd(static_cast<std::int64_t>(std::min(DecimalToScaled(text, 2), kMaxPrice)), 10);
}

// A bar code of digits; none (0xFF) when it is empty, zero or not a number.
std::string BarcodeField(const std::string& text) {
    const bool none = !AllDigits(text) || text.find_first_not_of('0') == std::string::npos;
    return none ? std::string(7, '\xFF') : PackDigitsInOrder(text, 7);
}

}  // namespace

namespace sekwencje {

void SendRecordFrame(Connection& link, const RecordLayout& layout, long long index, const std::string& record) {
    const std::string payload = "0;" + std::to_string(index) + layout.sendLetter + record;
    link.ClearRequestArea(0);
    const auto frame = static_cast<int>(link.BuildFrame(payload));
    link.UserUi().ProgressStep(UiBar::Main);
    link.WriteRequest(frame + layout.zerosAfter);
    link.AwaitStatus();
}

}  // namespace sekwencje

// ---- the bytes of one record ----------------------------------------------

namespace {

void EncodePackaging(const TableSet& set, RowRef at, std::string& record) {
    using namespace PackagingLayout;
    Put(record, kName, NameField(set.Cell(at.table, 1, at.row), 18, 19));
    Put(record, kPrice, PriceField(set.Cell(at.table, 2, at.row)));
}

void EncodePlu(const TableSet& set, RowRef at, std::string& record) {
    using namespace PluLayout;
    const int model = set.Model();
    auto cell = [&](int col) -> const std::string& { return set.Cell(at.table, col, at.row); };
    const bool fractions = model == 0 || cell(7) == "TAK";

    const std::string& pack = cell(4);
    const unsigned packaging =
        !pack.empty() && pack[0] == '(' ? 0 : static_cast<unsigned>(LeadingNumber(pack, 15));
    const std::string& rate = cell(3);
    const unsigned letter =
        rate.size() == 1 && rate[0] >= 'A' && rate[0] <= 'G' ? static_cast<unsigned>(rate[0] - 'A') : 0;
    const unsigned ptu = packaging << 4 | letter | (model > 0 && !fractions ? 8 : 0);

    const std::int64_t stock =
        std::clamp(fractions ? SignedScaled(cell(6), 3) : SignedScaled(WholePart(cell(6)), 0), kMinStock, kMaxStock);

    Put(record, kName, NameField(cell(1), 15, 16));
    Put(record, kBarcode, BarcodeField(cell(2)));
    Put(record, kPrice, PriceField(cell(5)));
    Put(record, kPtuByte, Byte(ptu));
    Put(record, kStock, PackBcd(stock, 6));
}

void EncodeCashier(const TableSet& set, RowRef at, std::string& record) {
    using namespace CashierLayout;
    Put(record, kName, NameField(set.Cell(at.table, 1, at.row), 6, 6));
    Put(record, kPassword, PackDigitsInOrder(set.Cell(at.table, 2, at.row), 2));
}

void EncodeKey(const TableSet& set, RowRef at, std::string& record) {
    using namespace KeyLayout;
    // Four digits hold no more than the first four characters.
    const auto plu = LeadingNumber(Slice(set.Cell(at.table, 1, at.row), 0, 4), kMaxFour);
    const auto quantity = static_cast<unsigned>(LeadingNumber(set.Cell(at.table, 2, at.row), 15));
    const unsigned flags = quantity | (set.Cell(at.table, 3, at.row) == "TAK" ? 0x10 : 0);
    Put(record, kPlu, PackBcd(static_cast<std::int64_t>(plu), 4));
    Put(record, kFlags, Byte(flags));
}

void EncodeDiscount(const TableSet& set, RowRef at, std::string& record) {
    using namespace DiscountLayout;
    // The multiplier in thousandths: 1000 less (discount) or more (surcharge)
    // the percentage in tenths.
    const std::uint64_t tenths = DecimalToScaled(set.Cell(at.table, 2, at.row), 2) / 10;
    const std::uint64_t m = at.table == TableId::Discount ? 1000 - std::min<std::uint64_t>(tenths, 1000)
                                                          : 1000 + std::min<std::uint64_t>(tenths, kMaxFour - 1000);
    Put(record, kName, NameField(set.Cell(at.table, 1, at.row), 18, 19));
    Put(record, kMultiplier, PackBcd(static_cast<std::int64_t>(m), 4));
}

void EncodePaymentForm(const TableSet& set, RowRef at, std::string& record) {
    using namespace PaymentFormLayout;
    Put(record, kName, NameField(set.Cell(at.table, 1, at.row), 18, 18));
}

// The discount pair's record number of a discount or surcharge row.
int PairRecord(RowRef at) { return at.table == TableId::Surcharge ? at.row + 4 : at.row; }

}  // namespace

std::string RecordBytes(const TableSet& set, TableId table, int record) {
    const bool pair = table == TableId::Discount || table == TableId::Surcharge;
    if (record < 1 || (pair && record > 8)) return {};
    const RowRef at = pair ? DiscountPairRow(record) : SameRow(table, record);
    if (!set.RowHasRecord(at.table, at.row)) return {};
    void (*encode)(const TableSet&, RowRef, std::string&) = nullptr;
    const RecordLayout* layout = nullptr;
    switch (table) {
    case TableId::Packaging: encode = EncodePackaging, layout = &PackagingLayout::kRecord; break;
    case TableId::Plu: encode = EncodePlu, layout = &PluLayout::kRecord; break;
    case TableId::Cashier: encode = EncodeCashier, layout = &CashierLayout::kRecord; break;
    case TableId::Key: encode = EncodeKey, layout = &KeyLayout::kRecord; break;
    case TableId::Discount:
    case TableId::Surcharge: encode = EncodeDiscount, layout = &DiscountLayout::kRecord; break;
    case TableId::PaymentForm: encode = EncodePaymentForm, layout = &PaymentFormLayout::kRecord; break;
    default: return {};
    }
    std::string bytes(static_cast<std::size_t>(layout->recordBytes), '\0');
    encode(set, at, bytes);
    return bytes;
}

long long SentRecordNumber(const TableSet& set, TableId table, int record) {
    if (table == TableId::Key) return record;  // keys are sent by their row
    const bool pair = table == TableId::Discount || table == TableId::Surcharge;
    const RowRef at = pair ? DiscountPairRow(record) : SameRow(table, record);
    return RecordNumberOf(set.Cell(at.table, 0, at.row), record);
}

std::optional<std::string> HeaderPayload(const TableSet& set) {
    std::string payload = "0X";
    for (int r = 1; r <= set.Rows(TableId::Header); ++r) {
        const std::string& line = set.Cell(TableId::Header, 1, r);
        if (line.empty()) continue;
        payload += ToMazovia(std::string_view(line));
        payload += '\r';
    }
    if (payload.size() > 2 + static_cast<std::size_t>(HeaderLayout::kMaxLineBytes)) return std::nullopt;
    payload.resize(HeaderLayout::kPayloadBytes, '\xFF');
    return payload;
}

std::string PtuPayload(const TableSet& set) {
    std::string payload = "0Z";
    for (int r = 1; r <= PtuLayout::kRates; ++r) {
        const std::string& status = set.Cell(TableId::Ptu, 2, r);
        if (status == "NIEAKTYWNA") payload += "\xFF\xFF";
        else if (status == "ZWOLNIONA") payload += "\xFE\xFF";
        else if (status == "AKTYWNA")
            payload += PackBcd(static_cast<std::int64_t>(std::min(DecimalToScaled(set.Cell(TableId::Ptu, 1, r), 2), kMaxFour)), 4);
        else payload += std::string(2, '\0');
    }
    return payload;
}

// ---- uploads ---------------------------------------------------------------

void SendPackagingTable(Connection& link, const TableSet& set) {
    using namespace PackagingLayout;
    const TableId t = TableId::Packaging;
    SendRecords(link, set, kRecord, set.Rows(t), 15, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { record = RecordBytes(set, t, at.row); });
}

void SendPluTable(Connection& link, const TableSet& set) {
    using namespace PluLayout;
    const TableId t = TableId::Plu;
    SendRecords(link, set, kRecord, set.Rows(t), set.Rows(t), false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { record = RecordBytes(set, t, at.row); });
}

void SendCashierTable(Connection& link, const TableSet& set) {
    using namespace CashierLayout;
    const TableId t = TableId::Cashier;
    SendRecords(link, set, kRecord, set.Rows(t), 8, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { record = RecordBytes(set, t, at.row); });
}

void SendKeyTable(Connection& link, const TableSet& set) {
    using namespace KeyLayout;
    const TableId t = TableId::Key;
    SendRecords(link, set, kRecord, set.Rows(t), set.Rows(t), true, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { record = RecordBytes(set, t, at.row); });
}

void SendDiscountTable(Connection& link, const TableSet& set) {
    using namespace DiscountLayout;
    SendRecords(link, set, kRecord, 8, 7, false, DiscountPairRow, [&](std::string& record, RowRef at) {
        record = RecordBytes(set, TableId::Discount, PairRecord(at));
    });
}

void SendPaymentFormTable(Connection& link, const TableSet& set) {
    using namespace PaymentFormLayout;
    const TableId t = TableId::PaymentForm;
    SendRecords(link, set, kRecord, set.Rows(t), 4, false, [&](int k) { return SameRow(t, k); },
                [&](std::string& record, RowRef at) { record = RecordBytes(set, t, at.row); });
}

bool FiscalModeTest(Connection& link, FiscalGuard item) {
    if (!IsFiscalBlock(ReadRegisterState(link))) return true;
    link.UserUi().Message(item == FiscalGuard::Header ? kHeaderFiscal : kPtuFiscal);
    return false;
}

void SendHeader(Connection& link, const TableSet& set) {
    const std::optional<std::string> payload = HeaderPayload(set);
    if (!payload) {
        link.UserUi().Message(kHeaderTooLong);
        return;
    }
    TransferScope transfer(link, TransferKind::Upload, kHeaderPart);
    TransferRecord(link, 0);
    SendFrame(link, *payload, HeaderLayout::kWriteLength, 0xFF);
    link.UserUi().ProgressStep(UiBar::Main);
    link.AwaitStatus();
}

void SendPtuRates(Connection& link, const TableSet& set) {
    const std::string payload = PtuPayload(set);
    TransferScope transfer(link, TransferKind::Upload, kPtuPart);
    TransferRecord(link, 0);
    link.ClearRequestArea(0xFF);
    const std::size_t frame = link.BuildFrame(payload);
    link.RequestArea()[frame] = 0;  // the byte after the frame is sent as zero
    link.UserUi().ProgressStep(UiBar::Main);
    link.WriteRequest(PtuLayout::kWriteLength);
    link.AwaitStatus();
}

void SendAllTables(Connection& link, const TableSet& set) {
    RunAll<const TableSet>(link, set, TransferKind::Upload, 5,
                           {
                               {"Całkowity postęp:\tWysyłam bazę opakowań", SendPackagingTable},
                               {"Całkowity postęp:\tWysyłam bazę PLU", SendPluTable},
                               {"Całkowity postęp:\tWysyłam bazę kasjerów", SendCashierTable},
                               {"Całkowity postęp:\tWysyłam bazę klawiszy", SendKeyTable},
                               {"Całkowity postęp:\tWysyłam bazę rabatów/dopłat", SendDiscountTable},
                               {"Całkowity postęp:\tWysyłam bazę form płatności", SendPaymentFormTable},
                           });
}
