#include "WieleKas.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "Cp1250.h"
#include "Main.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "Ui.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }
QString U(const std::string& utf8) { return QString::fromStdString(utf8); }
QString FromCp1250(const std::string& text) { return QString::fromStdString(Cp1250ToUtf8(text)); }

constexpr int kPermille = 1000;

const char* const kOwnPortText = "Port okna programu: pominięty (do tej kasy wysyła okno programu)";
const char* const kBusyWindowText = "Trwa wymiana danych z kasą - wyślij po jej zakończeniu";

bool SamePort(const std::string& a, const std::string& b) {
#ifdef _WIN32
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;  // COM3 = com3
#else
    return a == b;
#endif
}

std::string SearchText(const PortProbe& p) {
    switch (p.outcome) {
    case ProbeOutcome::Answered: return "Kasa odpowiada (" + std::to_string(p.baud) + " Bd)";
    case ProbeOutcome::Silent: return "Brak odpowiedzi";
    case ProbeOutcome::Busy: return "Port zajęty przez inny program";
    case ProbeOutcome::CannotOpen: return "Nie można otworzyć portu";
    case ProbeOutcome::NotTried: break;
    }
    return "Nie sprawdzono (przerwano)";
}

}  // namespace

// ---- the rows and the workers ---------------------------------------------------

struct ManyRegistersDialog::Row {
    std::string port;
    bool own = false;  // the main window's port: the window's connection holds it
    int baud = 0;      // the speed the search found a register at; 0: the configured one
    std::optional<RegisterRunResult::Kind> result;
    QProgressBar* bar = nullptr;
};

// A worker's Ui: its notes and progress go to the register's row (row -1:
// the search's line) as queued signals; no widget is touched from the worker.
class ManyRegistersDialog::WorkerUi final : public RunUi {
public:
    WorkerUi(ManyRegistersDialog& dialog, int run, int row)
        : RunUi(dialog.stopRequested_), dialog_(dialog), run_(run), row_(row) {}

protected:
    void Note(const std::string& text) override { emit dialog_.rowNoted(run_, row_, U(text)); }
    void Progress(int permille) override {
        if (row_ >= 0)
            emit dialog_.rowProgressed(run_, row_, permille);
        else
            emit dialog_.searchProgressed(permille);
    }

private:
    ManyRegistersDialog& dialog_;
    int run_, row_;
};

struct ManyRegistersDialog::Worker {
    int row = -1;
    std::unique_ptr<WorkerUi> ui;
    RegisterRunResult result;  // written by the thread; read once it is joined
    std::thread thread;
};

// ---- the dialog ---------------------------------------------------------------

ManyRegistersDialog::ManyRegistersDialog(MainWindow& window)
    : QDialog(&window), window_(window), portSource_(ListSerialPorts) {
    setObjectName("manyRegisters");
    setWindowTitle(U(kManyRegistersCaption));
    resize(760, 420);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName("registers");
    table_->setHorizontalHeaderLabels({U("Port"), U("Model"), U("Nr fabryczny"), U("Postęp"), U("Wynik")});
    table_->verticalHeader()->hide();
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setSelectionMode(QAbstractItemView::NoSelection);
    table_->setColumnWidth(PortColumn, 140);
    table_->setColumnWidth(ModelColumn, 150);
    table_->setColumnWidth(SerialColumn, 100);
    table_->setColumnWidth(ProgressColumn, 110);
    table_->horizontalHeader()->setStretchLastSection(true);

    detect_ = new QPushButton(U("Wykryj kasy"), this);
    detect_->setObjectName("detect");
    searchBar_ = new QProgressBar(this);
    searchBar_->setRange(0, kPermille);
    searchBar_->setTextVisible(false);
    searchBar_->hide();
    status_ = new QLabel(this);
    status_->setObjectName("status");
    auto* searchLine = new QHBoxLayout();
    searchLine->addWidget(detect_);
    searchLine->addWidget(searchBar_, 1);
    searchLine->addWidget(status_, 2);

    auto* what = new QGroupBox(U("Co wysłać"), this);
    allTables_ = new QRadioButton(U("Wszystkie tabele"), what);
    allTables_->setObjectName("allTables");
    changes_ = new QRadioButton(U("Tylko zmiany"), what);
    changes_->setObjectName("changesOnly");
    allTables_->setChecked(true);
    auto* whatLayout = new QHBoxLayout(what);
    whatLayout->addWidget(allTables_);
    whatLayout->addWidget(changes_);
    whatLayout->addStretch(1);

    send_ = new QPushButton(U("Wyślij"), this);
    send_->setObjectName("send");
    stop_ = new QPushButton(U("Przerwij"), this);
    stop_->setObjectName("stop");
    close_ = new QPushButton(U("Zamknij"), this);
    close_->setObjectName("close");
    send_->setAutoDefault(false);
    stop_->setAutoDefault(false);
    close_->setAutoDefault(false);
    detect_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(send_);
    buttons->addWidget(stop_);
    buttons->addStretch(1);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(table_, 1);
    layout->addLayout(searchLine);
    layout->addWidget(what);
    layout->addLayout(buttons);

    connect(detect_, &QPushButton::clicked, this, &ManyRegistersDialog::DetectClicked);
    connect(send_, &QPushButton::clicked, this, &ManyRegistersDialog::SendClicked);
    connect(stop_, &QPushButton::clicked, this, &ManyRegistersDialog::StopClicked);
    connect(close_, &QPushButton::clicked, this, &ManyRegistersDialog::reject);
    connect(table_, &QTableWidget::itemChanged, this, [this] { UpdateControls(); });

    // The workers' words arrive in the dialog's own thread, in order.
    connect(this, &ManyRegistersDialog::rowNoted, this, &ManyRegistersDialog::RowNoted, Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::rowProgressed, this, &ManyRegistersDialog::RowProgressed,
            Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::rowIdentified, this, &ManyRegistersDialog::RowIdentified,
            Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::rowFinished, this, &ManyRegistersDialog::RowFinished,
            Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::searchProgressed, this,
            [this](int permille) { searchBar_->setValue(permille); }, Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::rowNoted, this, [this](int run, int row, const QString& text) {
        if (row < 0 && run == run_) status_->setText(text);  // the search's "Sprawdzam port ..."
    }, Qt::QueuedConnection);
    connect(this, &ManyRegistersDialog::searchFinished, this, &ManyRegistersDialog::SearchEnded,
            Qt::QueuedConnection);

    RefreshPorts();
}

ManyRegistersDialog::~ManyRegistersDialog() { StopAndWait(); }

void ManyRegistersDialog::SetPortSource(std::function<std::vector<SerialPortInfo>()> source) {
    portSource_ = source ? std::move(source) : ListSerialPorts;
    RefreshPorts();
}

void ManyRegistersDialog::RefreshPorts() {
    if (Running()) return;
    // A port listed before keeps its tick and what its row shows.
    struct Kept {
        Row row;
        bool ticked;
        QString texts[ColumnCount];
        int value;
    };
    std::vector<Kept> kept;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        Kept k{rows_[static_cast<std::size_t>(r)], IsTicked(r), {}, rows_[static_cast<std::size_t>(r)].bar->value()};
        for (int c = 0; c < ColumnCount; ++c) k.texts[c] = Text(r, static_cast<Column>(c));
        kept.push_back(std::move(k));
    }

    const QSignalBlocker block(table_);
    table_->setRowCount(0);
    rows_.clear();
    const std::string own = window_.Link().Settings().portName;
    for (const SerialPortInfo& info : portSource_()) {
        const int r = static_cast<int>(rows_.size());
        Row row;
        row.port = info.name;
        row.own = SamePort(info.name, own);
        table_->insertRow(r);
        QString shown = U(info.name);
        if (!info.description.empty()) shown += U(" — ") + U(info.description);
        auto* port = new QTableWidgetItem(shown);
        port->setData(Qt::UserRole, U(info.name));
        if (row.own) {
            port->setFlags(Qt::NoItemFlags);  // shown, not chosen
        } else {
            port->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            port->setCheckState(Qt::Unchecked);
        }
        table_->setItem(r, PortColumn, port);
        for (int c = ModelColumn; c < ColumnCount; ++c)
            if (c != ProgressColumn) table_->setItem(r, c, new QTableWidgetItem());
        row.bar = new QProgressBar(table_);
        row.bar->setRange(0, kPermille);
        row.bar->setValue(0);
        table_->setCellWidget(r, ProgressColumn, row.bar);
        if (row.own) SetText(r, ResultColumn, U(kOwnPortText));

        auto old = std::find_if(kept.begin(), kept.end(), [&](const Kept& k) { return k.row.port == row.port; });
        if (old != kept.end() && !row.own && !old->row.own) {
            row.baud = old->row.baud;
            row.result = old->row.result;
            port->setCheckState(old->ticked ? Qt::Checked : Qt::Unchecked);
            for (int c = ModelColumn; c < ColumnCount; ++c)
                if (c != ProgressColumn) table_->item(r, c)->setText(old->texts[c]);
            row.bar->setValue(old->value);
        }
        rows_.push_back(row);
    }
    UpdateControls();
}

void ManyRegistersDialog::showEvent(QShowEvent* event) {
    // A USB adapter plugged in since the dialog was last shown is listed.
    RefreshPorts();
    QDialog::showEvent(event);
}

int ManyRegistersDialog::RowOf(const QString& port) const {
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        if (SamePort(rows_[static_cast<std::size_t>(r)].port, port.toStdString())) return r;
    return -1;
}

bool ManyRegistersDialog::IsTicked(int row) const {
    const QTableWidgetItem* item = table_->item(row, PortColumn);
    return item && (item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked;
}

void ManyRegistersDialog::SetTicked(int row, bool ticked) {
    QTableWidgetItem* item = table_->item(row, PortColumn);
    if (item && (item->flags() & Qt::ItemIsUserCheckable)) item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
}

QString ManyRegistersDialog::Text(int row, Column column) const {
    const QTableWidgetItem* item = table_->item(row, column);
    return item ? item->text() : QString();
}

QProgressBar* ManyRegistersDialog::RowBar(int row) const {
    return row >= 0 && row < static_cast<int>(rows_.size()) ? rows_[static_cast<std::size_t>(row)].bar : nullptr;
}

std::optional<RegisterRunResult::Kind> ManyRegistersDialog::Result(int row) const {
    if (row < 0 || row >= static_cast<int>(rows_.size())) return std::nullopt;
    return rows_[static_cast<std::size_t>(row)].result;
}

void ManyRegistersDialog::SetText(int row, Column column, const QString& text) {
    if (QTableWidgetItem* item = table_->item(row, column)) item->setText(text);
}

void ManyRegistersDialog::UpdateControls() {
    const bool running = Running();
    bool anyTicked = false;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) anyTicked = anyTicked || IsTicked(r);
    detect_->setEnabled(!running);
    send_->setEnabled(!running && anyTicked);
    stop_->setEnabled(running);
    allTables_->setEnabled(!running);
    changes_->setEnabled(!running);
}

// ---- the search ------------------------------------------------------------------

void ManyRegistersDialog::DetectClicked() {
    if (Running()) return;
    searched_.clear();
    for (const Row& row : rows_)
        if (!row.own) searched_.push_back(row.port);
    if (searched_.empty()) return;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        if (!rows_[static_cast<std::size_t>(r)].own) SetText(r, ResultColumn, QString());

    ++run_;
    stopRequested_ = false;
    found_.clear();
    searchBar_->setValue(0);
    searchBar_->show();
    auto ui = std::make_shared<WorkerUi>(*this, run_, -1);
    searcher_ = std::thread([this, ui, ports = searched_, options = detection_] {
        // A connection of the search's own: the window's port stays the
        // window's (it is not among the ports searched).
        Connection none;
        none.SetUi(ui.get());
        found_ = DetectRegister(none, ports, *ui, options);
        emit searchFinished();
    });
    UpdateControls();
}

void ManyRegistersDialog::SearchEnded() {
    if (!searcher_.joinable()) return;  // already waited out
    searcher_.join();
    searchBar_->hide();
    status_->clear();
    int answered = 0;
    for (const PortProbe& probe : found_) {
        const int r = RowOf(U(probe.port));
        if (r < 0) continue;
        Row& row = rows_[static_cast<std::size_t>(r)];
        const bool found = probe.outcome == ProbeOutcome::Answered;
        if (probe.outcome != ProbeOutcome::NotTried) SetTicked(r, found);
        SetText(r, ResultColumn, U(SearchText(probe)));
        if (found) {
            ++answered;
            row.baud = probe.baud;
            SetText(r, ModelColumn, FromCp1250(probe.id.shownModel));
            SetText(r, SerialColumn, FromCp1250(probe.id.serial));
        }
    }
    status_->setText(U("Znalezione kasy: ") + QString::number(answered));
    UpdateControls();
    emit detectionFinished();
}

// ---- the send --------------------------------------------------------------------

void ManyRegistersDialog::SendClicked() {
    if (Running()) return;
    std::vector<int> rows;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r)
        if (IsTicked(r)) rows.push_back(r);
    if (rows.empty()) return;
    // The tables as they are now; not while a transfer of the window's is
    // filling them.
    std::shared_ptr<TableSet> snapshot;
    const bool copied = window_.RunExclusive([&] {
        snapshot = std::make_shared<TableSet>(window_.Tables());
        snapshot->SetListener(nullptr);  // the window's grids follow the window's tables only
    });
    if (!copied) {
        CurrentUi().Message(kBusyWindowText, "Uwaga!", UiIcon::Warning);
        return;
    }
    snapshot_ = std::move(snapshot);
    StartRun(rows, changes_->isChecked() ? ManySendMode::Changes : ManySendMode::AllTables);
}

void ManyRegistersDialog::StartRun(const std::vector<int>& rows, ManySendMode mode) {
    ++run_;
    stopRequested_ = false;
    mode_ = mode;
    status_->clear();
    const Configuration& config = window_.Settings();
    for (int r : rows) {
        Row& row = rows_[static_cast<std::size_t>(r)];
        row.result.reset();
        row.bar->setValue(0);
        SetText(r, ResultColumn, U("Łączę z kasą"));

        RegisterTarget target;
        target.port = row.port;
        target.baud = row.baud > 0 ? row.baud : config.baud;
        target.pollLimit = config.pollLimit;
        target.errorMode = config.errorMode;

        auto worker = std::make_unique<Worker>();
        worker->row = r;
        worker->ui = std::make_unique<WorkerUi>(*this, run_, r);
        Worker* w = worker.get();
        const int run = run_;
        // Each register gets its own copy of the tables, made here before its
        // thread starts.
        w->thread = std::thread([this, w, run, target, mode, tables = TableSet(*snapshot_)] {
            {
                Connection link;
                link.UsePort(std::make_unique<NativeSerialPort>());
                w->result = SendToRegister(link, *w->ui, target, tables, mode, [&](const Identification& id) {
                    emit rowIdentified(run, w->row, FromCp1250(id.shownModel), FromCp1250(id.serial));
                });
            }  // the port is closed before the row is told
            emit rowFinished(run, w->row);
        });
        workers_.push_back(std::move(worker));
    }
    UpdateControls();
}

void ManyRegistersDialog::StopClicked() { stopRequested_ = true; }

void ManyRegistersDialog::RowNoted(int run, int row, const QString& text) {
    if (run != run_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
    SetText(row, ResultColumn, text);
}

void ManyRegistersDialog::RowProgressed(int run, int row, int permille) {
    if (run != run_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
    rows_[static_cast<std::size_t>(row)].bar->setValue(permille);
}

void ManyRegistersDialog::RowIdentified(int run, int row, const QString& model, const QString& serial) {
    if (run != run_ || row < 0 || row >= static_cast<int>(rows_.size())) return;
    SetText(row, ModelColumn, model);
    SetText(row, SerialColumn, serial);
}

void ManyRegistersDialog::RowFinished(int run, int row) {
    if (run != run_) return;
    auto it = std::find_if(workers_.begin(), workers_.end(), [row](const auto& w) { return w->row == row; });
    if (it == workers_.end()) return;
    Worker& w = **it;
    w.thread.join();  // it has told its row: only its return is left
    Row& r = rows_[static_cast<std::size_t>(row)];
    r.result = w.result.kind;
    SetText(row, ResultColumn, U(w.result.text));
    if (w.result.kind == RegisterRunResult::Kind::Sent) r.bar->setValue(kPermille);
    workers_.erase(it);
    if (workers_.empty()) RunEnded();
}

void ManyRegistersDialog::RunEnded() {
    int sent = 0, all = 0;
    std::vector<int> needFull;
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const auto& result = rows_[static_cast<std::size_t>(r)].result;
        if (!result) continue;
        ++all;
        sent += *result == RegisterRunResult::Kind::Sent;
        if (*result == RegisterRunResult::Kind::FullSendNeeded) needFull.push_back(r);
    }
    status_->setText(U("Wysłano do ") + QString::number(sent) + U(" z ") + QString::number(all) + U(" kas"));
    UpdateControls();

    // Registers whose copy could not be used: one question for all of them.
    if (mode_ == ManySendMode::Changes && !stopRequested_ && !needFull.empty()) {
        std::string ports;
        std::vector<std::string> lines;
        for (int r : needFull) {
            const std::string port = rows_[static_cast<std::size_t>(r)].port;
            ports += (ports.empty() ? "" : ", ") + port;
            const std::string serial = Text(r, SerialColumn).toStdString();
            lines.push_back(port + (serial.empty() ? "" : ", nr fabryczny " + serial) + ": " +
                            Text(r, ResultColumn).toStdString());
        }
        if (CurrentUi().QuestionWithList("Kasy " + ports + " nie mają aktualnej kopii:", lines,
                                         "Wysłać do nich wszystkie tabele?")) {
            StartRun(needFull, ManySendMode::AllTables);
            return;
        }
    }
    emit runFinished();
}

void ManyRegistersDialog::StopAndWait() {
    if (!Running()) return;
    stopRequested_ = true;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    SearchEnded();
    for (auto& w : workers_) {
        w->thread.join();
        Row& r = rows_[static_cast<std::size_t>(w->row)];
        r.result = w->result.kind;
        SetText(w->row, ResultColumn, U(w->result.text));
    }
    workers_.clear();
    ++run_;  // what the threads queued before they ended is late now
    QApplication::restoreOverrideCursor();
    UpdateControls();
}

void ManyRegistersDialog::reject() {
    // Closing stops every register between two records and waits for them.
    StopAndWait();
    QDialog::reject();
}
