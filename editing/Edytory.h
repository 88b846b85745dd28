// The entry rows of tabs 1 to 8, one class per table. Each is built with the
// table set it writes into. The owner wires it to its grid (view row = record
// row - 1, the title row being the header):
//   grid current-cell change to view row v   -> ShowRecord(v + 1)
//   the user going to the cell already current (click, move key) -> the same
//   recordAdded(row), PluEditor::goToRow(row) -> current cell (row - 1, 0), grid focused;
//                                                ShowRecord(row) when it is current already
//   tab shown                                 -> FocusFirstField()
//   F9                                        -> PluEditor::GoToPlu(PLU tab showing)
//   model sizes applied (model, PLU part only) -> PluEditor::SetModel(model, pluPartOnly)
//   record or table deleted in the register   -> NumberText(), ClearAfterDeletion()
// A view that gets the focus with no current cell makes its first cell
// current, which shows record 1 in the entry row.
#pragma once

#include "Edytor.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// Tab "&1. Baza opakowań".
class PackagingEditor : public RecordEditor {
    Q_OBJECT
public:
    PackagingEditor(TableSet& tables, QWidget* parent = nullptr);
    void FocusFirstField() override {}  // showing this tab sets no focus

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* name_;
    QLineEdit* price_;
};

// Tab "&2. Baza PLU".
class PluEditor : public RecordEditor {
    Q_OBJECT
public:
    PluEditor(TableSet& tables, QWidget* parent = nullptr);
    QLabel* Hint() const { return hint_; }
    QCheckBox* FractionalSwitch() const { return fractional_; }
    // Rate back to "A", packaging to "0", the switch off where it shows.
    void ClearAfterDeletion() override;

public slots:
    // F9: with the PLU tab showing, moves the grid to the PLU whose number is
    // in the number field.
    void GoToPlu(bool pluTabShowing);
    // The model's sizes were applied: model 0 hides the fractional-sale switch
    // and holds it on; models 1 to 3 show it, and a PLU-table load
    // (`pluPartOnly`) also switches it on.
    void SetModel(int model, bool pluPartOnly = false);

signals:
    // Make column 0 of `row` the PLU grid's current cell and focus the grid.
    void goToRow(int row);

protected:
    bool Add(bool byEnter) override;
    void EnterIn(QWidget* field) override;

private:
    QLineEdit* number_;
    QLineEdit* name_;
    QLineEdit* barcode_;
    QComboBox* rate_;
    QLineEdit* packaging_;
    QLineEdit* price_;
    QCheckBox* fractional_;
    QLineEdit* stock_;
    QLabel* hint_;
};

// Tab "&3. Baza kasjerów".
class CashierEditor : public RecordEditor {
    Q_OBJECT
public:
    CashierEditor(TableSet& tables, QWidget* parent = nullptr);

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* name_;
    QLineEdit* password_;
};

// Tab "&4. Baza klawiszy".
class KeyEditor : public RecordEditor {
    Q_OBJECT
public:
    KeyEditor(TableSet& tables, QWidget* parent = nullptr);
    void ClearAfterDeletion() override;  // also the switch off

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* plu_;
    QLineEdit* quantity_;
    QCheckBox* ends_;
};

// Tab "&5. Baza rabatów": the discounts (records 1-4, rows 1-4) above and the
// surcharges (records 5-8, rows 1-4) below, one class for both.
class DiscountEditor : public RecordEditor {
    Q_OBJECT
public:
    // `surcharges` picks the lower table.
    DiscountEditor(TableSet& tables, bool surcharges, QWidget* parent = nullptr);

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* name_;
    QLineEdit* value_;
};

class SurchargeEditor : public DiscountEditor {
    Q_OBJECT
public:
    explicit SurchargeEditor(TableSet& tables, QWidget* parent = nullptr)
        : DiscountEditor(tables, true, parent) {}
};

// Tab "&6. Baza form płatnośći".
class PaymentFormEditor : public RecordEditor {
    Q_OBJECT
public:
    PaymentFormEditor(TableSet& tables, QWidget* parent = nullptr);

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* name_;
};

// Tab "&7. Nagłówek".
class HeaderEditor : public RecordEditor {
    Q_OBJECT
public:
    HeaderEditor(TableSet& tables, QWidget* parent = nullptr);
    QCheckBox* CentreSwitch() const { return centre_; }

protected:
    bool Add(bool byEnter) override;

private:
    QLineEdit* number_;
    QLineEdit* text_;
    QCheckBox* centre_;
};

// Tab "&8. Stawki PTU".
class PtuEditor : public RecordEditor {
    Q_OBJECT
public:
    PtuEditor(TableSet& tables, QWidget* parent = nullptr);

protected:
    bool Add(bool byEnter) override;

private:
    QComboBox* symbol_;
    QLineEdit* value_;
    QComboBox* status_;
};

// The entry row of `table`, of the class above that serves it.
RecordEditor* CreateRecordEditor(TableSet& tables, TableId table, QWidget* parent = nullptr);
