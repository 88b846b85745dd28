#include "Edytor.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QCompleter>
#include <QGridLayout>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Cp1250.h"
#include "Ui.h"

RecordEditor::RecordEditor(TableSet& tables, TableId table, const char* addCaption, QWidget* parent)
    : QWidget(parent), tables_(tables), table_(table) {
    outer_ = new QVBoxLayout(this);
    outer_->setContentsMargins(0, 0, 0, 0);
    auto* row = new QHBoxLayout();
    grid_ = new QGridLayout();
    row->addLayout(grid_);
    addButton_ = new QPushButton(QString::fromUtf8(addCaption), this);
    addButton_->setObjectName("addRecord");
    row->addWidget(addButton_, 0, Qt::AlignBottom);
    row->addStretch(1);
    outer_->addLayout(row);
    connect(addButton_, &QPushButton::clicked, this, [this] { AddRecord(false); });
}

RecordEditor::Entry& RecordEditor::Register(QWidget* widget, FieldKind kind, const char* label,
                                            int column) {
    const int at = static_cast<int>(entries_.size());
    Entry e;
    e.widget = widget;
    e.kind = kind;
    e.column = column;
    e.label = new QLabel(QString::fromUtf8(label), this);
    e.label->setBuddy(widget);
    grid_->addWidget(e.label, 0, at);
    grid_->addWidget(widget, 1, at);
    widget->installEventFilter(this);
    // Tab walks the fields in column order and ends on the add button.
    if (!entries_.empty()) setTabOrder(entries_.back().widget, widget);
    setTabOrder(widget, addButton_);
    entries_.push_back(e);
    return entries_.back();
}

// Text reaches a field only by typing: no context menu and no drops, and a
// paste goes through Filter.
static void Guard(QLineEdit* line) {
    line->setContextMenuPolicy(Qt::NoContextMenu);
    line->setAcceptDrops(false);
}

QLineEdit* RecordEditor::AddLine(FieldKind kind, const char* label, const char* name, int column) {
    auto* line = new QLineEdit(this);
    line->setObjectName(name);
    Guard(line);
    Register(line, kind, label, column);
    return line;
}

QComboBox* RecordEditor::AddCombo(FieldKind kind, const char* label, const char* name, int column,
                                  const QStringList& items, const QString& start) {
    auto* combo = new QComboBox(this);
    combo->setObjectName(name);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->addItems(items);
    combo->setEditText(start);
    // Typed text stays as typed: a case-blind completer would turn "aktywna"
    // into the item "AKTYWNA" when the focus leaves.
    if (combo->completer()) combo->completer()->setCaseSensitivity(Qt::CaseSensitive);
    Guard(combo->lineEdit());
    // Keys may arrive at the combo or straight at its line.
    combo->lineEdit()->installEventFilter(this);
    Register(combo, kind, label, column);
    return combo;
}

QCheckBox* RecordEditor::AddSwitch(const char* label, const char* name, int column) {
    auto* box = new QCheckBox(QStringLiteral("!"), this);
    box->setObjectName(name);
    Register(box, FieldKind::Switch, label, column);
    return box;
}

void RecordEditor::RefuseBackspace(QWidget* field) {
    if (Entry* e = Find(field)) e->refuseBackspace = true;
}
void RecordEditor::CopyAsIs(QWidget* field) {
    if (Entry* e = Find(field)) e->copyAsIs = true;
}
void RecordEditor::ModelBound(QWidget* field) {
    if (Entry* e = Find(field)) e->modelBound = true;
}

QLabel* RecordEditor::LabelOf(QWidget* field) const {
    for (const Entry& e : entries_)
        if (e.widget == field) return e.label;
    return nullptr;
}

QWidget* RecordEditor::Field(const QString& objectName) const {
    for (const Entry& e : entries_)
        if (e.widget->objectName() == objectName) return e.widget;
    return findChild<QWidget*>(objectName);
}

RecordEditor::Entry* RecordEditor::Find(QObject* object) {
    for (Entry& e : entries_) {
        if (e.widget == object) return &e;
        if (auto* combo = qobject_cast<QComboBox*>(e.widget); combo && combo->lineEdit() == object)
            return &e;
    }
    return nullptr;
}

QLineEdit* RecordEditor::LineOf(const Entry& entry) const {
    if (auto* line = qobject_cast<QLineEdit*>(entry.widget)) return line;
    if (auto* combo = qobject_cast<QComboBox*>(entry.widget)) return combo->lineEdit();
    return nullptr;
}

bool RecordEditor::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        if (Entry* e = Find(watched)) return HandleKey(*e, static_cast<QKeyEvent*>(event));
    } else if (event->type() == QEvent::InputMethod) {
        // Composed text obeys the field's kind like typed text, silently.
        auto* im = static_cast<QInputMethodEvent*>(event);
        Entry* e = Find(watched);
        QLineEdit* line = e ? LineOf(*e) : nullptr;
        if (line && !im->commitString().isEmpty()) {
            InsertFiltered(*e, im->commitString());
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

bool RecordEditor::HandleKey(Entry& entry, QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        EnterIn(entry.widget);
        return true;
    }
    if (key == Qt::Key_Tab || key == Qt::Key_Backtab || entry.kind == FieldKind::Switch) return false;
    QLineEdit* line = LineOf(entry);
    if (!line) return false;
    if (event->matches(QKeySequence::Paste)) {
        InsertFiltered(entry, QGuiApplication::clipboard()->text());
        return true;
    }
    char32_t ch = 0;
    if (key == Qt::Key_Backspace) {
        ch = 8;
    } else if (key == Qt::Key_Delete) {
        return false;  // an editing key, not a character
    } else {
        const QList<uint> chars = event->text().toUcs4();
        if (chars.isEmpty()) return false;  // arrows, Home, function keys
        if (chars.size() > 1) {
            InsertFiltered(entry, event->text());
            return true;
        }
        ch = chars.front();
    }
    switch (JudgeKey(entry.kind, ch, line->text().contains(','), entry.refuseBackspace)) {
    case KeyAction::Pass: return false;
    case KeyAction::Enter: EnterIn(entry.widget); return true;
    case KeyAction::Drop: return true;
    case KeyAction::DropAndWarn: CurrentUi().Message(WarningFor(entry.kind)); return true;
    case KeyAction::InsertComma: line->insert(QStringLiteral(",")); return true;
    case KeyAction::Replace: line->setText(QString::fromUcs4(&ch, 1)); return true;
    }
    return false;
}

QString RecordEditor::Filter(const Entry& entry, const QString& typed) const {
    QString kept;
    bool comma = LineOf(entry) && LineOf(entry)->text().contains(',');
    for (char32_t ch : typed.toUcs4()) {
        if (ch < 0x20) continue;  // line breaks and tabs of a pasted text
        switch (JudgeKey(entry.kind, ch, comma, entry.refuseBackspace)) {
        case KeyAction::Pass:
        case KeyAction::Replace: kept += QString::fromUcs4(&ch, 1); break;
        case KeyAction::InsertComma: kept += ','; comma = true; break;
        default: break;
        }
    }
    return kept;
}

void RecordEditor::InsertFiltered(const Entry& entry, const QString& typed) {
    QLineEdit* line = LineOf(entry);
    const QString kept = Filter(entry, typed);
    if (!line || kept.isEmpty()) return;
    if (entry.kind == FieldKind::Letter)
        line->setText(kept.right(1));  // a one-letter field
    else
        line->insert(kept);
}

void RecordEditor::EnterIn(QWidget* field) { FocusNext(field); }

void RecordEditor::FocusNext(QWidget* field) {
    size_t i = 0;
    while (i < entries_.size() && entries_[i].widget != field) ++i;
    for (++i; i < entries_.size(); ++i) {
        if (!entries_[i].widget->isHidden()) {
            Focus(entries_[i].widget);
            return;
        }
    }
    AddRecord(true);
}

bool RecordEditor::AddRecord(bool byEnter) { return Add(byEnter); }

void RecordEditor::ShowRecord(int row) {
    if (row < 1 || row > tables_.Rows(table_)) return;
    for (const Entry& e : entries_) {
        if (e.column < 0 || (e.modelBound && tables_.Model() == 0)) continue;
        const QString cell = QString::fromStdString(Cp1250ToUtf8(tables_.Cell(table_, e.column, row)));
        if (auto* box = qobject_cast<QCheckBox*>(e.widget)) {
            box->setChecked(cell == QLatin1String("TAK"));
        } else if (auto* combo = qobject_cast<QComboBox*>(e.widget)) {
            combo->setEditText(cell);
        } else if (auto* line = qobject_cast<QLineEdit*>(e.widget)) {
            line->setText(e.kind == FieldKind::Decimal && !e.copyAsIs ? DecimalForField(cell) : cell);
        }
    }
    if (!entries_.empty()) Focus(entries_.front().widget);
}

QString RecordEditor::NumberText() const {
    if (entries_.empty()) return {};
    if (auto* combo = qobject_cast<QComboBox*>(entries_.front().widget)) return combo->currentText();
    return LineOf(entries_.front())->text();
}

void RecordEditor::ClearAfterDeletion() {
    for (const Entry& e : entries_)
        if (auto* line = qobject_cast<QLineEdit*>(e.widget)) line->clear();
}

void RecordEditor::FocusFirstField() {
    if (!entries_.empty()) Focus(entries_.front().widget);
}

void RecordEditor::Refuse(const std::string& message, QWidget* focus) {
    CurrentUi().Message(message);
    if (focus) Focus(focus);
}

void RecordEditor::Focus(QWidget* field) {
    field->setFocus();
    if (auto* line = qobject_cast<QLineEdit*>(field)) line->selectAll();
    if (auto* combo = qobject_cast<QComboBox*>(field)) combo->lineEdit()->selectAll();
}

std::optional<int> RecordEditor::Number(QLineEdit* field) {
    const std::string text = field->text().toStdString();
    const auto n = ParseRecordNumber(text);
    if (!n) Refuse(NotIntegerMessage(text));
    return n;
}

QWidget* RecordEditor::FieldOfColumn(int column) const {
    for (const Entry& e : entries_)
        if (e.column == column) return e.widget;
    return nullptr;
}

bool RecordEditor::Submit(bool byEnter, const std::vector<QWidget*>& emptied, QWidget* focusAfter,
                          bool centre) {
    EntryFields fields;
    fields.centre = centre;
    for (const Entry& e : entries_) {
        if (e.column < 0) continue;
        if (e.column >= static_cast<int>(fields.byColumn.size())) fields.byColumn.resize(e.column + 1);
        std::string& text = fields.byColumn[e.column];
        if (auto* box = qobject_cast<QCheckBox*>(e.widget)) text = box->isChecked() ? "TAK" : "NIE";
        else if (auto* combo = qobject_cast<QComboBox*>(e.widget)) text = combo->currentText().toStdString();
        else if (auto* line = qobject_cast<QLineEdit*>(e.widget)) text = line->text().toStdString();
    }
    const EntryCheck check = CheckEntry(tables_, table_, fields, byEnter);
    for (const auto& [column, text] : check.shown)
        if (auto* line = qobject_cast<QLineEdit*>(FieldOfColumn(column))) line->setText(QString::fromStdString(text));
    if (!check.ok) {
        Refuse(check.message, FieldOfColumn(check.focusColumn));
        return false;
    }
    if (!check.message.empty()) CurrentUi().Message(check.message);
    WriteRow(check.row, check.cells);
    Finish(check.row, emptied, focusAfter);
    return true;
}

void RecordEditor::WriteRow(int row, const std::vector<std::pair<int, std::string>>& cells) {
    if (row < 1 || row > tables_.Rows(table_)) return;  // never the title row
    TableBatch batch(tables_);
    for (const auto& [column, text] : cells) tables_.SetCell(table_, column, row, text);
}

void RecordEditor::Finish(int row, const std::vector<QWidget*>& emptied, QWidget* focus) {
    emit recordAdded(row);  // the owner moves the grid; ShowRecord fills the fields
    for (QWidget* w : emptied) {
        if (auto* line = qobject_cast<QLineEdit*>(w)) line->clear();
        if (auto* combo = qobject_cast<QComboBox*>(w)) combo->setEditText(QString());
    }
    Focus(focus);
}

