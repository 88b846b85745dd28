#include "FmreaderWindow.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

#include "Cp1250.h"
#include "Dysk.h"
#include "Przebieg.h"
#include "Raport.h"
#include "RaportWindow.h"
#include "Pomoc.h"
#include "Sekwencje.h"
#include "Ui.h"

// Shows one fiscal table in a QTableView: the titles as the column headers,
// record row r as view row r - 1. Its row count follows the table only when
// told, so the view always sees a count that matches what it was told.
class FiscalTableModel : public QAbstractTableModel {
public:
    FiscalTableModel(const FiscalTable& table, QObject* parent)
        : QAbstractTableModel(parent), table_(table), rows_(table.Rows()) {}

    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : rows_; }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : table_.Columns();
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return QString::fromStdString(table_.Cell(index.column(), index.row() + 1));
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (orientation == Qt::Horizontal) return QString::fromStdString(table_.Title(section));
        return section + 1;
    }

    // Record row `row` was written; the table may have grown to hold it.
    void RowWritten(int row) {
        if (table_.Rows() > rows_) {
            beginInsertRows({}, rows_, table_.Rows() - 1);
            rows_ = table_.Rows();
            endInsertRows();
        }
        emit dataChanged(index(row - 1, 0), index(row - 1, table_.Columns() - 1));
    }
    // The table was emptied or reshaped as a whole.
    void Reset() {
        beginResetModel();
        rows_ = table_.Rows();
        endResetModel();
    }

private:
    const FiscalTable& table_;
    int rows_;
};

namespace {

const char* const kCaption = "Odczyt pamięci";
const char* const kBusy = "Pobieram dane proszę czekać";
const char* const kDone = "Dane pobrano";
constexpr int kIdentityRecord = 4;  // the fiscal memory record that holds the identity
const char* const kTraining = "Kasa jest w trybie szkoleniowym\r";
const char* const kSearchCaption = "Wyszukiwanie rekordu";
const char* const kDatePrompt = "Podaj datę szukanego rekordu";
const char* const kNumberPrompt = "Podaj numer szukanego rekordu";
const char* const kDateInitial = "rrrr-mm-dd";
const char* const kNumberInitial = "0";
const char* const kExportCaption = "Eksport do CSV";

const QColor kRed(255, 0, 0);
const QColor kTeal(0, 128, 128);
const QColor kIncompleteColor(170, 0, 0);

constexpr int kDefaultIntervalMs = 1000;
constexpr int kEventsEveryMs = 20;

// Menu texts of the three searches, in the order of FiscalKind.
const char* const kSearchMenus[kFiscalKindCount] = {
    "Szukaj raportu dobowego", "Szukaj zmiany stawek PTU", "Szukaj zerowania  RAM"};
const char* const kObjectNames[kFiscalKindCount] = {"dailyReports", "ptuChanges", "ramResets"};

void SetLabelColor(QLabel* label, const QColor& color) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, color);
    label->setPalette(p);
}

QString FromCp1250(const std::string& text) { return QString::fromStdString(Cp1250ToUtf8(text)); }

// Widens each column, where needed, to its title and to the longest text its
// field can show, as the view itself measures a cell: a date or an amount is
// never cut short.
void FitColumns(QTableView* view, FiscalKind kind) {
    QHeaderView* header = view->horizontalHeader();
    QStyleOptionViewItem cell;
    cell.initFrom(view);
    cell.font = view->font();
    cell.fontMetrics = view->fontMetrics();
    cell.features = QStyleOptionViewItem::HasDisplay;
    cell.displayAlignment = Qt::AlignLeft | Qt::AlignVCenter;
    const int grid = view->showGrid() ? 1 : 0;
    for (int c = 0; c < header->count(); ++c) {
        cell.text = QString::fromStdString(FiscalColumnSample(kind, c));
        const int text =
            view->style()->sizeFromContents(QStyle::CT_ItemViewItem, &cell, QSize(), view).width() + grid;
        view->setColumnWidth(c, std::max({header->defaultSectionSize(), header->sectionSizeHint(c), text}));
    }
}

}  // namespace

FmreaderWindow::FmreaderWindow(Connection& link, QWidget* parent)
    : QDialog(parent), link_(link), tables_(MakeFiscalTables()) {
    setObjectName("Fmreader");
    setWindowTitle(QString::fromUtf8(kCaption));
    setModal(false);
    resize(900, 640);

    auto* layout = new QVBoxLayout(this);
    BuildMenu();

    auto* identity = new QGridLayout();
    identity->addWidget(new QLabel(QStringLiteral("Nr unikatowy"), this), 0, 0);
    uniqueLabel_ = new QLabel(this);
    uniqueLabel_->setObjectName("uniqueNumber");
    identity->addWidget(uniqueLabel_, 0, 1);
    identity->addWidget(new QLabel(QStringLiteral("NIP podatnika"), this), 1, 0);
    nipLabel_ = new QLabel(this);
    nipLabel_->setObjectName("nip");
    identity->addWidget(nipLabel_, 1, 1);
    identity->setColumnStretch(2, 1);
    busyLabel_ = new QLabel(this);
    busyLabel_->setObjectName("busy");
    QFont bold = busyLabel_->font();
    bold.setBold(true);
    busyLabel_->setFont(bold);
    // On the right, in all the width the identity leaves: a list of missing
    // records wraps there.
    busyLabel_->setWordWrap(true);
    busyLabel_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    identity->addWidget(busyLabel_, 0, 2, 2, 1);
    ResetBusyLabel();
    busyLabel_->hide();
    layout->addLayout(identity);

    auto addTable = [&](FiscalKind kind, QBoxLayout* into, int stretch) {
        const auto k = static_cast<std::size_t>(kind);
        auto* box = new QVBoxLayout();
        box->addWidget(new QLabel(QString::fromStdString(tables_[k].Caption()), this));
        models_[k] = new FiscalTableModel(tables_[k], this);
        auto* view = new QTableView(this);
        view->setObjectName(kObjectNames[k]);
        view->setModel(models_[k]);
        view->setSelectionMode(QAbstractItemView::SingleSelection);
        view->setEditTriggers(QAbstractItemView::NoEditTriggers);
        view->verticalHeader()->setVisible(false);
        view->verticalHeader()->setDefaultSectionSize(20);
        view->horizontalHeader()->setDefaultSectionSize(kind == FiscalKind::DailyReport ? 74 : 64);
        FitColumns(view, kind);
        views_[k] = view;
        box->addWidget(view);
        into->addLayout(box, stretch);
    };
    auto* top = new QHBoxLayout();
    addTable(FiscalKind::DailyReport, top, 1);
    layout->addLayout(top, 3);
    auto* bottom = new QHBoxLayout();
    addTable(FiscalKind::PtuChange, bottom, 3);
    addTable(FiscalKind::RamReset, bottom, 1);
    layout->addLayout(bottom, 2);
    // The two small tables side by side show all their columns; the daily
    // reports, wider than any window, scroll.
    for (FiscalKind kind : {FiscalKind::PtuChange, FiscalKind::RamReset}) {
        QTableView* view = View(kind);
        view->setMinimumWidth(view->horizontalHeader()->length() + 2 * view->frameWidth() +
                              view->verticalScrollBar()->sizeHint().width());
    }

    auto* buttons = new QHBoxLayout();
    exportButton_ = new QPushButton(QString::fromUtf8("&Eksport do CSV…"), this);
    exportButton_->setObjectName("exportCsv");
    reportButton_ = new QPushButton(QString::fromUtf8("&Raport i wykres…"), this);
    reportButton_->setObjectName("report");
    for (QPushButton* b : {exportButton_, reportButton_}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    connect(exportButton_, &QPushButton::clicked, this, &FmreaderWindow::OnExportCsv);
    connect(reportButton_, &QPushButton::clicked, this, &FmreaderWindow::OpenReport);
    SetOutputsEnabled(false);  // nothing read yet
    buttons->addStretch(1);
    stopButton_ = new QPushButton(QStringLiteral("Przerwij"), this);
    stopButton_->setObjectName("stop");
    stopButton_->setAutoDefault(false);
    stopButton_->hide();
    buttons->addWidget(stopButton_);
    connect(stopButton_, &QPushButton::clicked, this, &FmreaderWindow::StopReading);
    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("ok");
    ok->setAutoDefault(false);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &FmreaderWindow::CloseWithOk);

    startTimer_ = new QTimer(this);
    startTimer_->setSingleShot(true);
    startTimer_->setInterval(kDefaultIntervalMs);
    connect(startTimer_, &QTimer::timeout, this, &FmreaderWindow::OnStartTimer);
    blinkTimer_ = new QTimer(this);
    blinkTimer_->setInterval(kDefaultIntervalMs);
    connect(blinkTimer_, &QTimer::timeout, this, &FmreaderWindow::OnBlink);

    // A reading must not outlive the program's end, and ends as on a close:
    // without a summary box while the program goes.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
            stop_ = true;
            hide();
        });
}

FmreaderWindow::~FmreaderWindow() {
    // The models read the tables, which go before QDialog hides and deletes
    // its children: take the views and models down while the tables live.
    stop_ = true;
    hide();
    for (QTableView*& v : views_) {
        delete v;
        v = nullptr;
    }
    for (FiscalTableModel*& m : models_) {
        delete m;
        m = nullptr;
    }
}

void FmreaderWindow::BuildMenu() {
    auto* bar = new QMenuBar(this);
    QMenu* file = bar->addMenu(QStringLiteral("Plik"));
    QAction* exit = file->addAction(QString::fromUtf8("Wyjście"));
    exit->setObjectName("exit");
    connect(exit, &QAction::triggered, this, &FmreaderWindow::CloseWithOk);

    QMenu* search = bar->addMenu(QStringLiteral("Szukaj rekordu"));
    for (int k = 0; k < kFiscalKindCount; ++k) {
        const auto kind = static_cast<FiscalKind>(k);
        QMenu* sub = search->addMenu(QString::fromUtf8(kSearchMenus[k]));
        QAction* byDate = sub->addAction(QStringLiteral("Wg. daty"));
        byDate->setObjectName(QString("%1ByDate").arg(kObjectNames[k]));
        connect(byDate, &QAction::triggered, this, [this, kind] { SearchByDate(kind); });
        QAction* byNumber = sub->addAction(QStringLiteral("Wg. numeru"));
        byNumber->setObjectName(QString("%1ByNumber").arg(kObjectNames[k]));
        connect(byNumber, &QAction::triggered, this, [this, kind] { SearchByNumber(kind); });
    }
    layout()->setMenuBar(bar);
}

bool FmreaderWindow::Open() {
    const std::string block = ReadRegisterState(link_);
    if (block.size() >= 4 && block.compare(2, 2, "00") == 0) {
        CurrentUi().Message(kTraining);
        return false;
    }
    if (isVisible()) {
        raise();
        activateWindow();
    } else {
        show();
    }
    return true;
}

void FmreaderWindow::SetIntervals(int startMs, int blinkMs) {
    startTimer_->setInterval(std::max(0, startMs));
    blinkTimer_->setInterval(std::max(1, blinkMs));
}

const FiscalTable& FmreaderWindow::Table(FiscalKind kind) const { return tables_[static_cast<std::size_t>(kind)]; }

QTableView* FmreaderWindow::View(FiscalKind kind) const { return views_[static_cast<std::size_t>(kind)]; }

QString FmreaderWindow::UniqueNumberText() const { return uniqueLabel_->text(); }

QString FmreaderWindow::NipText() const { return nipLabel_->text(); }

void FmreaderWindow::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;  // restored from the task bar: nothing new
    blinkTimer_->start();
    if (reading_) {
        // The reading from before the close is still on the stack and stops at
        // its next record; a fresh one follows it then.
        restart_ = true;
        return;
    }
    startTimer_->start();
}

void FmreaderWindow::hideEvent(QHideEvent* event) {
    QDialog::hideEvent(event);
    if (event->spontaneous()) return;  // minimised: the reading goes on
    stop_ = true;
    restart_ = false;
    startTimer_->stop();
    blinkTimer_->stop();
}

void FmreaderWindow::OnStartTimer() {
    startTimer_->stop();
    if (reading_) return;
    do {
        restart_ = false;
        stop_ = false;
        RunReading();
    } while (restart_ && isVisible());
}

void FmreaderWindow::OnBlink() {
    busyLabel_->setVisible(!busyLabel_->isVisible());
    update();
}

void FmreaderWindow::RunReading() {
    reading_ = true;
    emit readingActive(true);
    EmptyTables();
    search_.Reset();
    ResetBusyLabel();
    uniqueLabel_->clear();
    nipLabel_->clear();
    stopButton_->setEnabled(true);
    stopButton_->show();
    SetOutputsEnabled(false);

    // The identity and the history are one transfer: one question when the
    // register falls silent, one summary of the records without a reply.
    TransferScope transfer(link_, TransferKind::FiscalMemory);
    TransferRecord(link_, kIdentityRecord);
    uniqueLabel_->setText(FromCp1250(ReadFiscalIdentity(link_, 0)));
    nipLabel_->setText(FromCp1250(ReadFiscalIdentity(link_, 1)));

    FiscalReadHooks hooks;
    // Events are handled before a record when a few milliseconds have passed
    // since the last time: the blink, the menus and the close stay as lively
    // as a screen can show, and a register that answers at once is not held
    // up by a repaint of the tables after every record.
    QElapsedTimer sinceEvents;
    hooks.beforeRecord = [&sinceEvents] {
        if (sinceEvents.isValid() && sinceEvents.elapsed() < kEventsEveryMs) return;
        QCoreApplication::processEvents();
        sinceEvents.start();
    };
    hooks.stop = [this] { return stop_; };
    hooks.rowWritten = [this](FiscalKind kind, int row) {
        order_.emplace_back(kind, row);
        ShowRowWritten(kind, row);
    };
    const FiscalReadEnd end = ReadFiscalMemory(link_, tables_, hooks, &gaps_);

    startTimer_->stop();
    blinkTimer_->stop();
    stopButton_->hide();
    // Stopped while the window is open: by "Przerwij", Esc or "Nie" to the
    // question. Stopped by closing it: nothing more is shown or asked.
    const bool closed = end == FiscalReadEnd::Stopped && !isVisible();
    if (!closed) {
        // Also after record 2045 without an end: nothing more is read, so the
        // label must not go on asking the user to wait. A stopped reading or
        // one with records missing says what it lacks instead of "done".
        busyLabel_->setText(gaps_.Complete() ? QString::fromUtf8(kDone)
                                             : QString::fromStdString(FiscalGapsText(gaps_)));
        SetLabelColor(busyLabel_, gaps_.Complete() ? kTeal : kIncompleteColor);
        busyLabel_->show();
    } else {
        transfer.DropSummary();
    }
    reading_ = false;
    SetOutputsEnabled(true);
    emit readingActive(false);
}

void FmreaderWindow::ShowRowWritten(FiscalKind kind, int row) {
    const auto k = static_cast<std::size_t>(kind);
    models_[k]->RowWritten(row);
    views_[k]->setCurrentIndex(models_[k]->index(row - 1, 0));
    views_[k]->setFocus();
}

void FmreaderWindow::CloseWithOk() {
    EmptyTables();
    SetOutputsEnabled(false);
    startTimer_->stop();
    ResetBusyLabel();
    stop_ = true;
    hide();
}

void FmreaderWindow::EmptyTables() {
    gaps_ = {};
    order_.clear();
    for (std::size_t k = 0; k < tables_.size(); ++k) {
        tables_[k].Clear();
        models_[k]->Reset();
        views_[k]->setCurrentIndex(models_[k]->index(0, 0));
    }
}

void FmreaderWindow::ResetBusyLabel() {
    busyLabel_->setText(QString::fromUtf8(kBusy));
    SetLabelColor(busyLabel_, kRed);
}

void FmreaderWindow::SearchByDate(FiscalKind kind) { Search(kind, 1, kDatePrompt, kDateInitial); }

void FmreaderWindow::SearchByNumber(FiscalKind kind) { Search(kind, 0, kNumberPrompt, kNumberInitial); }

void FmreaderWindow::Search(FiscalKind kind, int column, const std::string& prompt, const std::string& initial) {
    // A cancelled box searches for its initial text.
    const std::string text = CurrentUi().Input(prompt, kSearchCaption, initial).value_or(initial);
    const auto k = static_cast<std::size_t>(kind);
    if (const auto row = search_.FindInTable(tables_[k], column, text)) {
        views_[k]->setCurrentIndex(models_[k]->index(*row - 1, column));
        views_[k]->setFocus();
    } else {
        CurrentUi().Message("Nie można odnaleźć „" + text + "”", "Znajdź", UiIcon::Information);
    }
}

void FmreaderWindow::StopReading() {
    if (!reading_) return;
    stop_ = true;
    stopButton_->setEnabled(false);
}

void FmreaderWindow::keyPressEvent(QKeyEvent* event) {
    // Esc stops a running reading and keeps the window with what was read;
    // otherwise it closes the window as in every dialog.
    if (event->key() == Qt::Key_Escape && reading_ && !stop_) {
        StopReading();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FmreaderWindow::SetOutputsEnabled(bool enabled) {
    exportButton_->setEnabled(enabled);
    reportButton_->setEnabled(enabled);
}

QStringList FmreaderWindow::CsvFileNames() const {
    // The unique number in front keeps the files of two registers apart in
    // one folder; only letters, digits and '-' of it go into a file name.
    QString prefix;
    for (QChar c : uniqueLabel_->text())
        if (c.isLetterOrNumber() || c == QLatin1Char('-')) prefix += c;
    if (!prefix.isEmpty()) prefix += QLatin1Char(' ');
    QStringList names;
    for (const FiscalTable& t : tables_) names << prefix + QString::fromStdString(t.Caption()) + QStringLiteral(".csv");
    return names;
}

void FmreaderWindow::OnExportCsv() {
    const QString folder =
        QFileDialog::getExistingDirectory(this, QString::fromUtf8("Eksport do CSV – folder na pliki"), QDir::currentPath());
    if (!folder.isEmpty()) ExportCsv(folder);
}

bool FmreaderWindow::ExportCsv(const QString& folder) {
    const QDir dir(folder);
    const QString shownFolder = QDir::toNativeSeparators(dir.absolutePath());
    const QStringList names = CsvFileNames();
    QStringList existing;
    for (const QString& name : names)
        if (QFileInfo::exists(dir.filePath(name))) existing << name;
    if (!existing.isEmpty() &&
        !CurrentUi().Question(("W folderze „" + shownFolder + "” są już pliki: " + existing.join(", ") +
                               ". Zastąpić je?").toStdString(),
                              kExportCaption))
        return false;

    // Amounts and rates with the separator the person's spreadsheet expects.
    const std::string point = QLocale::system().decimalPoint().toStdString();
    const std::string gaps = FiscalGapsText(gaps_);  // any table may lack the records not read
    bool ok = true;
    for (std::size_t k = 0; k < tables_.size(); ++k) {
        const QString path = dir.filePath(names[static_cast<int>(k)]);
        if (!ReplaceWholeFile(FilePathForCore(path), FiscalTableCsv(tables_[k], point, gaps))) {
            CurrentUi().Message(("Nie można zapisać pliku " + QDir::toNativeSeparators(path)).toStdString(),
                                kExportCaption, UiIcon::Warning);
            ok = false;
        }
    }
    if (ok) {
        std::string done = ("Zapisano pliki " + names.join(", ") + " w folderze „" + shownFolder + "”.").toStdString();
        if (!gaps.empty()) done += " " + gaps + " – zapisano to w pierwszym wierszu każdego pliku.";
        CurrentUi().Message(done, kExportCaption, gaps.empty() ? UiIcon::Information : UiIcon::Warning);
    }
    return ok;
}

void FmreaderWindow::OpenReport() {
    // A fresh window on what is read now; one that was open goes.
    delete report_;
    const ReportHeading heading{uniqueLabel_->text(), nipLabel_->text(), QString::fromStdString(FiscalGapsText(gaps_))};
    report_ = new FiscalReportDialog(tables_, heading, order_, this);
    report_->show();
}
