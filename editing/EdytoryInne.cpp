// Entry rows of the discount, surcharge, payment form, header and PTU rate tables.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include "Edytory.h"
#include "Ui.h"

namespace {
constexpr int kNameWidth = 18;  // discounts, surcharges, payment forms
constexpr int kPaymentForms = 4;
constexpr int kHeaderLines = 8;
}  // namespace

// ---- discounts and surcharges

DiscountEditor::DiscountEditor(TableSet& tables, bool surcharges, QWidget* parent)
    : RecordEditor(tables, surcharges ? TableId::Surcharge : TableId::Discount,
                   surcharges ? "Dodaj re&kord" : "Dodaj r&ekord", parent),
      surcharges_(surcharges) {
    setObjectName(surcharges ? "surchargeEditor" : "discountEditor");
    number_ = AddLine(FieldKind::Digit, surcharges ? "Nr dopłaty" : "Nr rabatu", "number", 0);
    name_ = AddLine(FieldKind::Text, surcharges ? "Nazwa dopłaty" : "Nazwa rabatu", "name", 1);
    value_ = AddLine(FieldKind::Decimal, "Wartość", "value", 2);
}

bool DiscountEditor::Add(bool byEnter) {
    if (number_->text().isEmpty())
        return Refuse(surcharges_ ? "Nie podano numeru dopłaty" : "Nie podano numeru rabatu"), false;
    const auto n = Number(number_);
    if (!n) return false;
    // Surcharges are records 5-8 in rows 1-4.
    const int first = surcharges_ ? 5 : 1;
    if (*n < first || *n > first + 3) {
        const char* message =
            surcharges_ ? (byEnter ? "Zły numer dopłaty\rDopłaty mają numery 5-8"
                                   : "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8")
                        : (byEnter ? "Zły numer rabatu\rRabty mają numery 1-4"
                                   : "Zły numer rabtu\rRabaty muszą mieć numery 1-4");
        return Refuse(message, number_), false;
    }
    const int row = *n - first + 1;
    const std::string name = CutName(name_, kNameWidth);
    const auto value = Decimal(value_);
    if (!value) return false;
    WriteRow(row, {{0, Cell(number_->text())}, {1, name}, {2, Cell(FormatFixed(*value, 2))}});
    Finish(row, {number_, name_, value_}, number_);
    return true;
}

// ---- payment forms

PaymentFormEditor::PaymentFormEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::PaymentForm, "Dodaj r&ekord", parent) {
    setObjectName("paymentFormEditor");
    number_ = AddLine(FieldKind::Digit, "Nr formy", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa formy", "name", 1);
}

bool PaymentFormEditor::Add(bool byEnter) {
    if (number_->text().isEmpty())
        return Refuse(byEnter ? "Nie podano numeru formy" : "Nie podano numeru formy płatności"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > kPaymentForms)
        return Refuse(byEnter ? "Zły numer formy" : "Zły numer formy płatności", number_), false;
    const std::string name = CutName(name_, kNameWidth);
    WriteRow(*n, {{0, Cell(number_->text())}, {1, name}});
    Finish(*n, {number_, name_}, number_);
    return true;
}

// ---- header lines

HeaderEditor::HeaderEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Header, "Dodaj r&ekord", parent) {
    setObjectName("headerEditor");
    number_ = AddLine(FieldKind::Digit, "Nr linii", "number", 0);
    text_ = AddLine(FieldKind::Text, "Treść", "text", 1);
    text_->setMaxLength(kHeaderLineWidth);
    centre_ = new QCheckBox(QString::fromUtf8("Centruj linie"), this);
    centre_->setObjectName("centre");
    centre_->setChecked(true);
    Grid()->addWidget(centre_, 1, 2);
}

bool HeaderEditor::Add(bool) {
    if (number_->text().isEmpty()) return Refuse("Nie podano numeru linii"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > kHeaderLines) return Refuse("Zły numer linii", number_), false;
    QString line = text_->text();
    if (centre_->isChecked()) line = CentreLine(line);
    line = CutToWidth(line, kHeaderLineWidth);
    if (line != text_->text()) text_->setText(line);
    WriteRow(*n, {{0, Cell(number_->text())}, {1, Cell(line)}});
    Finish(*n, {number_, text_}, number_);
    return true;
}

// ---- PTU rates

PtuEditor::PtuEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Ptu, "Dodaj r&ekord", parent) {
    setObjectName("ptuEditor");
    symbol_ = AddCombo(FieldKind::Letter, "Symbol stawki", "symbol", 0,
                       {"A", "B", "C", "D", "E", "F", "G"}, "A");
    symbol_->lineEdit()->setMaxLength(1);
    value_ = AddLine(FieldKind::Decimal, "Wartość", "value", 1);
    status_ = AddCombo(FieldKind::Choice, "Typ", "status", 2,
                       {"AKTYWNA", "NIEAKTYWNA", "ZWOLNIONA"}, "NIEAKTYWNA");
}

bool PtuEditor::Add(bool) {
    const QString symbol = symbol_->currentText();
    if (symbol.isEmpty()) return Refuse("Nie podano oznaczenia stawki"), false;
    const QChar letter = symbol[0];
    if (letter < 'A' || letter > 'G') return Refuse("Złe oznaczenie stawki", symbol_), false;
    const QString status = status_->currentText();
    if (status != "NIEAKTYWNA" && status != "AKTYWNA" && status != "ZWOLNIONA")
        return Refuse("Zły status stawki.\rMożliwe wartości to NIEAKTYWNA,AKTYWNA,ZWOLNIONA", status_),
               false;
    const int row = letter.unicode() - 'A' + 1;
    std::vector<std::pair<int, std::string>> cells = {{0, Cell(QString(letter))}, {2, Cell(status)}};
    if (!value_->text().isEmpty()) {
        const auto value = Decimal(value_);
        if (!value) return false;
        cells.push_back({1, Cell(FormatFixed(*value, 2))});
    } else if (status == "AKTYWNA") {
        // Only a reminder: the rate keeps the value it had and the add goes on.
        CurrentUi().Message("Podaj wartosc stawki");
    } else {
        cells.push_back({1, std::string()});
    }
    WriteRow(row, cells);
    // The symbol and status stay as written; only the value is emptied.
    Finish(row, {value_}, symbol_);
    return true;
}

RecordEditor* CreateRecordEditor(TableSet& tables, TableId table, QWidget* parent) {
    switch (table) {
    case TableId::Packaging: return new PackagingEditor(tables, parent);
    case TableId::Plu: return new PluEditor(tables, parent);
    case TableId::Cashier: return new CashierEditor(tables, parent);
    case TableId::Key: return new KeyEditor(tables, parent);
    case TableId::Discount: return new DiscountEditor(tables, false, parent);
    case TableId::Surcharge: return new SurchargeEditor(tables, parent);
    case TableId::PaymentForm: return new PaymentFormEditor(tables, parent);
    case TableId::Header: return new HeaderEditor(tables, parent);
    case TableId::Ptu: return new PtuEditor(tables, parent);
    }
    return nullptr;
}
