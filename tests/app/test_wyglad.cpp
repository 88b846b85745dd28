// What the user sees of Qt itself and of the window's size: Qt's own texts in
// Polish in every dialog, No as the answer of Enter and Esc to every question,
// saving into an existing data file without Qt's question, and the main
// window at its starting size with every tab caption and column title whole.
#include <QtTest>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

#include <functional>
#include <memory>

#include "About.h"
#include "FmreaderWindow.h"
#include "Jezyk.h"
#include "Konfigkasy.h"
#include "Konfiguracja.h"
#include "Main.h"
#include "Pliki.h"
#include "PtyAppFixture.h"
#include "QtUi.h"
#include "Wybor.h"
#include "Zakladki.h"

namespace {

// Qt's own English texts that a dialog of the program could show. "OK" is
// not among them: it reads the same in Polish.
const char* const kEnglishWords[] = {
    "Yes", "No", "Cancel", "Open", "Save", "Save As", "Look in", "File name", "Files of type",
    "Close", "Apply", "Back", "Forward", "Parent Directory", "Create New Folder", "List View",
    "Detail View", "Name", "Size", "Type", "Date Modified", "Kind", "Computer", "My Computer",
    "Recent Places", "Undo", "Redo", "Cut", "Copy", "Paste", "Delete", "Select All", "Help",
    "Abort", "Retry", "Ignore", "Discard", "Reset", "Restore Defaults", "Yes to All", "No to All",
    "Choose", "New Folder", "Show hidden files", "Rename", "Directory", "File", "Folder", "Drive"};
const char* const kEnglishPhrases[] = {"already exists", "Do you want", "Are you sure"};

// A text as it reads: no mnemonic marks, no closing colon or dots.
QString Plain(QString text) {
    text.remove(QLatin1Char('&'));
    text = text.trimmed();
    while (text.endsWith(QLatin1Char(':')) || text.endsWith(QLatin1Char('.'))) text.chop(1);
    return text.trimmed();
}

// Every text a window shows or tells: caption, buttons, labels, menus, tool
// tips, column titles, list items.
QStringList TextsOf(QWidget* window) {
    QStringList texts;
    auto add = [&texts](const QString& text) {
        if (!text.isEmpty()) texts << text;
    };
    add(window->windowTitle());
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        add(w->toolTip());
        for (QAction* a : w->actions()) {
            add(a->text());
            add(a->toolTip());
        }
        if (auto* b = qobject_cast<QAbstractButton*>(w)) add(b->text());
        if (auto* l = qobject_cast<QLabel*>(w)) add(l->text());
        if (auto* e = qobject_cast<QLineEdit*>(w)) add(e->placeholderText());
        if (auto* c = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < c->count(); ++i) add(c->itemText(i));
        if (auto* v = qobject_cast<QAbstractItemView*>(w); v && v->model()) {
            QAbstractItemModel* m = v->model();
            for (int c = 0; c < m->columnCount(); ++c) add(m->headerData(c, Qt::Horizontal).toString());
            // The lists of a file dialog, not the program's long tables.
            const QModelIndex root = v->rootIndex();
            for (int r = 0; r < m->rowCount(root) && r < 100; ++r)
                for (int c = 0; c < m->columnCount(root); ++c) add(m->index(r, c, root).data().toString());
        }
    }
    return texts;
}

// The texts of `texts` that are Qt's English ones.
QStringList English(const QStringList& texts) {
    QStringList found;
    for (const QString& text : texts) {
        const QString plain = Plain(text);
        for (const char* word : kEnglishWords)
            if (plain.compare(QLatin1String(word), Qt::CaseInsensitive) == 0) found << text;
        for (const char* phrase : kEnglishPhrases)
            if (text.contains(QLatin1String(phrase), Qt::CaseInsensitive)) found << text;
    }
    return found;
}

// Runs `open`, which shows modal dialogs one after another, and takes the
// texts of each as it shows, then cancels it.
QStringList TextsOfModals(const std::function<void()>& open, int* count = nullptr) {
    QStringList texts;
    int seen = 0;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        ++seen;
        texts << TextsOf(dialog);
        dialog->reject();
    });
    watch.start();
    open();
    if (count) *count = seen;
    return texts;
}

// The one question `ask` brings: its text, and the answer given by `key`.
QString AnswerQuestionWithKey(const std::function<void()>& ask, Qt::Key key) {
    QString text;
    QTimer watch;
    watch.setInterval(20);
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        text += box->text();
        QTest::keyClick(box, key);
    });
    watch.start();
    ask();
    return text;
}

const char* const kTabCaptions[9] = {
    "&1. Baza opakowań", "&2. Baza PLU",  "&3. Baza kasjerów",
    "&4. Baza klawiszy", "&5. Baza rabatów", "&6. Baza form płatnośći",
    "&7. Nagłówek",      "&8. Stawki PTU", "&9. Funkcje serwisowe"};

}  // namespace

class LookTest : public QObject, protected PtyAppFixture {
    Q_OBJECT

    void WriteConfig() { WriteConfigFile("2", 1, "20"); }
    QString PodPath() const { return dir + "/sklep.pod"; }

    // Every column of every grid at least as wide as its title needs.
    static void ExpectTitlesWhole(MainWindow& w) {
        for (int t = 0; t < kTableCount; ++t) {
            QTableView* view = w.Grid(static_cast<TableId>(t));
            QHeaderView* header = view->horizontalHeader();
            const QFontMetrics metrics(header->font());
            for (int c = 0; c < header->count(); ++c) {
                const QString title = view->model()->headerData(c, Qt::Horizontal).toString();
                QVERIFY2(header->sectionSize(c) >= header->sectionSizeHint(c) &&
                             header->sectionSize(c) > metrics.horizontalAdvance(title),
                         qPrintable(QString("%1: %2 < %3").arg(title).arg(header->sectionSize(c))
                                        .arg(header->sectionSizeHint(c))));
            }
        }
    }

private slots:
    void initTestCase() { QVERIFY(InstallPolishTranslations(*qApp)); }
    void init() {
        SetUpFixture("zeltra-look-");
        QVERIFY(LaunchEmulator(Model3Register));
        WriteConfig();
    }
    void cleanup() {
        QFile::remove(PodPath());
        TearDownFixture();
    }

    // Each dialog as the program opens it; none may show an English Qt text.
    void dialogsArePolish() {
        MainWindow w(link, nullptr, dir);
        QtUi qt;
        InstallUi(&qt);
        ConfigurationDialog configuration(&w, dir);
        ModelChoiceDialog modelChoice(w.Tables(), &w);
        RegisterSettingsDialog registerSettings(link, &w);
        FmreaderWindow fiscal(link, &w);
        AboutBox about(&w);
        QLineEdit line;
        std::unique_ptr<QMenu> lineMenu(line.createStandardContextMenu());

        const struct {
            const char* name;
            int dialogs;           // modal dialogs it brings, one after another
            const char* polish;    // a text that shows the dialog was reached in Polish
            std::function<QStringList(int*)> texts;
        } cases[] = {
            {"question", 1, "Tak", [&](int* n) { return TextsOfModals([&] { qt.Question("Czy kontynuować?", "Uwaga!", UiIcon::Question); }, n); }},
            {"message", 1, "OK", [&](int* n) { return TextsOfModals([&] { qt.Message("Brak odpowiedzi z kasy", "", UiIcon::None); }, n); }},
            {"open data file", 1, "Szukaj w", [&](int* n) { return TextsOfModals([&] { w.OpenDataFile(); }, n); }},
            {"save data file", 1, "Zachowaj", [&](int* n) { return TextsOfModals([&] { w.SaveDataFileAs(); }, n); }},
            {"load a table", 1, "Otwórz", [&](int* n) { return TextsOfModals([&] { w.Buttons(2).loadTable->click(); }, n); }},
            {"save a table", 1, "Nazwa pliku", [&](int* n) { return TextsOfModals([&] { w.Buttons(2).saveTable->click(); }, n); }},
            {"fiscal search", 2, "Anuluj", [&](int* n) { return TextsOfModals([&] { fiscal.SearchByDate(FiscalKind::DailyReport); }, n); }},
            {"main window", 0, "Plik", [&](int*) { return TextsOf(&w); }},
            {"model choice", 0, "Wybierz rodzaj kasy", [&](int*) { return TextsOf(&modelChoice); }},
            {"configuration", 0, "Konfiguracja", [&](int*) { return TextsOf(&configuration); }},
            {"register settings", 0, "Ustawienia kasy", [&](int*) { return TextsOf(&registerSettings); }},
            {"fiscal reader", 0, "Odczyt pamięci", [&](int*) { return TextsOf(&fiscal); }},
            {"about", 0, "O programie", [&](int*) { return TextsOf(&about); }},
            {"edit field menu", 0, "Zaznacz wszystko", [&](int*) { return TextsOf(lineMenu.get()); }},
        };
        for (const auto& c : cases) {
            int dialogs = 0;
            const QStringList texts = c.texts(&dialogs);
            QVERIFY2(dialogs == c.dialogs, c.name);
            bool reached = false;
            for (const QString& t : texts) reached = reached || Plain(t).contains(QString::fromUtf8(c.polish));
            QVERIFY2(reached, qPrintable(QString("%1: no \"%2\" in %3").arg(c.name, QString::fromUtf8(c.polish), texts.join(" | "))));
            const QStringList english = English(texts);
            QVERIFY2(english.isEmpty(), qPrintable(QString("%1: %2").arg(c.name, english.join(" | "))));
        }
        InstallUi(&ui);
    }

    // Enter and Esc answer No to every question the program asks, so neither
    // drops records, sets the register's clock, changes the model or leaves
    // the connection by accident.
    void questionsAnswerNoToEnterAndEscape() {
        MainWindow w(link, nullptr, dir);
        QtUi qt;
        InstallUi(&qt);
        QCOMPARE(w.Tables().Model(), 3);
        // Model 1 has 10 keys: key 15 would be lost.
        w.Tables().SetCell(TableId::Key, 0, 15, "15");
        testfiles::Spit(PodPath().toStdString(), "[KASA]\r\nTyp_kasy=1\r\n");
        ConfigurationDialog configuration(&w, dir);
        QSignalSpy applied(&configuration, &ConfigurationDialog::applyRequested);
        auto keyKept = [&] { return w.Tables().Model() == 3 && w.Tables().Cell(TableId::Key, 0, 15) == "15"; };

        const char* const kLoss = "Zmiana typu kasy usunie część danych z tabel. Czy kontynuować?";
        const struct {
            const char* name;
            Qt::Key key;
            const char* question;  // how it begins
            std::function<void()> ask;
            std::function<bool()> nothingDone;
        } cases[] = {
            {"records lost, Enter", Qt::Key_Return, kLoss,
             [&] { ApplyModelAsking(w.Tables(), 1, PluRule::Capacity); }, keyKept},
            {"records lost, Esc", Qt::Key_Escape, kLoss,
             [&] { ApplyModelAsking(w.Tables(), 1, PluRule::Capacity); }, keyKept},
            {"register clock", Qt::Key_Return, "Czy zaprogramowac zegar z następującą datą:",
             [&] { w.ClockClicked(); }, [&] { return Requests().empty(); }},
            {"configuration now", Qt::Key_Enter, "Czy uwzględnić zmiany w bieżącej sesji programu",
             [&] { configuration.SaveClicked(); }, [&] { return applied.count() == 0 && w.OnLine(); }},
            {"model of a data file", Qt::Key_Return, "Pobierasz bazę z innej kasy niż masz podłączoną",
             [&] { LoadDataFile(w.Tables(), PodPath().toStdString()); }, [&] { return w.Tables().Model() == 3; }},
        };
        for (const auto& c : cases) {
            ClearRequests();
            const QString asked = AnswerQuestionWithKey(c.ask, c.key);
            QVERIFY2(asked.startsWith(QString::fromUtf8(c.question)), qPrintable(QString("%1: %2").arg(c.name, asked)));
            QVERIFY2(c.nothingDone(), c.name);
        }
        InstallUi(&ui);
    }

    // A save into a data file that exists writes its entries into it and
    // keeps the others; no question says the file would be replaced.
    void savingIntoAnExistingFileAsksNothing() {
        MainWindow w(link, nullptr, dir);
        w.Tables().SetCell(TableId::Packaging, 0, 1, "1");
        w.Tables().SetCell(TableId::Packaging, 1, 1, "Butelka");
        w.Tables().SetCell(TableId::Packaging, 2, 1, "0.50");
        const struct {
            const char* name;
            std::function<void()> save;
        } cases[] = {
            {"whole set", [&] { w.SaveDataFileAs(); }},
            {"packaging tab", [&] { w.Buttons(1).saveTable->click(); }},
        };
        for (const auto& c : cases) {
            testfiles::Spit(PodPath().toStdString(), "[INNE]\r\nKlucz=wartosc\r\n[OPAKOWANIA]\r\nOpak1=9;Stara;1.00;\r\n");
            QStringList boxes;
            QTimer watch;
            watch.setInterval(20);
            connect(&watch, &QTimer::timeout, [&] {
                QWidget* modal = QApplication::activeModalWidget();
                if (auto* box = qobject_cast<QMessageBox*>(modal)) {
                    boxes << box->text();
                    box->reject();
                } else if (auto* dialog = qobject_cast<QFileDialog*>(modal); dialog && !boxes.isEmpty()) {
                    dialog->reject();  // back from a question answered No
                } else if (dialog) {
                    // Typed into the name field, as selectFile() leaves a field with the focus alone.
                    dialog->findChild<QLineEdit*>("fileNameEdit")->setText(PodPath());
                    // Accepted outside this handler: a question it asks must meet the watch again.
                    QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
                }
            });
            watch.start();
            c.save();
            watch.stop();
            QVERIFY2(boxes.isEmpty(), qPrintable(QString("%1: %2").arg(c.name, boxes.join(" | "))));
            const std::string text = testfiles::Slurp(PodPath().toStdString());
            QVERIFY2(text.find("Klucz=wartosc\r\n") != std::string::npos, c.name);
            QVERIFY2(text.find("Opak1=1;Butelka;0.50;\r\n") != std::string::npos, c.name);
            QCOMPARE(ui.shown.size(), size_t(1));  // only the start message
        }
    }

    // At 869 x 553 and the desktop's font every tab caption shows whole
    // without scroll arrows, every column title and the longest bar code
    // whole; at a font one point larger the window grows as far as its
    // content needs and shows the same. The window can grow and its grids
    // grow with it.
    void startingSizeShowsEveryTabAndTitle() {
        const QFont desktop = QApplication::font();
        QFont larger = desktop;
        larger.setPointSizeF(desktop.pointSizeF() + 1);
        const struct {
            QFont font;
            bool specifiedSize;  // exactly 869 x 553
        } cases[] = {{desktop, true}, {larger, false}};
        for (const auto& c : cases) {
            QApplication::setFont(c.font);
            MainWindow w(link, nullptr, dir);
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            const QSize start(869, 553);
            QCOMPARE(w.size(), c.specifiedSize ? start : start.expandedTo(w.minimumSizeHint()));
            QCOMPARE(w.pos(), QPoint(60, 112));

            QTabBar* bar = w.Tabs()->tabBar();
            const QFontMetrics metrics(bar->font());
            QVERIFY(w.Tabs()->rect().contains(bar->geometry()));
            for (QToolButton* arrow : bar->findChildren<QToolButton*>()) QVERIFY(!arrow->isVisible());
            for (int i = 0; i < 9; ++i) {
                QCOMPARE(bar->tabText(i), QString::fromUtf8(kTabCaptions[i]));
                const QRect tab = bar->tabRect(i);
                QVERIFY2(bar->rect().contains(tab), kTabCaptions[i]);
                const QSize drawn = metrics.size(Qt::TextShowMnemonic, TwoLineCaption(bar->tabText(i), metrics));
                QVERIFY2(tab.width() > drawn.width() && tab.height() > drawn.height(), kTabCaptions[i]);
            }
            ExpectTitlesWhole(w);
            w.Tables().ApplyModel(0, PluRule::Capacity);  // the PLU table without its eighth column
            ExpectTitlesWhole(w);

            QCOMPARE(w.maximumSize(), QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
            // The longest bar code shows whole.
            w.Tables().SetCell(TableId::Plu, 2, 1, "59012341234578");
            w.ShowTab(1);
            QTableView* plu = w.Grid(TableId::Plu);
            QVERIFY(plu->columnWidth(2) >= static_cast<QAbstractItemView*>(plu)->sizeHintForColumn(2));
            const QSize before = plu->size();
            w.resize(1200, 900);
            QTRY_VERIFY(plu->width() >= before.width() + 250 && plu->height() >= before.height() + 300);
        }
        QApplication::setFont(desktop);
    }
};

QTEST_MAIN(LookTest)
#include "test_wyglad.moc"
