// Reading the tables back from the register record by record.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <vector>

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

// A decoded record: its record text, and its name apart, so that a name
// holding ";" cannot shift the fields after it.
struct ReadRecord {
    std::string text;
    int nameColumn = -1;
    std::string name;
};

// Name field of a record text: the name, or nothing when it holds ";" (then
// it is written into its cell on its own).
std::string NameForText(const std::string& name) {
    return name.find(';') == std::string::npos ? name : std::string();
}

// The record index at the start of a record reply's data (position 5 up to the
// first ";"), and where the record's hexadecimal text starts.
struct ReplyHead {
    long long index = -1;  // -1: not a number
    std::size_t data = 0;
};

ReplyHead ParseReplyHead(const std::string& reply) {
    ReplyHead head;
    if (reply.size() < 5) return head;
    const std::size_t semi = reply.find(';', 4);
    if (semi == std::string::npos) return head;
    const std::string_view digits = std::string_view(reply).substr(4, semi - 4);
    if (!AllDigits(digits) || digits.size() > 9) return head;
    head.index = static_cast<long long>(LeadingNumber(digits, 999999999));
    // ";" and two characters not read; a reply cut short there has no record text.
    head.data = std::min(semi + 3, reply.size());
    return head;
}

std::string Hundredths(const std::string& number) { return WithDecimals(number, 2); }

std::optional<ReadRecord> DecodePackaging(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace PackagingLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string price = Hundredths(BcdToDecimal(HexBytesAt(hex, kPrice.offset, kPrice.width)));
    return ReadRecord{n + ";" + NameForText(name) + ";" + price + ";", 1, name};
}

std::optional<ReadRecord> DecodePlu(const TableSet& set, std::string_view hex, const std::string& n) {
    using namespace PluLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kName.offset, kName.width));
    if (name.empty()) return std::nullopt;
    const std::string barcode = BcdToBarcode(HexBytesAt(hex, kBarcode.offset, kBarcode.width));
    const std::string price = Hundredths(BcdToDecimal(HexBytesAt(hex, kPrice.offset, kPrice.width)));

    const std::string_view ptu = HexBytesAt(hex, kPtuByte.offset, kPtuByte.width);
    const int packaging = ptu.size() > 0 ? HexDigitValue(ptu[0]) : 0;
    const int v = ptu.size() > 1 ? HexDigitValue(ptu[1]) : 0;
    // 0 to 6: letter A to G sold in fractions; 8 to 14 the same in whole units.
    // 7 and 15 name no rate; they are shown as G.
    const char letter = static_cast<char>('A' + std::min(v & 7, 6));
    const bool fractions = set.Model() == 0 || v < 8;

    const std::string stock = BcdToSigned(HexBytesAt(hex, kStock.offset, kStock.width));
    std::string text = n + ";" + NameForText(name) + ";" + barcode + ";" + letter + ";" + std::to_string(packaging) +
                       ";" + price + ";" + (fractions ? WithDecimals(stock, 3) : FormatDecimals(stock, 0)) + ";";
    if (set.Model() > 0) text += fractions ? "TAK;" : "NIE;";
    return ReadRecord{text, 1, name};
}

std::optional<ReadRecord> DecodeCashier(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace CashierLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string password(HexBytesAt(hex, kPassword.offset, kPassword.width));
    return ReadRecord{n + ";" + NameForText(name) + ";" + password + ";", 1, name};
}

std::optional<ReadRecord> DecodeKey(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace KeyLayout;
    const std::string plu = BcdToDecimal(HexBytesAt(hex, kPlu.offset, kPlu.width));
    if (plu == "0") return std::nullopt;
    const std::string_view flags = HexBytesAt(hex, kFlags.offset, kFlags.width);
    const bool whole = !flags.empty() && flags[0] == '1';
    const int quantity = flags.size() > 1 ? HexDigitValue(flags[1]) : 0;
    return ReadRecord{n + ";" + plu + ";" + std::to_string(quantity) + ";" + (whole ? "TAK;" : "NIE;"), -1, {}};
}

std::optional<ReadRecord> DecodeDiscount(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace DiscountLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kNameRead.offset, kNameRead.width));
    if (name.empty()) return std::nullopt;
    const std::string percent =
        Hundredths(MultiplierToPercent(HexBytesAt(hex, kMultiplier.offset, kMultiplier.width)));
    return ReadRecord{n + ";" + NameForText(name) + ";" + percent + ";", 1, name};
}

std::optional<ReadRecord> DecodePaymentForm(const TableSet&, std::string_view hex, const std::string& n) {
    using namespace PaymentFormLayout;
    const std::string name = NameFromHex(HexBytesAt(hex, kName.offset, kName.width));
    if (name.empty()) return std::nullopt;
    return ReadRecord{n + ";" + NameForText(name) + ";", 1, name};
}

using Decoder = std::optional<ReadRecord> (*)(const TableSet&, std::string_view, const std::string&);

template <typename RowOf>
void ReadRecords(Connection& link, TableSet& set, const RecordLayout& layout, int fillCode, long long lastIndex, int barMaximum,
                 RowOf rowOf, Decoder decode, bool plu, const std::vector<int>* only = nullptr) {
    Ui& ui = link.UserUi();
    TransferScope transfer(link, TransferKind::Download, PartName(layout.readDigit));
    ui.ProgressShow(UiBar::Main, barMaximum);
    if (plu) {
        ui.ShowLabel(UiLabel::PluTab, true);
        ui.ShowLabel(UiLabel::ServicePlu, true);
    }
    // Every index up to the last, or only the records asked for.
    std::vector<long long> indexes;
    if (only) {
        for (int r : *only)
            if (r >= 1 && r - 1 <= lastIndex) indexes.push_back(r - 1);
    } else {
        for (long long i = 0; i <= lastIndex; ++i) indexes.push_back(i);
    }
    for (const long long i : indexes) {
        // Asked between records, when the last reply and its status are read:
        // nothing is left queued to become the start of the next command's reply.
        if (TransferStopRequested(link)) break;
        TransferRecord(link, i + 1);
        // A reply for another record than the one asked, or one cut short, is
        // asked again and at last counted as missing: never decoded, never
        // taken for an empty record.
        const bool answered = AskRecord(link, layout, i);
        // The status reply of modes 2 and 3 overwrites the reply area.
        const std::string reply = link.ReplyText();
        const ReplyHead head = ParseReplyHead(reply);
        const std::string number = std::to_string(i + 1);
        if (plu && answered) {
            ui.SetLabel(UiLabel::PluTab, "Odczytano: " + number + " PLU");
            ui.SetLabel(UiLabel::ServicePlu, "Odczytalem PLU nr : " + number);
            ui.ProcessEvents();
        }
        std::optional<ReadRecord> record;
        if (answered && head.index == i) {
            record = decode(set, std::string_view(reply).substr(head.data), number);
            if (!record) TransferRecordEmpty(link);
        }
        if (!record) {  // empty in the register, or no answer: the row keeps what it holds
            link.AwaitStatus();
            ui.ProgressStep(UiBar::Main);
            continue;
        }
        const int row = static_cast<int>(i + 1);
        const RowRef at = rowOf(row);
        if (at.row <= set.Rows(at.table)) {  // the index after the last row has no row
            TableBatch batch(set);
            set.FillRow(record->text, fillCode, row);
            if (record->nameColumn >= 0) set.SetCell(at.table, record->nameColumn, at.row, record->name);
        }
        ui.ProcessEvents();
        link.AwaitStatus();
        if (plu && row + 1 <= set.Rows(TableId::Plu)) ui.PluCursor(row + 1);
        ui.ProgressStep(UiBar::Main);
    }
    if (plu) {
        ui.ShowLabel(UiLabel::PluTab, false);
        ui.ShowLabel(UiLabel::ServicePlu, false);
    }
    ui.ProgressHide(UiBar::Main);
}


// One record table read whole, or only the records in `only`.
void ReadTable(Connection& link, TableSet& set, TableId table, const std::vector<int>* only) {
    const TableId t = table;
    auto same = [&](int k) { return SameRow(t, k); };
    switch (table) {
    case TableId::Packaging:
        ReadRecords(link, set, PackagingLayout::kRecord, TableCode::Packaging, set.Rows(t) - 1, 15, same,
                    DecodePackaging, false, only);
        break;
    case TableId::Plu:
        ReadRecords(link, set, PluLayout::kRecord, TableCode::Plu, set.Rows(t), set.Rows(t) + 1, same, DecodePlu,
                    !only, only);
        break;
    case TableId::Cashier:
        ReadRecords(link, set, CashierLayout::kRecord, TableCode::Cashier, set.Rows(t) - 1, 7, same, DecodeCashier,
                    false, only);
        break;
    case TableId::Key:
        ReadRecords(link, set, KeyLayout::kRecord, TableCode::Key, set.Rows(t), set.Rows(t), same, DecodeKey, false,
                    only);
        break;
    case TableId::Discount:
    case TableId::Surcharge:
        ReadRecords(link, set, DiscountLayout::kRecord, TableCode::DiscountFill, 7, 8, DiscountPairRow, DecodeDiscount,
                    false, only);
        break;
    case TableId::PaymentForm:
        ReadRecords(link, set, PaymentFormLayout::kRecord, TableCode::PaymentForm, set.Rows(t) - 1, 4, same,
                    DecodePaymentForm, false, only);
        break;
    default: break;
    }
}

}  // namespace

void ReadPackagingTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::Packaging, nullptr); }
void ReadPluTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::Plu, nullptr); }
void ReadCashierTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::Cashier, nullptr); }
void ReadKeyTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::Key, nullptr); }
void ReadDiscountTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::Discount, nullptr); }
void ReadPaymentFormTable(Connection& link, TableSet& set) { ReadTable(link, set, TableId::PaymentForm, nullptr); }

void ReadRecordsOf(Connection& link, TableSet& set, TableId table, const std::vector<int>& records) {
    ReadTable(link, set, table, &records);
}

void ReadHeader(Connection& link, TableSet& set) {
    Ui& ui = link.UserUi();
    ui.ProgressSetValue(UiBar::Main, 0);
    ui.ProgressSetMaximum(UiBar::Main, 8);
    TransferScope transfer(link, TransferKind::Download, kHeaderPart);
    TransferRecord(link, 0);
    // The header as hexadecimal text, whole bytes: a status reply or noise is
    // no header and must not empty its rows.
    const bool answered = AskFrame(link, "0K", HeaderLayout::kReadWriteLength, [](std::string_view data) {
        return IsHexText(data) && data.size() % 2 == 0;
    });
    // The header's hexadecimal text runs from position 5 to the four closing
    // characters (check, ESC, backslash).
    const std::string reply = answered ? link.ReplyText() : std::string();
    const std::string hex(ReplyData(reply));
    std::string text = HexToBytes(hex);
    text.resize(strnlen(text.c_str(), text.size()));
    FromMazovia(text);
    {
        TableBatch batch(set);
        int row = 1;
        std::size_t start = 0;
        for (std::size_t cr = text.find('\r'); cr != std::string::npos && row <= set.Rows(TableId::Header);
             cr = text.find('\r', start)) {
            set.SetCell(TableId::Header, 1, row++, text.substr(start, cr - start));
            start = cr + 1;
        }
    }
    link.AwaitStatus();
}

void ReadPtuRates(Connection& link, TableSet& set) {
    Ui& ui = link.UserUi();
    ui.ProgressSetValue(UiBar::Main, 0);
    ui.ProgressSetMaximum(UiBar::Main, 8);
    TransferScope transfer(link, TransferKind::Download, kPtuPart);
    TransferRecord(link, 0);
    AskFrame(link, "0O", PtuLayout::kReadWriteLength,
             [](std::string_view data) { return Leads(data, PtuLayout::kReadChars); });
    const std::string reply = link.ReplyText();
    {
        TableBatch batch(set);
        for (int r = 1; r <= PtuLayout::kRates; ++r) {
            const std::string g = Slice(reply, 4 + 4 * static_cast<std::size_t>(r - 1), 4);
            if (g == "FFFF") {
                set.SetCell(TableId::Ptu, 2, r, "NIEAKTYWNA");
            } else if (g == "FEFF") {
                set.SetCell(TableId::Ptu, 2, r, "ZWOLNIONA");
            } else if (g.size() == 4 && AllDigits(g)) {
                set.SetCell(TableId::Ptu, 2, r, "AKTYWNA");
                set.SetCell(TableId::Ptu, 1, r, g.substr(2, 2) + "." + g.substr(0, 2));
            }
            // Anything else (no reply, a short or garbled one) leaves the rate as it was.
        }
    }
    link.AwaitStatus();
}

void ReadAllTables(Connection& link, TableSet& set) {
    RunAll<TableSet>(link, set, TransferKind::Download, 7,
                     {
                         {"Całkowity postęp:\tOdczytuje bazę opakowań", ReadPackagingTable},
                         {"Całkowity postęp:\tOdczytuje bazę PLU", ReadPluTable},
                         {"Całkowity postęp:\tOdczytuje bazę kasjerów", ReadCashierTable},
                         {"Całkowity postęp:\tOdczytuje bazę klawiszy", ReadKeyTable},
                         {"Całkowity postęp:\tOdczytuje bazę rabatów/dopłat", ReadDiscountTable},
                         {"Całkowity postęp:\tOdczytuje bazę form płatności", ReadPaymentFormTable},
                         {"Całkowity postęp:\tOdczytuje nagłówek", ReadHeader},
                         {"Całkowity postęp:\tOdczytuje stawki PTU", ReadPtuRates},
                     });
}
