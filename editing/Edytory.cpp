// Entry rows of the packaging, PLU, cashier and key tables.
#include "Edytory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "Ui.h"

namespace {
constexpr int kPackagingNameWidth = 18;
constexpr int kPluNameWidth = 15;
constexpr int kCashierNameWidth = 7;
constexpr int kPasswordLength = 4;

const char* Flag(bool on) { return on ? "TAK" : "NIE"; }
}  // namespace

// ---- packaging

PackagingEditor::PackagingEditor(TableSet& tables, QWidget* parent)
    : RecordEditor(tables, TableId::Packaging, "Dodaj r&ekord", parent) {
    setObjectName("packagingEditor");
    number_ = AddLine(FieldKind::Digit, "Nr opakowania", "number", 0);
    name_ = AddLine(FieldKind::Text, "Nazwa opakowania", "name", 1);
    price_ = AddLine(FieldKind::Decimal, "Cena", "price", 2);
}

bool PackagingEditor::Add(bool) {
    if (number_->text().isEmpty()) return Refuse("Nie podano numeru opakowania"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > tables_.Rows(table_)) return Refuse("Zły numer opakowania", number_), false;
    const std::string name = CutName(name_, kPackagingNameWidth);
    if (NameTaken(name, *n)) return Refuse(EditorText::NotUnique, name_), false;
    const auto price = Decimal(price_);
    if (!price) return false;
    WriteRow(*n, {{0, Cell(number_->text())}, {1, name}, {2, Cell(FormatFixed(*price, 2))}});
    Finish(*n, {number_, name_, price_}, number_);
    return true;
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
        CurrentUi().Message("To pole nie może być puste !!\rBrak opakowania należy wpisać 0");
        packaging_->setText("0");
    }
    if (field == packaging_) {
        Focus(price_);
        return;
    }
    FocusNext(field);
}

bool PluEditor::Add(bool) {
    if (number_->text().isEmpty()) return Refuse("Nie podano numeru PLU"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > tables_.Rows(table_)) return Refuse("Zły numer PLU", number_), false;
    const std::string name = CutName(name_, kPluNameWidth);
    if (NameTaken(name, *n)) return Refuse(EditorText::NotUnique, name_), false;
    const auto price = Decimal(price_);
    if (!price) return false;
    const auto stock = Decimal(stock_);
    if (!stock) return false;
    const bool hasColumn = tables_.Model() != 0;
    const bool fractional = !hasColumn || fractional_->isChecked();
    std::vector<std::pair<int, std::string>> cells = {
        {0, Cell(number_->text())},
        {1, name},
        {2, Cell(barcode_->text())},
        {3, Cell(rate_->currentText())},
        {4, Cell(packaging_->text())},
        {5, Cell(FormatFixed(*price, 2))},
        {6, Cell(FormatFixed(*stock, fractional ? 3 : 0))},
    };
    if (hasColumn) cells.push_back({7, Flag(fractional_->isChecked())});
    WriteRow(*n, cells);
    // The rate, the packaging number and the switch stay for the next PLU.
    Finish(*n, {number_, name_, barcode_, price_, stock_}, number_);
    return true;
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
    if (number_->text().isEmpty()) return Refuse("Nie podano numeru kasjera"), false;
    // Enter names an empty password on its own; the button takes it as too short.
    if (byEnter && password_->text().isEmpty()) return Refuse("Nie podano hasla"), false;
    if (password_->text().size() < kPasswordLength) return Refuse("Haslo musi zawierac 4 cyfry"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > tables_.Rows(table_)) return Refuse("Zły numer kasjera", number_), false;
    const std::string name = CutName(name_, kCashierNameWidth);
    WriteRow(*n, {{0, Cell(number_->text())}, {1, name}, {2, Cell(password_->text())}});
    Finish(*n, {number_, name_, password_}, number_);
    return true;
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

bool KeyEditor::Add(bool) {
    if (number_->text().isEmpty()) return Refuse("Nie podano numeru klawisza"), false;
    const auto n = Number(number_);
    if (!n) return false;
    if (*n < 1 || *n > tables_.Rows(table_)) return Refuse("Zły numer klawisza", number_), false;
    // The quantity is kept as typed, with its ','.
    WriteRow(*n, {{0, Cell(number_->text())},
                  {1, Cell(plu_->text())},
                  {2, Cell(quantity_->text())},
                  {3, Flag(ends_->isChecked())}});
    Finish(*n, {number_, plu_, quantity_}, number_);
    return true;
}
