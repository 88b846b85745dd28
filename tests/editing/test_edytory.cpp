// The entry rows typed into with real keys and buttons, under a grid that
// follows recordAdded/goToRow the way the main window does; message boxes go
// to a recorder.
#include <QtTest>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTableView>

#include <memory>

#include "Cp1250.h"
#include "Edytory.h"
#include "RecordingUi.h"

namespace {

// One editor under a grid of its table.
struct Rig {
    TableSet tables;
    QWidget window;
    QTableView grid{&window};
    QStandardItemModel model;
    RecordEditor* editor = nullptr;
    QStringList fieldsWhenMoved;  // the number field as ShowRecord left it, per recordAdded

    Rig(const QString& which, int modelIndex, int pluCount) {
        tables.SetPluCount(pluCount);
        tables.ApplyModel(modelIndex, PluRule::Configured);
        static const std::map<QString, TableId> tableOf = {
            {"packaging", TableId::Packaging}, {"plu", TableId::Plu},
            {"cashier", TableId::Cashier},     {"key", TableId::Key},
            {"discount", TableId::Discount},   {"surcharge", TableId::Surcharge},
            {"payment", TableId::PaymentForm}, {"header", TableId::Header},
            {"ptu", TableId::Ptu}};
        editor = CreateRecordEditor(tables, tableOf.at(which), &window);
        auto* plu = qobject_cast<PluEditor*>(editor);
        if (plu) plu->SetModel(modelIndex);
        model.setRowCount(tables.Rows(editor->Table()));
        model.setColumnCount(tables.Columns(editor->Table()));
        grid.setModel(&model);
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(&grid);
        layout->addWidget(editor);
        auto moveTo = [this](int row) {
            grid.setCurrentIndex(model.index(row - 1, 0));
            grid.setFocus();
        };
        QObject::connect(grid.selectionModel(), &QItemSelectionModel::currentChanged, editor,
                         [this](const QModelIndex& now) { editor->ShowRecord(now.row() + 1); });
        QObject::connect(editor, &RecordEditor::recordAdded, editor, [this, moveTo](int row) {
            moveTo(row);
            fieldsWhenMoved << Text(editor->Table() == TableId::Ptu ? "symbol" : "number");
        });
        if (plu) QObject::connect(plu, &PluEditor::goToRow, plu, moveTo);
        // The grid takes no focus when the window opens: a view given the focus
        // makes its first cell current, which would show record 1.
        grid.setFocusPolicy(Qt::ClickFocus);
        window.show();
        QApplication::setActiveWindow(&window);
    }

    QWidget* F(const QString& name) const {
        QWidget* w = editor->Field(name);
        if (!w) qFatal("no field %s", qPrintable(name));
        return w;
    }
    QString Text(const QString& name) const {
        QWidget* w = F(name);
        if (auto* l = qobject_cast<QLineEdit*>(w)) return l->text();
        if (auto* c = qobject_cast<QComboBox*>(w)) return c->currentText();
        if (auto* b = qobject_cast<QCheckBox*>(w)) return b->isChecked() ? "TAK" : "NIE";
        return {};
    }
    void Set(const QString& name, const QString& value) {
        QWidget* w = F(name);
        if (auto* l = qobject_cast<QLineEdit*>(w)) l->setText(value);
        if (auto* c = qobject_cast<QComboBox*>(w)) c->setEditText(value);
        if (auto* b = qobject_cast<QCheckBox*>(w)) b->setChecked(value == "TAK");
    }
    // "name=value" pairs.
    void Fill(const QStringList& pairs) {
        for (const QString& p : pairs) Set(p.section('=', 0, 0), p.section('=', 1));
    }
    QString Cell(int col, int row, TableId t) const {
        return QString::fromStdString(Cp1250ToUtf8(tables.Cell(t, col, row)));
    }
    QStringList Row(int row) const {
        QStringList cells;
        for (int c = 0; c < tables.Columns(editor->Table()); ++c) cells << Cell(c, row, editor->Table());
        return cells;
    }
    std::vector<std::string> Snapshot() const {
        std::vector<std::string> all;
        const TableId t = editor->Table();
        for (int r = 0; r <= tables.Rows(t); ++r)
            for (int c = 0; c < tables.Columns(t); ++c) all.push_back(tables.Cell(t, c, r));
        return all;
    }
    bool Focused(const QString& name) const {
        QWidget* f = QApplication::focusWidget();
        QWidget* w = F(name);
        return f == w || (f && f->parentWidget() == w);
    }
};

// Characters typed one by one; '\b' is Backspace, '\n' is Enter.
void Type(QWidget* w, const QString& keys) {
    for (QChar ch : keys) {
        if (ch == '\b') QTest::keyClick(w, Qt::Key_Backspace);
        else if (ch == '\n') QTest::keyClick(w, Qt::Key_Return);
        else QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

const char* kLastField(const QString& which) {
    static const std::map<QString, const char*> last = {
        {"packaging", "price"}, {"plu", "stock"},       {"cashier", "password"},
        {"key", "ends"},        {"discount", "value"},  {"surcharge", "value"},
        {"payment", "name"},    {"header", "text"},     {"ptu", "status"}};
    return last.at(which);
}

}  // namespace

class EditorTest : public QObject {
    Q_OBJECT
    RecordingUi ui;

private slots:
    void initTestCase() { InstallUi(&ui); }
    void cleanupTestCase() { InstallUi(nullptr); }
    void init() { ui.Clear(); }

    // Typing into each kind of field: what reaches the field and what is said.
    void typing_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("result");
        QTest::addColumn<int>("warnings");
        QTest::newRow("digits") << "plu" << "number" << "" << "1a2-3" << "123" << 2;
        QTest::newRow("digit backspace") << "plu" << "barcode" << "" << "12\b" << "1" << 0;
        QTest::newRow("decimal 1,2,3") << "plu" << "price" << "" << "1,2,3" << "1,23" << 0;
        QTest::newRow("decimal dot") << "packaging" << "price" << "" << "12.5" << "12,5" << 0;
        QTest::newRow("decimal second dot") << "discount" << "value" << "" << "1.2.3" << "1,23" << 0;
        QTest::newRow("decimal letter") << "discount" << "value" << "" << "1x" << "1" << 1;
        QTest::newRow("password backspace") << "cashier" << "password" << "" << "12\b" << "12" << 1;
        QTest::newRow("password four") << "cashier" << "password" << "" << "123456" << "1234" << 0;
        QTest::newRow("text semicolon") << "packaging" << "name" << "" << "a;b" << "ab" << 0;
        QTest::newRow("text polish") << "cashier" << "name" << "" << "Łódź" << "Łódź" << 0;
        QTest::newRow("text no cp1250") << "header" << "text" << "" << "a中b" << "ab" << 0;
        QTest::newRow("header twenty") << "header" << "text" << "" << "123456789012345678901" << "12345678901234567890" << 0;
        QTest::newRow("symbol lower") << "ptu" << "symbol" << "A" << "c" << "A" << 1;
        QTest::newRow("symbol letter") << "ptu" << "symbol" << "A" << "CH" << "C" << 1;
        QTest::newRow("status typed") << "ptu" << "status" << "" << "aktywna" << "aktywna" << 0;
        QTest::newRow("rate semicolon") << "plu" << "rate" << "" << "B;" << "B" << 0;
    }
    void typing() {
        QFETCH(QString, which);
        QFETCH(QString, field);
        QFETCH(QString, start);
        QFETCH(QString, keys);
        QFETCH(QString, result);
        QFETCH(int, warnings);
        Rig rig(which, 1, 0);
        rig.Set(field, start);
        Type(rig.F(field), keys);
        QCOMPARE(rig.Text(field), result);
        const char* warning = which == "ptu" && field == "symbol"
                                  ? "W tym polu można wpisać tylko\rwartość z przedzaiłu A-G"
                                  : "W tym polu można wpisać tylko\rwartość liczbową";
        QCOMPARE(int(ui.shown.size()), warnings);
        QCOMPARE(ui.Count(warning), warnings);
    }

    // Every refusal: its message, where the focus goes, and an untouched table.
    void refusals_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("focus");  // empty: stays where it was
        auto both = [](const char* name, const char* which, QStringList f, const char* msg,
                       const char* focus) {
            QTest::addRow("%s enter", name) << which << f << true << msg << focus;
            QTest::addRow("%s button", name) << which << f << false << msg << focus;
        };
        both("packaging empty", "packaging", {"name=X"}, "Nie podano numeru opakowania", "");
        both("packaging 16", "packaging", {"number=16", "name=X"}, "Zły numer opakowania", "number");
        both("packaging 0", "packaging", {"number=0", "name=X"}, "Zły numer opakowania", "number");
        both("packaging same name", "packaging", {"number=2", "name=Woda"}, "Nieunikalna nazwa", "name");
        both("packaging empty name", "packaging", {"number=2"}, "Nieunikalna nazwa", "name");
        both("packaging long number", "packaging", {"number=99999999999", "name=X"},
             "'99999999999' is not a valid integer value", "");
        both("packaging comma", "packaging", {"number=2", "name=X", "price=,"},
             "',' is not a valid floating point value", "");
        both("plu empty", "plu", {"name=X"}, "Nie podano numeru PLU", "");
        both("plu 1001", "plu", {"number=1001", "name=X"}, "Zły numer PLU", "number");
        both("plu 0", "plu", {"number=0", "name=X"}, "Zły numer PLU", "number");
        both("plu same name", "plu", {"number=2", "name=Woda"}, "Nieunikalna nazwa", "name");
        both("plu stock comma", "plu", {"number=2", "name=X", "stock=,"},
             "',' is not a valid floating point value", "");
        both("cashier empty", "cashier", {"password=1234"}, "Nie podano numeru kasjera", "");
        both("cashier short", "cashier", {"number=1", "password=123"}, "Haslo musi zawierac 4 cyfry", "");
        both("cashier 9", "cashier", {"number=9", "password=1234"}, "Zły numer kasjera", "number");
        both("cashier 0", "cashier", {"number=0", "password=1234"}, "Zły numer kasjera", "number");
        QTest::newRow("cashier no password enter") << "cashier" << QStringList{"number=9"} << true
                                                   << "Nie podano hasla" << "";
        QTest::newRow("cashier no password button") << "cashier" << QStringList{"number=9"} << false
                                                     << "Haslo musi zawierac 4 cyfry" << "";
        both("key empty", "key", {"plu=1"}, "Nie podano numeru klawisza", "");
        both("key 11", "key", {"number=11"}, "Zły numer klawisza", "number");
        both("key 0", "key", {"number=0"}, "Zły numer klawisza", "number");
        both("discount empty", "discount", {}, "Nie podano numeru rabatu", "");
        QTest::newRow("discount 5 enter") << "discount" << QStringList{"number=5"} << true
                                          << "Zły numer rabatu\rRabty mają numery 1-4" << "number";
        QTest::newRow("discount 0 button") << "discount" << QStringList{"number=0"} << false
                                           << "Zły numer rabtu\rRabaty muszą mieć numery 1-4" << "number";
        both("surcharge empty", "surcharge", {}, "Nie podano numeru dopłaty", "");
        QTest::newRow("surcharge 4 enter") << "surcharge" << QStringList{"number=4"} << true
                                           << "Zły numer dopłaty\rDopłaty mają numery 5-8" << "number";
        QTest::newRow("surcharge 9 button") << "surcharge" << QStringList{"number=9"} << false
                                            << "Zły numer dopłaty\rDopłaty muszą mieć numery 5-8" << "number";
        QTest::newRow("payment empty enter") << "payment" << QStringList{} << true
                                             << "Nie podano numeru formy" << "";
        QTest::newRow("payment empty button") << "payment" << QStringList{} << false
                                              << "Nie podano numeru formy płatności" << "";
        QTest::newRow("payment 5 enter") << "payment" << QStringList{"number=5"} << true
                                         << "Zły numer formy" << "number";
        QTest::newRow("payment 0 button") << "payment" << QStringList{"number=0"} << false
                                          << "Zły numer formy płatności" << "number";
        both("header empty", "header", {}, "Nie podano numeru linii", "");
        both("header 9", "header", {"number=9"}, "Zły numer linii", "number");
        both("header 0", "header", {"number=0"}, "Zły numer linii", "number");
        both("ptu no symbol", "ptu", {"symbol="}, "Nie podano oznaczenia stawki", "");
        both("ptu bad symbol", "ptu", {"symbol=a"}, "Złe oznaczenie stawki", "symbol");
        both("ptu lower status", "ptu", {"status=aktywna"},
             "Zły status stawki.\rMożliwe wartości to NIEAKTYWNA,AKTYWNA,ZWOLNIONA", "status");
        both("ptu value comma", "ptu", {"value=,"}, "',' is not a valid floating point value", "");
    }
    void refusals() {
        QFETCH(QString, which);
        QFETCH(QStringList, fields);
        QFETCH(bool, byEnter);
        QFETCH(QString, message);
        QFETCH(QString, focus);
        Rig rig(which, 1, 0);
        // Records already there: a "Woda" in row 1 for the name checks.
        const TableId t = rig.editor->Table();
        rig.tables.SetCell(t, 0, 1, "1");
        rig.tables.SetCell(t, 1, 1, "Woda");
        const auto before = rig.Snapshot();
        rig.Fill(fields);
        QWidget* start = rig.F(kLastField(which));
        start->setFocus();
        if (byEnter) QTest::keyClick(start, Qt::Key_Return);
        else QTest::mouseClick(rig.editor->AddButton(), Qt::LeftButton);
        if (ui.Messages() != std::vector<std::string>{message.toStdString()})
            for (const auto& m : ui.Messages()) qWarning() << m.c_str();
        QCOMPARE(ui.Messages(), std::vector<std::string>{message.toStdString()});
        QVERIFY(rig.Snapshot() == before);
        QVERIFY(rig.fieldsWhenMoved.isEmpty());
        if (!focus.isEmpty()) QVERIFY(rig.Focused(focus));
        else if (byEnter) QVERIFY(rig.Focused(kLastField(which)));
    }

    // Records written through the entry row: the cells of the row and the
    // fields kept or emptied afterwards.
    void adding_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("cells");
        QTest::addColumn<QStringList>("after");  // "name=value" of the fields after the add
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("packaging") << "packaging" << 1 << QStringList{"number=3", "name=Butelka 0,5 l zwrotna", "price=1,2"} << 3
                                   << QStringList{"3", "Butelka 0,5 l zwro", "1.20"}
                                   << QStringList{"number=", "name=", "price="} << QStringList{};
        QTest::newRow("plu 007 fractional") << "plu" << 1
            << QStringList{"number=007", "name=Chleb żytni krojony", "barcode=590", "rate=B", "packaging=2", "price=12,5", "fractional=TAK"}
            << 7 << QStringList{"007", "Chleb żytni kro", "590", "B", "2", "12.50", "0.000", "TAK"}
            << QStringList{"number=", "name=", "barcode=", "price=", "stock=", "rate=B", "packaging=2", "fractional=TAK"}
            << QStringList{};
        QTest::newRow("plu whole") << "plu" << 2 << QStringList{"number=9600", "name=Mleko", "stock=12,6", "fractional=NIE"}
            << 9600 << QStringList{"9600", "Mleko", "", "A", "0", "0.00", "13", "NIE"}
            << QStringList{"fractional=NIE"} << QStringList{};
        QTest::newRow("plu model 0") << "plu" << 0 << QStringList{"number=5", "name=Ser", "stock=2"}
            << 5 << QStringList{"5", "Ser", "", "A", "0", "0.00", "2.000"} << QStringList{} << QStringList{};
        QTest::newRow("cashier") << "cashier" << 1 << QStringList{"number=8", "name=Katarzyna", "password=0042"} << 8
            << QStringList{"8", "Katarzy", "0042"} << QStringList{"number=", "name=", "password="} << QStringList{};
        QTest::newRow("key model 2") << "key" << 2 << QStringList{"number=20", "plu=150", "quantity=1,5", "ends=TAK"} << 20
            << QStringList{"20", "150", "1,5", "TAK"} << QStringList{"number=", "plu=", "quantity=", "ends=TAK"} << QStringList{};
        QTest::newRow("discount") << "discount" << 1 << QStringList{"number=4", "name=Stały klient", "value=5"} << 4
            << QStringList{"4", "Stały klient", "5.00"} << QStringList{"number=", "name=", "value="} << QStringList{};
        QTest::newRow("surcharge 5") << "surcharge" << 1 << QStringList{"number=5", "value=2,5"} << 1
            << QStringList{"5", "", "2.50"} << QStringList{"number="} << QStringList{};
        QTest::newRow("surcharge 8") << "surcharge" << 1 << QStringList{"number=8"} << 4
            << QStringList{"8", "", "0.00"} << QStringList{} << QStringList{};
        QTest::newRow("payment") << "payment" << 1 << QStringList{"number=4", "name=Karta płatnicza"} << 4
            << QStringList{"4", "Karta płatnicza"} << QStringList{"number=", "name="} << QStringList{};
        QTest::newRow("header centred") << "header" << 1 << QStringList{"number=1", "text=ABCDE"} << 1
            << QStringList{"1", "       ABCDE"} << QStringList{"number=", "text="} << QStringList{};
        QTest::newRow("header plain") << "header" << 1 << QStringList{"number=2", "text=ABCDE", "centre=NIE"} << 2
            << QStringList{"2", "ABCDE"} << QStringList{"centre=NIE"} << QStringList{};
        QTest::newRow("header 20") << "header" << 1 << QStringList{"number=3", "text=12345678901234567890"} << 3
            << QStringList{"3", "12345678901234567890"} << QStringList{} << QStringList{};
        QTest::newRow("ptu C") << "ptu" << 1 << QStringList{"symbol=C", "value=22", "status=AKTYWNA"} << 3
            << QStringList{"C", "22.00", "AKTYWNA"} << QStringList{"symbol=C", "value=", "status=AKTYWNA"} << QStringList{};
        QTest::newRow("ptu B no value active") << "ptu" << 1 << QStringList{"symbol=B", "status=AKTYWNA"} << 2
            << QStringList{"B", "7.00", "AKTYWNA"} << QStringList{} << QStringList{"Podaj wartosc stawki"};
        QTest::newRow("ptu D no value exempt") << "ptu" << 1 << QStringList{"symbol=D", "status=ZWOLNIONA"} << 4
            << QStringList{"D", "", "ZWOLNIONA"} << QStringList{} << QStringList{};
        QTest::newRow("ptu E no value inactive") << "ptu" << 1 << QStringList{"symbol=E"} << 5
            << QStringList{"E", "", "NIEAKTYWNA"} << QStringList{} << QStringList{};
    }
    void adding() {
        QFETCH(QString, which);
        QFETCH(int, model);
        QFETCH(QStringList, fields);
        QFETCH(int, row);
        QFETCH(QStringList, cells);
        QFETCH(QStringList, after);
        QFETCH(QStringList, messages);
        for (bool byEnter : {true, false}) {
            ui.Clear();
            Rig rig(which, model, 0);
            if (which == "ptu") {  // every rate held 7.00 before
                for (int r = 1; r <= 7; ++r) rig.tables.SetCell(TableId::Ptu, 1, r, "7.00");
            }
            const QString title = rig.Cell(0, 0, rig.editor->Table());
            rig.Fill(fields);
            QWidget* last = rig.F(kLastField(which));
            if (byEnter) QTest::keyClick(last, Qt::Key_Return);
            else QTest::mouseClick(rig.editor->AddButton(), Qt::LeftButton);
            std::vector<std::string> expected;
            for (const QString& m : messages) expected.push_back(m.toStdString());
            QCOMPARE(ui.Messages(), expected);
            QCOMPARE(rig.Row(row), cells);
            QCOMPARE(rig.Cell(0, 0, rig.editor->Table()), title);
            // The grid moved to the row and ShowRecord ran before the fields were emptied.
            QCOMPARE(rig.grid.currentIndex().row(), row - 1);
            QCOMPARE(rig.fieldsWhenMoved, QStringList{cells[0]});
            for (const QString& p : after) QCOMPARE(rig.Text(p.section('=', 0, 0)), p.section('=', 1));
            QVERIFY(rig.Focused(which == "ptu" ? "symbol" : "number"));
        }
    }

    // A record goes in with real keys, comes back when its row is selected,
    // and goes in again over itself.
    void roundTrip() {
        Rig rig("plu", 1, 0);
        rig.editor->FocusFirstField();
        QVERIFY(rig.Focused("number"));
        Type(rig.F("number"), "12\n");
        QVERIFY(rig.Focused("name"));
        Type(rig.F("name"), "Woda\n");
        Type(rig.F("barcode"), "590\n");
        QVERIFY(rig.Focused("rate"));
        Type(rig.F("rate"), "\n");
        QVERIFY(rig.Focused("packaging"));
        rig.Set("packaging", "");
        Type(rig.F("packaging"), "\n");
        QCOMPARE(ui.Messages(), std::vector<std::string>{"To pole nie może być puste !!\rBrak opakowania należy wpisać 0"});
        QCOMPARE(rig.Text("packaging"), QString("0"));
        QVERIFY(rig.Focused("price"));
        Type(rig.F("price"), "12.5\n");
        QVERIFY(rig.Focused("fractional"));
        QTest::keyClick(rig.F("fractional"), Qt::Key_Space);
        Type(rig.F("fractional"), "\n");
        QVERIFY(rig.Focused("stock"));
        Type(rig.F("stock"), "3,25\n");
        QCOMPARE(rig.Row(12), (QStringList{"12", "Woda", "590", "A", "0", "12.50", "3.250", "TAK"}));
        QCOMPARE(rig.Text("price"), QString());

        rig.grid.setCurrentIndex(rig.model.index(0, 0));  // another row, then back
        rig.grid.setCurrentIndex(rig.model.index(11, 1));
        QCOMPARE(rig.Text("price"), QString("12,50"));
        QCOMPARE(rig.Text("stock"), QString("3,250"));
        QCOMPARE(rig.Text("fractional"), QString("TAK"));
        QVERIFY(rig.Focused("number"));
        // Its own name is no clash; the price changes on the next add.
        rig.Set("price", "13");
        QTest::mouseClick(rig.editor->AddButton(), Qt::LeftButton);
        QCOMPARE(rig.Cell(5, 12, TableId::Plu), QString("13.00"));
        QCOMPARE(rig.Cell(1, 12, TableId::Plu), QString("Woda"));
        // Another PLU by that name is refused, showing the cut name.
        rig.Fill({"number=13", "name=WodaWodaWodaWoda"});
        rig.tables.SetCell(TableId::Plu, 1, 12, "WodaWodaWodaWod");
        QTest::mouseClick(rig.editor->AddButton(), Qt::LeftButton);
        QCOMPARE(ui.Count("Nieunikalna nazwa"), 1);
        QCOMPARE(rig.Text("name"), QString("WodaWodaWodaWod"));
        QVERIFY(!rig.tables.RowHasRecord(TableId::Plu, 13));
    }

    // Key quantity comes back as typed; the switch follows "TAK".
    void showRecordCopiesAsStored() {
        Rig rig("key", 1, 0);
        rig.tables.SetCell(TableId::Key, 0, 4, "4");
        rig.tables.SetCell(TableId::Key, 2, 4, "2.5");
        rig.tables.SetCell(TableId::Key, 3, 4, "TAK");
        rig.editor->ShowRecord(4);
        QCOMPARE(rig.Text("quantity"), QString("2.5"));
        QCOMPARE(rig.Text("ends"), QString("TAK"));
        rig.tables.SetCell(TableId::Key, 3, 4, "tak");
        rig.editor->ShowRecord(4);
        QCOMPARE(rig.Text("ends"), QString("NIE"));
        rig.editor->ShowRecord(0);  // the title row is not a record
        rig.editor->ShowRecord(11);
        QCOMPARE(rig.Text("number"), QString("4"));
    }

    // F9: only on the PLU tab, with a number from 1 to the PLU count.
    void goToPlu_data() {
        QTest::addColumn<bool>("showing");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("row");  // the grid's row afterwards, -1 when not moved
        QTest::newRow("other tab") << false << "5" << "" << -1;
        QTest::newRow("empty") << true << "" << "Należy najpierw podać numer szukanego rekordu" << -1;
        QTest::newRow("150 of 100") << true << "150" << "Za duża wartość nr PLU" << -1;
        QTest::newRow("zero") << true << "0" << "Zły numer PLU" << -1;
        QTest::newRow("too long") << true << "123456789012" << "'123456789012' is not a valid integer value" << -1;
        QTest::newRow("five") << true << "5" << "" << 4;
        QTest::newRow("100") << true << "100" << "" << 99;
    }
    void goToPlu() {
        QFETCH(bool, showing);
        QFETCH(QString, number);
        QFETCH(QString, message);
        QFETCH(int, row);
        Rig rig("plu", 3, 100);
        rig.tables.SetCell(TableId::Plu, 0, 5, "5");
        rig.tables.SetCell(TableId::Plu, 1, 5, "Kawa");
        rig.Set("number", number);
        static_cast<PluEditor*>(rig.editor)->GoToPlu(showing);
        std::vector<std::string> expected;
        if (!message.isEmpty()) expected.push_back(message.toStdString());
        QCOMPARE(ui.Messages(), expected);
        QCOMPARE(rig.grid.currentIndex().row(), row);
        if (row == 4) QCOMPARE(rig.Text("name"), QString("Kawa"));
        if (row >= 0) QVERIFY(rig.Focused("number"));
    }

    // The fractional-sale switch per model, and the Enter order around it.
    void fractionalSwitch() {
        Rig rig("plu", 1, 0);
        auto* plu = static_cast<PluEditor*>(rig.editor);
        QCheckBox* box = plu->FractionalSwitch();
        QCOMPARE(plu->Hint()->text(),
                 QString("Wpisz nr PLU i naciśnij klawisz F9 żeby przejść  do danego rekordu w tabeli"));
        QVERIFY(!box->isHidden());
        rig.tables.ApplyModel(0, PluRule::Configured);
        plu->SetModel(0);
        QVERIFY(box->isHidden());
        QVERIFY(box->isChecked());
        rig.F("price")->setFocus();
        QTest::keyClick(rig.F("price"), Qt::Key_Return);
        QVERIFY(rig.Focused("stock"));
        rig.tables.ApplyModel(2, PluRule::Configured);
        plu->SetModel(2);
        QVERIFY(!box->isHidden());
        box->setChecked(false);
        plu->SetModel(3);
        QVERIFY(!box->isChecked());  // held as the user left it
        plu->SetModel(3, true);
        QVERIFY(box->isChecked());   // a PLU-table load switches it on
        QTest::keyClick(rig.F("price"), Qt::Key_Return);
        QVERIFY(rig.Focused("fractional"));
    }

    // What a deletion in the register leaves in the entry row.
    void clearingAfterDeletion_data() {
        QTest::addColumn<QString>("which");
        QTest::addColumn<int>("model");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("plu") << "plu" << 1
            << QStringList{"number=3", "name=X", "barcode=1", "rate=C", "packaging=2", "price=1", "stock=2", "fractional=TAK"}
            << QStringList{"number=", "name=", "barcode=", "rate=A", "packaging=0", "price=", "stock=", "fractional=NIE"};
        QTest::newRow("plu model 0") << "plu" << 0 << QStringList{"number=3"} << QStringList{"number=", "fractional=TAK"};
        QTest::newRow("key") << "key" << 1 << QStringList{"number=3", "plu=4", "quantity=1", "ends=TAK"}
            << QStringList{"number=", "plu=", "quantity=", "ends=NIE"};
        QTest::newRow("surcharge") << "surcharge" << 1 << QStringList{"number=6", "name=X", "value=1"}
            << QStringList{"number=", "name=", "value="};
    }
    void clearingAfterDeletion() {
        QFETCH(QString, which);
        QFETCH(int, model);
        QFETCH(QStringList, fields);
        QFETCH(QStringList, after);
        Rig rig(which, model, 0);
        rig.Fill(fields);
        QCOMPARE(rig.editor->NumberText(), rig.Text("number"));
        rig.editor->ClearAfterDeletion();
        for (const QString& p : after) QCOMPARE(rig.Text(p.section('=', 0, 0)), p.section('=', 1));
    }

    void captions() {
        Rig discount("discount", 1, 0), surcharge("surcharge", 1, 0), header("header", 1, 0);
        QCOMPARE(discount.editor->AddButton()->text(), QString("Dodaj r&ekord"));
        QCOMPARE(surcharge.editor->AddButton()->text(), QString("Dodaj re&kord"));
        auto* centre = static_cast<HeaderEditor*>(header.editor)->CentreSwitch();
        QCOMPARE(centre->text(), QString("Centruj linie"));
        QVERIFY(centre->isChecked());
        Rig packaging("packaging", 1, 0);
        packaging.F("name")->setFocus();
        packaging.editor->FocusFirstField();  // the packaging tab sets no focus
        QVERIFY(packaging.Focused("name"));
        QTest::keyClick(packaging.F("name"), Qt::Key_Tab);
        QVERIFY(packaging.Focused("price"));
        QTest::keyClick(packaging.F("price"), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), packaging.editor->AddButton());
    }
};

QTEST_MAIN(EditorTest)
#include "test_edytory.moc"
