// Entry rows of the discount, surcharge, payment form, header and PTU rate tables.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>

#include "Edytory.h"
#include "Ui.h"


// ---- discounts and surcharges

DiscountEditor::DiscountEditor(TableSet& tables, bool surcharges, QWidget* parent)
    : RecordEditor(tables, surcharges ? TableId::Surcharge : TableId::Discount,
                   surcharges ? "Dodaj re&kord" : "Dodaj r&ekord", parent) {
    setObjectName(surcharges ? "surchargeEditor" : "discountEditor");
    number_ = AddLine(FieldKind::Digit, surcharges ? "Nr dopłaty" : "Nr rabatu", "number", 0);
    name_ = AddLine(FieldKind::Text, surcharges ? "Nazwa dopłaty" : "Nazwa rabatu", "name", 1);
    value_ = AddLine(FieldKind::Decimal, "Wartość", "value", 2);
}

bool DiscountEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, name_, value_}, number_);
}

// ---- payment forms

PaymentFormEditor::PaymentFormEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::PaymentForm, "Dodaj r&ekord", parent) {
    setObjectName("paymentFormEditor");
    number_ = AddLine(FieldKind::Digit, "Nr formy", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa formy", "name", 1);
}

bool PaymentFormEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, name_}, number_);
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

bool HeaderEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, text_}, number_, centre_->isChecked());
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

bool PtuEditor::Add(bool byEnter) {
    // The symbol and status stay as written; only the value is emptied.
    return Submit(byEnter, {value_}, symbol_);
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
