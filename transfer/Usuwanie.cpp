// Deleting records and whole tables in the register.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
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

const char* const kNoRecordNumber = "Musisz podac numer rekordu!";
const char* const kCashierOneStays = "Kasjer z nr 1 nie może być usunięty z kasy";

// The record delete letter of a table; 0 for the header and the PTU rates.
char DeleteLetter(TableId table) {
    switch (table) {
    case TableId::Packaging: return PackagingLayout::kRecord.deleteLetter;
    case TableId::Plu: return PluLayout::kRecord.deleteLetter;
    case TableId::Cashier: return CashierLayout::kRecord.deleteLetter;
    case TableId::Key: return KeyLayout::kRecord.deleteLetter;
    case TableId::Discount:
    case TableId::Surcharge: return DiscountLayout::kRecord.deleteLetter;
    case TableId::PaymentForm: return PaymentFormLayout::kRecord.deleteLetter;
    default: return 0;
    }
}

// The table digit of a record table, which names it in a transfer's summary.
char ReadDigitOf(TableId table) {
    switch (table) {
    case TableId::Packaging: return PackagingLayout::kRecord.readDigit;
    case TableId::Plu: return PluLayout::kRecord.readDigit;
    case TableId::Cashier: return CashierLayout::kRecord.readDigit;
    case TableId::Key: return KeyLayout::kRecord.readDigit;
    case TableId::Discount:
    case TableId::Surcharge: return DiscountLayout::kRecord.readDigit;
    default: return PaymentFormLayout::kRecord.readDigit;
    }
}

// The table's message for a record number it cannot hold (the wording of the
// entry rows' buttons).
const char* WrongNumberMessage(TableId table) {
    switch (table) {
    case TableId::Packaging: return "Zły numer opakowania";
    case TableId::Plu: return "Zły numer PLU";
    case TableId::Cashier: return "Zły numer kasjera";
    case TableId::Key: return "Zły numer klawisza";
    case TableId::Discount: return "Zły numer rabtu\rRabaty muszą mieć numery 1-4";
    case TableId::Surcharge: return "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8";
    default: return "Zły numer formy płatności";
    }
}


// Empties the row of a record; a number that names no row empties nothing.
void EmptyRecordRow(TableSet& set, TableId table, long long record) {
    RowRef at{table, 0};
    if (table == TableId::Discount || table == TableId::Surcharge) {
        if (record >= 1 && record <= 8) at = DiscountPairRow(static_cast<int>(record));
    } else if (record >= 1 && record <= set.Rows(table)) {
        at.row = static_cast<int>(record);
    }
    if (at.row >= 1) set.ClearRow(at.table, at.row);
}

}  // namespace

namespace sekwencje {

void SendDelete(Connection& link, long long record, char letter) {
    link.SendSimpleCommand("0;" + std::to_string(record - 1) + letter);
    link.AwaitStatus();
}

}  // namespace sekwencje

bool DeleteRecord(Connection& link, TableSet& set, TableId table, const std::string& numberField) {
    const char letter = DeleteLetter(table);
    if (letter == 0) return false;
    if (numberField.empty()) {
        link.UserUi().Message(kNoRecordNumber);
        return false;
    }
    // 0 would name the title row: refused like any number that is not one.
    const long long n = PositiveNumber(numberField);
    if (n == 0) {
        link.UserUi().Message(WrongNumberMessage(table));
        return false;
    }
    if (table == TableId::Cashier && n == 1) {
        link.UserUi().Message(kCashierOneStays);
        return false;
    }
    SendDelete(link, n, letter);
    EmptyRecordRow(set, table, n);
    return true;
}

bool PluExists(Connection& link, int row) {
    const bool answered = AskRecord(link, PluLayout::kRecord, static_cast<long long>(row) - 1);
    const std::string reply = link.ReplyText();
    const std::size_t semi = reply.size() > 4 ? reply.find(';', 4) : std::string::npos;
    bool exists = false;
    if (answered && semi != std::string::npos) {
        const std::string_view hex = std::string_view(reply).substr(std::min(semi + 3, reply.size()));
        exists = !NameFromHex(HexBytesAt(hex, PluLayout::kName.offset, PluLayout::kName.width)).empty();
    }
    link.AwaitStatus();
    return exists;
}

void DeleteTable(Connection& link, TableSet& set, TableId table) {
    const char letter = DeleteLetter(table);
    if (letter == 0) return;
    Ui& ui = link.UserUi();
    TransferScope transfer(link, TransferKind::Deletion, PartName(ReadDigitOf(table)));
    if (table == TableId::Plu) {
        const int count = set.Rows(TableId::Plu);
        ui.ProgressShow(UiBar::Main, count);
        for (int r = 1; r <= count; ++r) {
            ui.ProcessEvents();
            if (TransferStopRequested(link)) break;
            TransferRecord(link, r);
            // Only PLU records the register holds are deleted; every row is emptied.
            if (PluExists(link, r)) SendDelete(link, r, letter);
            ui.ProgressStep(UiBar::Main);
            set.ClearRow(TableId::Plu, r);
        }
        ui.ProgressHide(UiBar::Main);
        return;
    }

    int first = 1, last = 0, barMaximum = 0;
    switch (table) {
    case TableId::Packaging: last = 15, barMaximum = 15; break;
    case TableId::Cashier: first = 2, last = 8, barMaximum = 6; break;  // cashier 1 always stays
    case TableId::Key: last = set.Rows(TableId::Key), barMaximum = last; break;
    case TableId::PaymentForm: last = 4, barMaximum = 3; break;
    default: last = 8, barMaximum = 7; break;  // discounts and surcharges
    }
    ui.ProgressShow(UiBar::Main, barMaximum);
    for (int r = first; r <= last; ++r) {
        ui.ProcessEvents();
        if (TransferStopRequested(link)) break;
        TransferRecord(link, r);
        SendDelete(link, r, letter);
        ui.ProgressStep(UiBar::Main);
        EmptyRecordRow(set, table, r);
    }
    ui.ProgressHide(UiBar::Main);
}
