// Entry rows of the packaging, PLU, cashier and key tables.
#include "Edytory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "Ui.h"

namespace {
constexpr int kPasswordLength = 4;
}  // namespace

// ---- packaging

PackagingEditor::PackagingEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Packaging, "Dodaj r&ekord", parent) {
    setObjectName("packagingEditor");
    number_ = AddLine(FieldKind::Digit, "Nr opakowania", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa opakowania", "name", 1);
    price_ = AddLine(FieldKind::Decimal, "Cena", "price", 2);
}

bool PackagingEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, name_, price_}, number_);
}

// ---- PLU

PluEditor::PluEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Plu, "Dodaj r&ekord", parent) {
    setObjectName("pluEditor");
    number_ = AddLine(FieldKind::Digit, "Nr PLU", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa PLU", "name", 1);
    barcode_ = AddLine(FieldKind::Digit, "Kod kreskowy", "barcode", 2);
    rate_ = AddCombo(FieldKind::Choice, "Stawka PTU", "rate", 3,
                     {"A", "B", "C", "D", "E", "F", "G"}, "A");
    packaging_ = AddLine(FieldKind::Digit, "Nr opak.", "packaging", 4);
    packaging_->setText("0");
    price_ = AddLine(FieldKind::Decimal, "Cena jedn.", "price", 5);
    fractional_ = AddSwitch("Sprzedaż ułamkowa", "fractional", 7);
    ModelBound(fractional_);
    stock_ = AddLine(FieldKind::Decimal, "Ilosc magazyn.", "stock", 6);
    hint_ = new QLabel(
        QString::fromUtf8("Wpisz nr PLU i naciśnij klawisz F9 żeby przejść  do danego rekordu w tabeli"),
        this);
    hint_->setObjectName("hint");
    Outer()->addWidget(hint_);
    SetModel(tables.Model());
}

void PluEditor::SetModel(int model, bool pluPartOnly) {
    const bool shown = model != 0;
    fractional_->setVisible(shown);
    LabelOf(fractional_)->setVisible(shown);
    // Model 0 sells every PLU in fractions; a PLU-table load switches it on too.
    if (model == 0 || pluPartOnly) fractional_->setChecked(true);
}

void PluEditor::EnterIn(QWidget* field) {
    if (field == packaging_ && packaging_->text().isEmpty()) {
        CurrentUi().Message(EditorText::EmptyPackaging);
        packaging_->setText("0");
    }
    if (field == packaging_) {
        Focus(price_);
        return;
    }
    FocusNext(field);
}

bool PluEditor::Add(bool byEnter) {
    // The rate, the packaging number and the switch stay for the next PLU.
    return Submit(byEnter, {number_, name_, barcode_, price_, stock_}, number_);
}

void PluEditor::ClearAfterDeletion() {
    RecordEditor::ClearAfterDeletion();
    rate_->setEditText("A");
    packaging_->setText("0");
    if (tables_.Model() != 0) fractional_->setChecked(false);
}

void PluEditor::GoToPlu(bool pluTabShowing) {
    if (!pluTabShowing) return;
    if (number_->text().isEmpty()) return Refuse("Należy najpierw podać numer szukanego rekordu");
    const auto n = Number(number_);
    if (!n) return;
    if (*n > tables_.Rows(table_)) return Refuse("Za duża wartość nr PLU");
    if (*n < 1) return Refuse("Zły numer PLU");  // row 0 holds the titles
    emit goToRow(*n);
    Focus(number_);
}

// ---- cashiers

CashierEditor::CashierEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Cashier, "Dodaj r&ekord", parent) {
    setObjectName("cashierEditor");
    number_ = AddLine(FieldKind::Digit, "Nr kasjera", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa kasjera", "name", 1);
    password_ = AddLine(FieldKind::Digit, "Hasło", "password", 2);
    password_->setMaxLength(kPasswordLength);
    RefuseBackspace(password_);
}

bool CashierEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, name_, password_}, number_);
}

// ---- keys

KeyEditor::KeyEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Key, "Dodaj r&ekord", parent) {
    setObjectName("keyEditor");
    number_ = AddLine(FieldKind::Digit, "Nr klawisza", "number", 0);
    plu_ = AddLine(FieldKind::Digit, "Kod PLU", "plu", 1);
    quantity_ = AddLine(FieldKind::Decimal, "Ilość", "quantity", 2);
    CopyAsIs(quantity_);
    ends_ = AddSwitch("Zakończenia paragonu", "ends", 3);
}

void KeyEditor::ClearAfterDeletion() {
    RecordEditor::ClearAfterDeletion();
    ends_->setChecked(false);
}

bool KeyEditor::Add(bool byEnter) {
    return Submit(byEnter, {number_, plu_, quantity_}, number_);
}
