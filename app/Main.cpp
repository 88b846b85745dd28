#include "Main.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFocusEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "Arkusz.h"
#include "Cp1250.h"
#include "Edytory.h"
#include "FmreaderWindow.h"
#include "Konfigkasy.h"
#include "Konfiguracja.h"
#include "Pliki.h"
#include "Pomoc.h"
#include "QtUi.h"
#include "Sciezka.h"
#include "Sekwencje.h"
#include "Skoroszyt.h"
#include "TableModel.h"
#include "Ui.h"
#include "Wersja.h"
#include "WieleKas.h"
#include "Wybor.h"
#include "Zakladki.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString FromCp1250(const std::string& text) {
    return QString::fromStdString(Cp1250ToUtf8(text));
}

const char* const kTabCaptions[9] = {
    "&1. Baza opakowań", "&2. Baza PLU",  "&3. Baza kasjerów",
    "&4. Baza klawiszy", "&5. Baza rabatów", "&6. Baza form płatnośći",
    "&7. Nagłówek",      "&8. Stawki PTU", "&9. Funkcje serwisowe"};

// The table each of tabs 1-8 shows (tab 5 also the surcharges).
const TableId kTabTables[8] = {TableId::Packaging, TableId::Plu,         TableId::Cashier,
                               TableId::Key,       TableId::Discount,    TableId::PaymentForm,
                               TableId::Header,    TableId::Ptu};

QLabel* BoldLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

QPushButton* Button(const char* caption, const QString& name, QWidget* parent) {
    auto* b = new QPushButton(U(caption), parent);
    b->setObjectName(name);
    return b;
}

// The file dialogs start in the current working directory, read afresh each time.
std::string PathFromDialog(const QString& chosen) {
    return CorePath(QDir::toNativeSeparators(chosen));
}

QString DataFileFilter() { return U(kDataFileFilterName) + U(" (*.pod)"); }

// A save writes its entries into a file that exists and keeps the file's
// other entries (one file per shop, filled tab by tab), so Qt's question
// whether to replace the file would be untrue: none is asked.
QString ChooseSaveFile(QWidget* parent) {
    return QFileDialog::getSaveFileName(parent, QString(), QDir::currentPath(), DataFileFilter(),
                                        nullptr, QFileDialog::DontConfirmOverwrite);
}

// A grid that takes the focus without choosing a cell. A view with no current
// cell makes its first cell current when it gets the focus by keyboard, and
// that would copy record 1 over what the user typed into the entry row.
class GridView final : public QTableView {
public:
    using QTableView::QTableView;

    // Told the view row when the user goes to the cell that is already
    // current (a click on it, a key that leaves it where it is): the selection
    // model reports no change then, yet the row is to be copied all the same.
    std::function<void(int viewRow)> currentRowVisited;

protected:
    void focusInEvent(QFocusEvent* event) override {
        if (currentIndex().isValid()) {
            QTableView::focusInEvent(event);
            return;
        }
        QAbstractScrollArea::focusInEvent(event);
        setAttribute(Qt::WA_InputMethodEnabled, false);
        viewport()->update();
    }
    void mousePressEvent(QMouseEvent* event) override {
        const QModelIndex before = currentIndex();
        QTableView::mousePressEvent(event);
        const QModelIndex at = indexAt(event->position().toPoint());
        if (at.isValid() && at.row() == before.row()) Revisited(before);
    }
    void keyPressEvent(QKeyEvent* event) override {
        const QModelIndex before = currentIndex();
        QTableView::keyPressEvent(event);
        switch (event->key()) {
        case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
        case Qt::Key_Home: case Qt::Key_End: case Qt::Key_PageUp: case Qt::Key_PageDown:
        case Qt::Key_Return: case Qt::Key_Enter:
            Revisited(before);
            break;
        default: break;
        }
    }

private:
    void Revisited(const QModelIndex& before) {
        if (before.isValid() && currentIndex() == before && currentRowVisited)
            currentRowVisited(before.row());
    }
};

constexpr int kPluTab = 1;  // "&2. Baza PLU"

}  // namespace

MainWindow::MainWindow(Connection& link, QtUi* ui, const QString& configDir) : link_(link) {
    // 1. The window from its layout.
    setObjectName("MainWindow");
    setWindowTitle(U(kMainCaption));
    tables_.SetListener(this);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    BuildTopLine(central, layout);

    tabs_ = new MainTabs(central);
    tabs_->setObjectName("tabs");
    for (int tab = 1; tab <= 8; ++tab)
        tabs_->addTab(tab == 5 ? BuildDiscountTab() : BuildTableTab(tab), U(kTabCaptions[tab - 1]));
    tabs_->addTab(BuildServiceTab(), U(kTabCaptions[8]));
    layout->addWidget(tabs_, 1);

    mainBar_ = new QProgressBar(central);
    mainBar_->setObjectName("mainBar");
    mainBar_->hide();
    // Beside the bar while an operation runs: the records done with the time
    // left, and the button that stops it.
    auto* barRow = new QHBoxLayout();
    barRow->addWidget(mainBar_, 1);
    mainCount_ = new QLabel(central);
    mainCount_->setObjectName("mainCount");
    mainCount_->hide();
    barRow->addWidget(mainCount_);
    mainStop_ = Button("Przerwij", "mainStop", central);
    mainStop_->hide();
    barRow->addWidget(mainStop_);
    layout->addLayout(barRow);
    setCentralWidget(central);
    BuildMenu();

    // The entry rows, wired before start-up applies the model.
    for (int tab = 1; tab <= 8; ++tab) BuildEditor(tab, 0, kTabTables[tab - 1]);
    BuildEditor(5, 1, TableId::Surcharge);
    WireTransfers();

    for (QPushButton* b : registerControls_) b->setEnabled(false);
    if (ui)
        ui->Attach({this, mainBar_, service_.overallBar, service_.progressLabel, pluTabLabel_,
                    service_.pluLabel, tabs_, Grid(TableId::Plu), mainStop_, service_.overallStop,
                    mainCount_});

    // 2-9. Settings, the register's identification, the model.
    // config.cfg is read once: the configuration dialog takes its texts from here.
    {
        const Profile configFile =
            LoadConfigFile(CorePath(configDir.isEmpty() ? QDir::currentPath() : configDir));
        config_ = ConfigurationFrom(configFile);
        configTextsAtStart_ = std::make_unique<ConfigurationTexts>(ConfigurationTextsFrom(configFile));
    }
    Identification id = StartUp(link_, config_, tables_, [this](const Identification& found) {
        if (found.onLine)
            ShowIdentification(found);
        else
            ShowOffLine();
    });
    onLine_ = onLineAtStart_ = id.onLine;
    SetRegisterControlsEnabled(onLine_);
    // An OFF-LINE start applies no model: the PLU entry row follows the initial one.
    pluEditor_->SetModel(tables_.Model());

    // 11. The model choice waits until the window is up.
    startTimer_ = new QTimer(this);
    startTimer_->setSingleShot(true);
    startTimer_->setInterval(100);
    connect(startTimer_, &QTimer::timeout, this, &MainWindow::StartTimerFired);
    startTimer_->start();

    // 12.
    programVersionLabel_->setText(QString::fromStdString(ProgramVersionText()));
    tabs_->setCurrentIndex(8);
    resize(869, 553);
    move(60, 112);
}

MainWindow::~MainWindow() {
    tables_.SetListener(nullptr);
    // The views go before the table set their models read.
    delete takeCentralWidget();
}

void MainWindow::SetAuxiliaryWindows(const AuxiliaryWindows& windows) {
    if (windows_.fiscalMemory) disconnect(windows_.fiscalMemory, nullptr, this, nullptr);
    windows_ = windows;
    if (auto* settings = qobject_cast<RegisterSettingsDialog*>(windows_.registerSettings))
        settings->SetRunner([this](const std::function<void()>& work) { return RunExclusive(work); });
    if (windows_.fiscalMemory)
        connect(windows_.fiscalMemory, &FmreaderWindow::readingActive, this,
                &MainWindow::FiscalReadingActive);
}

void MainWindow::BuildTopLine(QWidget* parent, QBoxLayout* layout) {
    auto* line = new QHBoxLayout();
    line->addWidget(new QLabel(U("Podłączona kasa:"), parent));
    modelLabel_ = BoldLabel(QString(), parent);
    modelLabel_->setObjectName("modelLabel");
    line->addWidget(modelLabel_);
    line->addSpacing(16);
    line->addWidget(new QLabel(U("Nr fabryczny"), parent));
    serialLabel_ = BoldLabel(QString(), parent);
    serialLabel_->setObjectName("serialLabel");
    line->addWidget(serialLabel_);
    line->addSpacing(16);
    line->addWidget(new QLabel(U("Wersja oprogramowania:"), parent));
    versionLabel_ = BoldLabel(QString(), parent);
    versionLabel_->setObjectName("versionLabel");
    line->addWidget(versionLabel_);
    line->addStretch(1);
    programVersionLabel_ = BoldLabel(U("0"), parent);
    programVersionLabel_->setObjectName("programVersionLabel");
    line->addWidget(programVersionLabel_);
    layout->addLayout(line);
}

QTableView* MainWindow::MakeGrid(TableId table, QWidget* parent) {
    int i = static_cast<int>(table);
    models_[i] = new TableModel(tables_, table, this);
    views_[i] = new GridView(parent);
    views_[i]->setObjectName(QStringLiteral("grid%1").arg(i));
    SetUpTableView(views_[i], models_[i]);
    return views_[i];
}

void MainWindow::MakeTabButtons(int tab, QWidget* parent, QBoxLayout* layout) {
    TabButtons& b = buttons_[tab - 1];
    auto name = [tab](const char* what) { return QStringLiteral("%1%2").arg(U(what)).arg(tab); };
    b.read = Button("Odczytaj z &kasy", name("read"), parent);
    b.send = Button(tab == 2 ? "&Wyślij do kasy" : "&Wyslij do kasy", name("send"), parent);
    layout->addWidget(b.read);
    layout->addWidget(b.send);
    registerControls_.push_back(b.read);
    registerControls_.push_back(b.send);
    if (tab <= 6) {
        b.sendChanges = Button("Wyślij z&miany", name("sendChanges"), parent);
        layout->addWidget(b.sendChanges);
        registerControls_.push_back(b.sendChanges);
    }
    if (tab <= 6) {
        b.deleteTable = Button("&Usuń bazę z kasy", name("deleteTable"), parent);
        layout->addWidget(b.deleteTable);
        registerControls_.push_back(b.deleteTable);
        if (tab != 5) {  // tab 5 has its record buttons under its grids
            b.deleteRecord = Button("U&suń rekord", name("deleteRecord"), parent);
            layout->addWidget(b.deleteRecord);
            registerControls_.push_back(b.deleteRecord);
        }
    }
    layout->addStretch(1);
    b.loadTable = Button("O&dczytaj bazę", name("loadTable"), parent);
    b.saveTable = Button(tab == 2 ? "&Zapisz baze" : "&Zapisz bazę", name("saveTable"), parent);
    layout->addWidget(b.loadTable);
    layout->addWidget(b.saveTable);
    connect(b.loadTable, &QPushButton::clicked, this, [this, tab] { LoadTableClicked(tab); });
    connect(b.saveTable, &QPushButton::clicked, this, [this, tab] { SaveTableClicked(tab); });
    // Spreadsheets: one button with a menu, so the row stays as wide as it was.
    b.csv = Button("&Arkusz", name("csv"), parent);
    auto* menu = new QMenu(b.csv);
    b.exportCsv = menu->addAction(U("&Eksport do pliku CSV…"));
    b.exportCsv->setObjectName(name("exportCsv"));
    b.exportXlsx = menu->addAction(U("Eksport do &skoroszytu Excel (.xlsx)…"));
    b.exportXlsx->setObjectName(name("exportXlsx"));
    b.importCsv = menu->addAction(U("&Import z arkusza (CSV, .xlsx, .ods)…"));
    b.importCsv->setObjectName(name("importCsv"));
    b.csv->setMenu(menu);
    layout->addWidget(b.csv);
    connect(b.exportCsv, &QAction::triggered, this, [this, tab] { ExportCsvClicked(tab); });
    connect(b.exportXlsx, &QAction::triggered, this, [this, tab] { ExportXlsxClicked(tab); });
    connect(b.importCsv, &QAction::triggered, this, [this, tab] { ImportCsvClicked(tab); });
}

QWidget* MainWindow::BuildTableTab(int tab) {
    auto* page = new QWidget();
    auto* layout = new QVBoxLayout(page);
    if (tab == 2) {
        pluTabLabel_ = new QLabel(U("Odczytano"), page);
        pluTabLabel_->setObjectName("pluTabLabel");
        pluTabLabel_->hide();
        layout->addWidget(pluTabLabel_);
    }
    layout->addWidget(MakeGrid(kTabTables[tab - 1], page), 1);
    // The entry row of the tab's records goes here.
    auto* entry = new QWidget(page);
    entry->setObjectName(QStringLiteral("entryArea%1").arg(tab));
    new QHBoxLayout(entry);
    entry->layout()->setContentsMargins(0, 0, 0, 0);
    entryAreas_[tab - 1] = entry;
    layout->addWidget(entry);
    auto* row = new QHBoxLayout();
    MakeTabButtons(tab, page, row);
    layout->addLayout(row);
    return page;
}

QWidget* MainWindow::BuildDiscountTab() {
    constexpr int tab = 5;
    auto* page = new QWidget();
    auto* layout = new QVBoxLayout(page);
    TabButtons& b = buttons_[tab - 1];

    // Built first so that the register controls keep the tab's order:
    // read, send, delete table, then the two record buttons.
    auto* row = new QHBoxLayout();
    MakeTabButtons(tab, page, row);

    auto part = [&](const char* caption, TableId table, int which, const char* deleteCaption,
                    const char* deleteName) {
        layout->addWidget(new QLabel(U(caption), page));
        layout->addWidget(MakeGrid(table, page), 1);
        auto* under = new QHBoxLayout();
        auto* entry = new QWidget(page);
        entry->setObjectName(QStringLiteral("entryArea5%1").arg(which == 0 ? "" : "b"));
        new QHBoxLayout(entry);
        entry->layout()->setContentsMargins(0, 0, 0, 0);
        entryAreas_[which == 0 ? 4 : 8] = entry;
        under->addWidget(entry, 1);
        QPushButton* del = Button(deleteCaption, U(deleteName), page);
        under->addWidget(del);
        registerControls_.push_back(del);
        layout->addLayout(under);
        return del;
    };
    b.deleteRecord = part("Rabaty", TableId::Discount, 0, "U&suń rekord", "deleteRecord5");
    b.deleteRecord2 = part("Doplaty", TableId::Surcharge, 1, "Usuń rekord", "deleteRecord5b");
    layout->addLayout(row);
    return page;
}

QWidget* MainWindow::BuildServiceTab() {
    auto* page = new QWidget();
    auto* layout = new QHBoxLayout(page);
    auto* left = new QVBoxLayout();
    ServiceTab& s = service_;
    s.checkConnection = Button("&Sprawdź polączenie", "checkConnection", page);
    s.readAll = Button("Pobierz &bazy z kasy", "readAll", page);
    s.sendAll = Button("&Wyślij bazy do kasy", "sendAll", page);
    s.sendChanges = Button("Wyślij z&miany do kasy", "sendChanges", page);
    s.information = Button("Pobierz &informacje kasowe", "information", page);
    s.fiscalMemory = Button("Odczytaj pamięć &fisk", "fiscalMemory", page);
    s.endCommunication = Button("Zakończ &komunikacje", "endCommunication", page);
    for (QPushButton* b : {s.checkConnection, s.readAll, s.sendAll, s.sendChanges, s.information,
                           s.fiscalMemory, s.endCommunication})
        left->addWidget(b);
    for (QPushButton* b : {s.readAll, s.sendAll, s.sendChanges, s.information, s.fiscalMemory,
                           s.endCommunication})
        registerControls_.push_back(b);
    left->addSpacing(12);
    s.progressLabel = new QLabel(U("Postęp"), page);
    s.progressLabel->setObjectName("progressLabel");
    s.overallBar = new QProgressBar(page);
    s.overallBar->setObjectName("overallBar");
    s.pluLabel = new QLabel(U("Odczytalem PLU nr"), page);
    s.pluLabel->setObjectName("servicePluLabel");
    for (QWidget* w : {static_cast<QWidget*>(s.progressLabel), static_cast<QWidget*>(s.overallBar),
                       static_cast<QWidget*>(s.pluLabel)}) {
        w->hide();
        left->addWidget(w);
    }
    s.overallStop = Button("Przerwij", "overallStop", page);
    s.overallStop->hide();
    left->insertWidget(left->indexOf(s.overallBar) + 1, s.overallStop, 0, Qt::AlignLeft);
    left->addStretch(1);
    layout->addLayout(left);

    auto* right = new QVBoxLayout();
    s.informationHeading = BoldLabel(U("Informacje kasowe"), page);
    s.informationHeading->setObjectName("informationHeading");
    s.informationGrid = new QTableWidget(11, 2, page);
    s.informationGrid->setObjectName("informationGrid");
    s.informationGrid->horizontalHeader()->hide();
    s.informationGrid->verticalHeader()->hide();
    s.informationGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    s.informationGrid->setColumnWidth(0, 170);
    s.informationGrid->setColumnWidth(1, 180);
    s.informationHeading->hide();
    s.informationGrid->hide();
    right->addWidget(s.informationHeading);
    right->addWidget(s.informationGrid, 1);
    layout->addLayout(right, 1);

    connect(s.checkConnection, &QPushButton::clicked, this, &MainWindow::CheckConnectionClicked);
    connect(s.endCommunication, &QPushButton::clicked, this,
            &MainWindow::EndCommunicationClicked);
    connect(s.fiscalMemory, &QPushButton::clicked, this, &MainWindow::FiscalMemoryClicked);
    return page;
}

void MainWindow::BuildMenu() {
    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(U("&Plik"));
    connect(file->addAction(U("&Otwórz plik z danymi")), &QAction::triggered, this,
            &MainWindow::OpenDataFile);
    connect(file->addAction(U("&Zapisz plik z danymi")), &QAction::triggered, this,
            &MainWindow::SaveDataFileAs);
    // The table of the tab on show to and from a spreadsheet file.
    QAction* exportCsv = file->addAction(U("&Eksport tabeli do CSV…"));
    exportCsv->setObjectName("exportCsvAction");
    QAction* exportXlsx = file->addAction(U("Eksport tabeli do &Excela (.xlsx)…"));
    exportXlsx->setObjectName("exportXlsxAction");
    QAction* importCsv = file->addAction(U("&Import tabeli z arkusza (CSV, .xlsx, .ods)…"));
    importCsv->setObjectName("importCsvAction");
    connect(exportCsv, &QAction::triggered, this, [this] { ExportCsvClicked(tabs_->currentIndex() + 1); });
    connect(exportXlsx, &QAction::triggered, this, [this] { ExportXlsxClicked(tabs_->currentIndex() + 1); });
    connect(importCsv, &QAction::triggered, this, [this] { ImportCsvClicked(tabs_->currentIndex() + 1); });
    // The service tab has no table of its own.
    connect(tabs_, &QTabWidget::currentChanged, this, [exportCsv, exportXlsx, importCsv](int index) {
        exportCsv->setEnabled(index < 8);
        exportXlsx->setEnabled(index < 8);
        importCsv->setEnabled(index < 8);
    });
    file->addSeparator();
    // Ends at once: nothing is saved and the port is left to the system.
    connect(file->addAction(U("&Koniec")), &QAction::triggered, qApp, &QCoreApplication::quit);

    QMenu* programming = bar->addMenu(U("P&rogramowanie"));
    const std::pair<const char*, int> tabItems[] = {
        {"&Form płatności", 5}, {"Funkcje &serwisowe", 8}, {"&Kasjerów", 2},
        {"K&lawiszy", 3},       {"&Nagłówek", 6},          {"&Opakowania", 0},
        {"&PLU", 1},            {"&Rabatów", 4},           {"S&tawki PTU", 7}};
    for (const auto& [caption, index] : tabItems)
        connect(programming->addAction(U(caption)), &QAction::triggered, this,
                [this, index = index] { ShowTab(index); });
    clockAction_ = programming->addAction(U("&Zegar"));
    clockAction_->setObjectName("clockAction");
    connect(clockAction_, &QAction::triggered, this, &MainWindow::ClockClicked);
    programming->addSeparator();
    QAction* manyRegisters = programming->addAction(U(kManyRegistersItem));
    manyRegisters->setObjectName("manyRegistersAction");
    connect(manyRegisters, &QAction::triggered, this, &MainWindow::ShowManyRegisters);

    QMenu* settings = bar->addMenu(U("Us&tawienia"));
    QAction* registerSettings = settings->addAction(U("&Kasy"));
    registerSettings->setObjectName("registerSettingsAction");
    connect(registerSettings, &QAction::triggered, this, &MainWindow::ShowRegisterSettings);
    settings->addAction(U("&Programu"))->setObjectName("configurationAction");

    // A top-level item without a drop-down: clicking it opens the About box.
    QAction* help = bar->addAction(U("P&omoc"));
    help->setObjectName("helpAction");
    connect(help, &QAction::triggered, this, &MainWindow::ShowAbout);

    // Hidden menu; its F9 shortcut works from anywhere in the window.
    QMenu* edit = bar->addMenu(U("Edycja"));
    edit->menuAction()->setVisible(false);
    goToPlu_ = new QAction(this);
    goToPlu_->setObjectName("goToPlu");
    goToPlu_->setShortcut(Qt::Key_F9);
    edit->addAction(goToPlu_);
    addAction(goToPlu_);
}

QWidget* MainWindow::EntryArea(int tab, int which) const {
    if (tab == 5 && which == 1) return entryAreas_[8];
    return tab >= 1 && tab <= 8 ? entryAreas_[tab - 1] : nullptr;
}

RecordEditor* MainWindow::Editor(int tab, int which) const {
    if (tab == 5 && which == 1) return editors_[8];
    return tab >= 1 && tab <= 8 ? editors_[tab - 1] : nullptr;
}

void MainWindow::BuildEditor(int tab, int which, TableId table) {
    QWidget* area = EntryArea(tab, which);
    RecordEditor* editor = CreateRecordEditor(tables_, table, area);
    area->layout()->addWidget(editor);
    editors_[tab == 5 && which == 1 ? 8 : tab - 1] = editor;

    // View row v shows record row v + 1 (the titles are the header).
    QTableView* grid = Grid(table);
    connect(grid->selectionModel(), &QItemSelectionModel::currentChanged, editor,
            [editor](const QModelIndex& current) {
                if (current.isValid()) editor->ShowRecord(current.row() + 1);
            });
    // Going to the row already current copies it too.
    static_cast<GridView*>(grid)->currentRowVisited = [editor](int viewRow) {
        editor->ShowRecord(viewRow + 1);
    };
    // The grid moves first (which copies the row back into the fields), then
    // the editor empties its fields and takes the focus back.
    auto moveTo = [grid, editor](int row) {
        QAbstractItemModel* m = grid->model();
        if (row < 1 || row > m->rowCount()) return;
        const QModelIndex target = m->index(row - 1, 0);
        if (grid->currentIndex() == target)
            editor->ShowRecord(row);  // no change for the selection model to report
        else
            grid->setCurrentIndex(target);
        grid->setFocus();
    };
    connect(editor, &RecordEditor::recordAdded, grid, moveTo);

    if (table == TableId::Plu) {
        pluEditor_ = static_cast<PluEditor*>(editor);
        connect(pluEditor_, &PluEditor::goToRow, grid, moveTo);
        connect(goToPlu_, &QAction::triggered, pluEditor_,
                [this] { pluEditor_->GoToPlu(tabs_->currentIndex() == kPluTab); });
        connect(this, &MainWindow::ModelSizesApplied, pluEditor_, &PluEditor::SetModel);
    }
}

void MainWindow::WireTransfers() {
    // Showing a tab puts the focus into its entry row (tab 5: the discounts').
    connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) {
        if (RecordEditor* editor = Editor(index + 1)) editor->FocusFirstField();
    });
    for (int tab = 1; tab <= 8; ++tab) {
        const TabButtons& b = buttons_[tab - 1];
        connect(b.read, &QPushButton::clicked, this, [this, tab] { ReadTableClicked(tab); });
        connect(b.send, &QPushButton::clicked, this, [this, tab] { SendTableClicked(tab); });
        if (b.sendChanges)
            connect(b.sendChanges, &QPushButton::clicked, this, [this, tab] { SendChangesClicked(tab); });
        if (b.deleteTable)
            connect(b.deleteTable, &QPushButton::clicked, this, [this, tab] { DeleteTableClicked(tab); });
        if (b.deleteRecord)
            connect(b.deleteRecord, &QPushButton::clicked, this,
                    [this, tab] { DeleteRecordClicked(tab, 0); });
        if (b.deleteRecord2)
            connect(b.deleteRecord2, &QPushButton::clicked, this,
                    [this, tab] { DeleteRecordClicked(tab, 1); });
    }
    connect(service_.readAll, &QPushButton::clicked, this, &MainWindow::ReadAllClicked);
    connect(service_.sendAll, &QPushButton::clicked, this, &MainWindow::SendAllClicked);
    connect(service_.sendChanges, &QPushButton::clicked, this, [this] { SendChangesClicked(0); });
    connect(service_.information, &QPushButton::clicked, this, &MainWindow::InformationClicked);
}

bool MainWindow::RunExclusive(const std::function<void()>& work) {
    if (busy_ || fiscalReading_ || DataFileBusy()) return false;
    struct Hold {
        bool& flag;
        explicit Hold(bool& f) : flag(f) { flag = true; }
        ~Hold() { flag = false; }
    } hold(busy_);
    work();
    return true;
}

void MainWindow::ReadTableClicked(int tab) {
    RunExclusive([this, tab] {
        switch (tab) {
        case 1: ReadPackagingTable(link_, tables_); break;
        case 2: ReadPluTable(link_, tables_); break;
        case 3: ReadCashierTable(link_, tables_); break;
        case 4: ReadKeyTable(link_, tables_); break;
        case 5: ReadDiscountTable(link_, tables_); break;
        case 6: ReadPaymentFormTable(link_, tables_); break;
        case 7: ReadHeader(link_, tables_); break;
        case 8: ReadPtuRates(link_, tables_); break;
        default: break;
        }
        if (tab <= 6) UpdateCopyAfterRead(link_, tables_, PartsOfTable(kTabTables[tab - 1]), Identity());
        if (tab >= 1 && tab <= 8 && onLine_) readFrom_[tab - 1] = std::make_pair(modelLabel_->text().toStdString(), serial_);
    });
}

void MainWindow::SendTableClicked(int tab) {
    RunExclusive([this, tab] {
        SendTableOnly(tab);
        if (tab <= 6) UpdateCopyAfterSend(link_, tables_, PartsOfTable(kTabTables[tab - 1]), Identity());
    });
}

void MainWindow::SendTableOnly(int tab) {
    switch (tab) {
    case 1: SendPackagingTable(link_, tables_); break;
    case 2: SendPluTable(link_, tables_); break;
    case 3: SendCashierTable(link_, tables_); break;
    case 4: SendKeyTable(link_, tables_); break;
    case 5: SendDiscountTable(link_, tables_); break;
    case 6: SendPaymentFormTable(link_, tables_); break;
    // A fiscal register keeps its header and rates: asked first.
    case 7:
        if (FiscalModeTest(link_, FiscalGuard::Header)) SendHeader(link_, tables_);
        break;
    case 8:
        if (FiscalModeTest(link_, FiscalGuard::PtuRates)) SendPtuRates(link_, tables_);
        break;
    default: break;
    }
}

void MainWindow::DeleteTableClicked(int tab) {
    if (tab < 1 || tab > 6) return;
    RunExclusive([this, tab] {
        DeleteTable(link_, tables_, kTabTables[tab - 1]);
        UpdateCopyAfterDeletion(link_, tables_, kTabTables[tab - 1], 0, Identity());
        Editor(tab)->ClearAfterDeletion();
        if (tab == 5) Editor(5, 1)->ClearAfterDeletion();  // the pair went together
    });
}

void MainWindow::DeleteRecordClicked(int tab, int which) {
    RecordEditor* editor = Editor(tab, which);
    if (tab < 1 || tab > 6 || !editor) return;
    RunExclusive([this, editor] {
        const std::string number = Utf8ToCp1250(editor->NumberText().toStdString());
        // A refused number leaves the entry row as typed.
        if (DeleteRecord(link_, tables_, editor->Table(), number)) {
            UpdateCopyAfterDeletion(link_, tables_, editor->Table(), std::strtoll(number.c_str(), nullptr, 10),
                                    Identity());
            editor->ClearAfterDeletion();
        }
    });
}

void MainWindow::ReadAllClicked() {
    RunExclusive([this] {
        ReadAllTables(link_, tables_);
        UpdateCopyAfterRead(link_, tables_, AllParts(false), Identity());
        if (onLine_) readFrom_.fill(std::make_pair(modelLabel_->text().toStdString(), serial_));
    });
}

void MainWindow::SendAllClicked() {
    RunExclusive([this] {
        SendAllTables(link_, tables_);
        UpdateCopyAfterSend(link_, tables_, AllParts(false), Identity());
    });
}

RegisterIdentity MainWindow::Identity() const { return {tables_.Model(), onLine_ ? serial_ : std::string()}; }

void MainWindow::SendChangesClicked(int tab) {
    if (tab < 0 || tab > 6) return;
    RunExclusive([this, tab] {
        const RegisterIdentity reg = Identity();
        const std::vector<CopyPart> parts = tab == 0 ? AllParts(false) : PartsOfTable(kTabTables[tab - 1]);
        const ChangesOutcome out = SendChanges(link_, tables_, parts, reg);
        const char* const caption = "Wyślij zmiany";
        switch (out.result) {
        case ChangesOutcome::Result::Sent: CurrentUi().Message(out.text, caption, UiIcon::Information); break;
        case ChangesOutcome::Result::Failed: CurrentUi().Message(out.text, caption, UiIcon::Warning); break;
        case ChangesOutcome::Result::FullSendNeeded:
            // Never the full send without asking: it takes the wire's time.
            if (!CurrentUi().Question(out.text + ".\r\rWysłać teraz " + (tab == 0 ? "wszystkie bazy?" : "całą bazę?"),
                                      caption, UiIcon::Question))
                break;
            if (tab == 0) {
                SendAllTables(link_, tables_);
            } else {
                SendTableOnly(tab);
            }
            UpdateCopyAfterSend(link_, tables_, parts, reg);
            break;
        }
    });
}

void MainWindow::InformationClicked() {
    RunExclusive([this] {
        QTableWidget* grid = service_.informationGrid;
        auto put = [grid](int row, int column, const std::string& utf8) {
            const QString text = QString::fromStdString(utf8);
            if (QTableWidgetItem* item = grid->item(row, column))
                item->setText(text);
            else
                grid->setItem(row, column, new QTableWidgetItem(text));
        };
        const std::string block = ReadRegisterState(link_);
        service_.informationHeading->show();
        grid->show();
        grid->setColumnWidth(0, 170);
        grid->setColumnWidth(1, 180);
        const auto& names = RegisterInfoNames();
        for (int r = 0; r < kInfoRows; ++r) put(r, 0, names[static_cast<size_t>(r)]);

        // Rows 0-2 repeat the top line; the register is not asked again.
        const std::string model = modelLabel_->text().toStdString();
        const std::string serial = serialLabel_->text().toStdString();
        const std::string version = versionLabel_->text().toStdString();
        const std::string unique = ReadUniqueNumber(link_);
        // Rows without a value (an unknown mode) keep what they showed.
        const auto values = RegisterInfoValues(model, serial, version, unique, block, std::string());
        for (int r = 0; r < kInfoRows - 1; ++r)
            if (const auto& v = values[static_cast<size_t>(r)]) put(r, 1, *v);
        const std::string clock = ReadRegisterClock(link_);
        const auto withClock = RegisterInfoValues(model, serial, version, unique, block, clock);
        if (const auto& v = withClock[kInfoRows - 1]) put(kInfoRows - 1, 1, *v);
    });
}

void MainWindow::ClockClicked() {
    if (busy_ || fiscalReading_ || DataFileBusy()) return;
    // One moment, both shown and sent: the values come from the clock, not
    // from a date text whose form depends on the system's settings.
    const QDateTime now = QDateTime::currentDateTime();
    const QDate d = now.date();
    const QTime t = now.time();
    const std::string text = "Czy zaprogramowac zegar z następującą datą:\r" + std::string(20, ' ') +
                             ClockText(t.second(), t.minute(), t.hour(), d.day(), d.month(), d.year());
    if (!CurrentUi().Question(text, "Programowanie zegara", UiIcon::Question)) return;
    RunExclusive([&] { SetRegisterClock(link_, t.second(), t.minute(), t.hour(), d.day(), d.month(), d.year()); });
}

void MainWindow::ShowRegisterSettings() {
    if (!windows_.registerSettings) return;
    windows_.registerSettings->show();
    windows_.registerSettings->raise();
    windows_.registerSettings->activateWindow();
}

void MainWindow::SetRegisterControlsEnabled(bool enabled) {
    controlsOn_ = enabled;
    for (QPushButton* b : registerControls_) b->setEnabled(enabled && !fiscalReading_);
}

void MainWindow::FiscalReadingActive(bool active) {
    // The reading lets the window handle events between its records: no other
    // command may meet it on the line meanwhile.
    fiscalReading_ = active;
    SetRegisterControlsEnabled(controlsOn_);
}

void MainWindow::ShowIdentification(const Identification& id) {
    serial_ = id.serial;
    modelLabel_->setText(FromCp1250(id.shownModel));
    serialLabel_->setText(FromCp1250(id.serial));
    versionLabel_->setText(FromCp1250(id.version));
}

void MainWindow::ShowOffLine(const QString& serial) {
    modelLabel_->setText(U("TRYB OFF-LINE"));
    serialLabel_->setText(serial);
    versionLabel_->clear();
}

void MainWindow::EnterOffLine(const QString& serial) {
    onLine_ = false;
    ShowOffLine(serial);
    SetRegisterControlsEnabled(false);
}

void MainWindow::StartTimerFired() {
    startTimer_->stop();
    if (!onLineAtStart_ && windows_.modelChoice) windows_.modelChoice->show();
}

void MainWindow::CheckConnectionClicked() {
    RunExclusive([this] {
        CheckConnection(link_, tables_, [this](const Identification& id) {
            if (!id.onLine) {
                EnterOffLine();
                return;
            }
            ShowIdentification(id);
            onLine_ = true;
            SetRegisterControlsEnabled(true);
            // A register now decides the model: a choice still open from an
            // OFF-LINE start would put a hand-picked model over it.
            if (windows_.modelChoice) windows_.modelChoice->hide();
        });
    });
}

void MainWindow::EndCommunicationClicked() {
    RunExclusive([this] {
        EndCommunication(link_);
        SetRegisterControlsEnabled(false);
    });
}

void MainWindow::FiscalMemoryClicked() {
    if (!windows_.fiscalMemory) return;
    RunExclusive([this] { windows_.fiscalMemory->Open(); });
}

void MainWindow::OpenDataFile() {
    if (busy_ || DataFileBusy()) return;
    QString chosen = QFileDialog::getOpenFileName(this, QString(), QDir::currentPath(),
                                                  DataFileFilter());
    if (chosen.isEmpty()) return;
    OpenDataFileFrom(chosen);
}

void MainWindow::OpenDataFileFrom(const QString& chosen) {
    if (busy_ || DataFileBusy()) return;
    if (LoadDataFile(tables_, PathFromDialog(chosen))) readFrom_.fill(std::nullopt);
}

void MainWindow::SaveDataFileAs() {
    if (busy_ || DataFileBusy()) return;
    QString chosen = ChooseSaveFile(this);
    if (chosen.isEmpty()) return;
    SaveDataFileTo(chosen);
}

void MainWindow::SaveDataFileTo(const QString& chosen) {
    if (busy_ || DataFileBusy()) return;
    SaveDataFile(tables_, WithPodExtension(PathFromDialog(chosen)));
}

void MainWindow::LoadTableClicked(int tab) {
    if (busy_ || DataFileBusy()) return;
    QString chosen = QFileDialog::getOpenFileName(this, QString(), QDir::currentPath(),
                                                  DataFileFilter());
    if (chosen.isEmpty()) return;
    if (LoadTableFile(tables_, tab, PathFromDialog(chosen)) && tab >= 1 && tab <= 8) readFrom_[tab - 1].reset();
}

void MainWindow::SaveTableClicked(int tab) {
    if (busy_ || DataFileBusy()) return;
    QString chosen = ChooseSaveFile(this);
    if (chosen.isEmpty()) return;
    SaveTableFile(tables_, tab, WithPodExtension(PathFromDialog(chosen)));
}

// Names the export suggests, by tab.
static const char* const kCsvNames[8] = {"opakowania", "plu",    "kasjerzy", "klawisze",
                                         "rabaty",     "formy",  "naglowek", "stawki_ptu"};

static QString CsvFilter() { return U(kCsvFilterName) + U(" (*.csv)"); }
static QString XlsxFilter() { return U(kXlsxFilterName) + U(" (*.xlsx)"); }
// The export's two filters: UTF-8 with its mark (the default, what current
// spreadsheets expect) and Windows-1250 for older ones.
static QString CsvUtf8Filter() { return U("Arkusz kalkulacyjny (CSV, UTF-8) (*.csv)"); }
static QString CsvCp1250Filter() { return U("Arkusz kalkulacyjny (CSV, Windows-1250) (*.csv)"); }

void MainWindow::ExportCsvClicked(int tab) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    const QString suggested = QDir::current().filePath(U(kCsvNames[tab - 1]) + U(kCsvExtension));
    QString filter = CsvUtf8Filter();
    const QString chosen = QFileDialog::getSaveFileName(this, QString(), suggested,
                                                        CsvUtf8Filter() + U(";;") + CsvCp1250Filter(), &filter);
    if (chosen.isEmpty()) return;
    ExportCsvTo(tab, chosen, filter == CsvCp1250Filter());
}

void MainWindow::ExportCsvTo(int tab, const QString& chosen, bool cp1250) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    std::string path = PathFromDialog(chosen);
    if (QFileInfo(chosen).suffix().isEmpty()) path += kCsvExtension;
    // Decimal cells with the separator the user's locale shows (Polish: ',').
    const QString point = QLocale().decimalPoint();
    CsvExportOptions options;
    options.decimalPoint = point == QLatin1String(".") ? '.' : ',';
    if (cp1250) options.encoding = CsvEncoding::Cp1250;
    ExportTableCsv(tables_, tab, path, options);
}

void MainWindow::ImportCsvClicked(int tab) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    const QString chosen = QFileDialog::getOpenFileName(
        this, QString(), QDir::currentPath(),
        U("Arkusze (*.csv *.xlsx *.ods);;") + CsvFilter() + U(";;") + XlsxFilter() +
            U(";;Arkusz OpenDocument (*.ods);;Wszystkie pliki (*)"));
    if (chosen.isEmpty()) return;
    ImportCsvFrom(tab, chosen);
}

void MainWindow::ImportCsvFrom(int tab, const QString& chosen) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    if (ImportTableCsv(tables_, tab, PathFromDialog(chosen))) readFrom_[tab - 1].reset();
}

void MainWindow::ExportXlsxClicked(int tab) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    const QString suggested = QDir::current().filePath(U(kCsvNames[tab - 1]) + U(kXlsxExtension));
    const QString chosen = QFileDialog::getSaveFileName(this, QString(), suggested, XlsxFilter());
    if (chosen.isEmpty()) return;
    ExportXlsxTo(tab, chosen);
}

void MainWindow::ExportXlsxTo(int tab, const QString& chosen) {
    if (tab < 1 || tab > 8 || busy_ || DataFileBusy()) return;
    std::string path = PathFromDialog(chosen);
    if (QFileInfo(chosen).suffix().isEmpty()) path += kXlsxExtension;
    // The register's model and serial number go into the document's
    // properties when the table came from it.
    WorkbookInfo info;
    if (const auto& from = readFrom_[tab - 1]) {
        info.registerModel = from->first;
        info.serialNumber = Cp1250ToUtf8(from->second);
    }
    ExportTableXlsx(tables_, tab, path, info);
}

void MainWindow::ShowAbout() {
    if (!windows_.about) return;
    windows_.about->show();
    windows_.about->raise();
    windows_.about->activateWindow();
}

void MainWindow::ShowTab(int index) { tabs_->setCurrentIndex(index); }

void MainWindow::CellsChanged(TableId table, int firstRow, int lastRow) {
    if (TableModel* m = models_[static_cast<int>(table)]) m->CellsChanged(firstRow, lastRow);
}

void MainWindow::Reshaped(TableId table) {
    if (TableModel* m = models_[static_cast<int>(table)]) m->Reshaped();
}

void MainWindow::ModelApplied(int model) { emit ModelSizesApplied(model, false); }

void MainWindow::PluPartApplied(int model) { emit ModelSizesApplied(model, true); }

void MainWindow::closeEvent(QCloseEvent* event) {
    // Closing the main window ends the program, whatever other window is open.
    event->accept();
    QCoreApplication::quit();
}

// ---- The configuration dialog ("Us&tawienia" -> "&Programu") ----

void MainWindow::AttachConfigurationDialog(ConfigurationDialog* dialog) {
    if (configurationDialog_) disconnect(configurationDialog_, nullptr, this, nullptr);
    configurationDialog_ = dialog;
    if (!dialog) return;
    connect(dialog, &ConfigurationDialog::applyRequested, this, &MainWindow::ApplyConfiguration);
    if (auto* item = findChild<QAction*>("configurationAction"))
        connect(item, &QAction::triggered, this, &MainWindow::ShowConfiguration,
                Qt::UniqueConnection);
}

void MainWindow::ShowConfiguration() {
    if (!configurationDialog_) return;
    // Not modal: the main window stays usable beside it.
    configurationDialog_->show();
    configurationDialog_->raise();
    configurationDialog_->activateWindow();
}

void MainWindow::ApplyConfiguration(const ConfigurationTexts& texts) {
    // A transfer, a reading or a file operation that lets the window handle
    // events must not find its port closed or its tables reshaped under it.
    // The file already holds the new values, so they come with the next start.
    const bool applied = RunExclusive([this, &texts] {
        link_.ClosePort();

        // Speed, time-out and PLU texts that are no numbers keep the values in
        // force; the error-handling mode stays as it is until the next start.
        config_ = AppliedConfiguration(config_, texts);
        LinkSettings& link = link_.Settings();
        link.portName = config_.portName;
        link.baud = config_.baud;
        link.pollLimit = config_.pollLimit;
        link.logging = config_.logging;
        const int pluInForce = tables_.PluCount();
        tables_.SetPluCount(config_.pluCount);
        link_.OpenPort(config_.portName);  // a port that fails shows as no answer later

        onLine_ = false;
        CurrentUi().Message("Włączono tryb OFF-LINE!!!\rPrzejdź do zakładki <Funkcje serwisowe>\r"
                            "Użyj przycisku <Sprawdź połączenie>,\raby uruchomić tryb ON-LINE");
        SetRegisterControlsEnabled(false);
        // Refused because records would be lost: the model and every size stay.
        if (!ApplyModelAsking(tables_, 0, PluRule::Configured)) tables_.SetPluCount(pluInForce);
        ShowOffLine(U("??????"));
        update();
    });
    if (!applied)
        CurrentUi().Message("Trwa wymiana danych - zmiany zostaną uwzględnione przy następnym "
                            "uruchomieniu programu",
                            "Uwaga!", UiIcon::Warning);
}

// ---- "P&rogramowanie" -> "&Wyślij do wielu kas…" ----

ManyRegistersDialog* MainWindow::ManyRegisters() {
    if (!manyRegisters_) manyRegisters_ = new ManyRegistersDialog(*this);
    return manyRegisters_;
}

void MainWindow::ShowManyRegisters() {
    // Not modal: the window's own register stays at hand beside it.
    ManyRegistersDialog* dialog = ManyRegisters();
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
