// The entry row under a table: its fields in column order and its add button.
// Typed characters go through the rules of the field's kind; Enter moves to
// the next field and adds the record in the last one, as the button does.
#pragma once

#include <QString>
#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "Pola.h"
#include "Tabele.h"

class QCheckBox;
class QComboBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

class RecordEditor : public QWidget {
    Q_OBJECT
public:
    TableId Table() const { return table_; }
    QPushButton* AddButton() const { return addButton_; }
    // The field named `objectName` (as the widgets are named), for the owner and tests.
    QWidget* Field(const QString& objectName) const;

    // Checks the entry row and writes it into the row its number names.
    // `byEnter`: Enter in the last field rather than the add button (some
    // tables word or order their checks differently). True when written.
    bool AddRecord(bool byEnter);
    // The number (PTU: symbol) field's text, as a record deletion reads it.
    QString NumberText() const;

public slots:
    // Copies record row `row` of the table into the fields and focuses the
    // number field; called whenever the user goes to a cell of the row,
    // whether or not it was the grid's current cell already. Rows outside the
    // table's record rows are ignored.
    void ShowRecord(int row);
    // Focus for a tab just shown: the number (PTU: symbol) field.
    virtual void FocusFirstField();
    // After the record or the table was deleted in the register: the text
    // fields are emptied (and, per table, its other controls reset).
    virtual void ClearAfterDeletion();

signals:
    // A record went into `row`: the owner makes column 0 of that row the
    // grid's current cell (which calls ShowRecord back) and focuses the grid.
    // The editor then empties its fields and focuses the number field.
    void recordAdded(int row);

protected:
    RecordEditor(TableSet& tables, TableId table, const char* addCaption, QWidget* parent);

    // Fields, in column (and Enter) order. `column` is the table column the
    // field shows, -1 for none.
    QLineEdit* AddLine(FieldKind kind, const char* label, const char* name, int column);
    QComboBox* AddCombo(FieldKind kind, const char* label, const char* name, int column,
                        const QStringList& items, const QString& start);
    QCheckBox* AddSwitch(const char* label, const char* name, int column);
    // Set after adding the field: Backspace refused / cell copied unchanged /
    // copied only while the model has the column (models 1 to 3).
    void RefuseBackspace(QWidget* field);
    void CopyAsIs(QWidget* field);
    void ModelBound(QWidget* field);
    QGridLayout* Grid() const { return grid_; }
    class QVBoxLayout* Outer() const { return outer_; }
    QLabel* LabelOf(QWidget* field) const;

    // The table's own checks and cells; true when the row was written.
    virtual bool Add(bool byEnter) = 0;
    // Enter in `field`: by default the next shown field, or Add in the last.
    virtual void EnterIn(QWidget* field);
    void FocusNext(QWidget* field);

    // Helpers for Add.
    void Refuse(const std::string& message, QWidget* focus = nullptr);
    void Focus(QWidget* field);
    std::optional<int> Number(QLineEdit* field);    // the conversion's message when not a number
    // The add itself: runs the table's checks (CheckEntry) on the fields,
    // shows the cut names, shows a refusal and focuses its field, or writes
    // the row and finishes with the listed fields emptied and the focus on
    // `focusAfter`. `centre`: the header's centring. True when written.
    bool Submit(bool byEnter, const std::vector<QWidget*>& emptied, QWidget* focusAfter, bool centre = false);
    // The field that shows table column `column`; nullptr for none.
    QWidget* FieldOfColumn(int column) const;
    // Writes the cells (column, text) of `row` as one change.
    void WriteRow(int row, const std::vector<std::pair<int, std::string>>& cells);
    // The end of an add: the owner moves the grid, then the listed fields are
    // emptied and the focus goes to `focus`.
    void Finish(int row, const std::vector<QWidget*>& emptied, QWidget* focus);


    TableSet& tables_;
    const TableId table_;

private:
    struct Entry {
        QWidget* widget = nullptr;
        QLabel* label = nullptr;
        FieldKind kind = FieldKind::Text;
        int column = -1;
        bool refuseBackspace = false;
        bool copyAsIs = false;
        bool modelBound = false;
    };
    Entry* Find(QObject* object);
    Entry& Register(QWidget* widget, FieldKind kind, const char* label, int column);
    QString Filter(const Entry& entry, const QString& typed) const;
    void InsertFiltered(const Entry& entry, const QString& typed);
    bool HandleKey(Entry& entry, class QKeyEvent* event);
    QLineEdit* LineOf(const Entry& entry) const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::vector<Entry> entries_;
    QGridLayout* grid_ = nullptr;
    class QVBoxLayout* outer_ = nullptr;
    QPushButton* addButton_ = nullptr;
};
