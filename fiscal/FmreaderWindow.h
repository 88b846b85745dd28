// The fiscal memory window "Odczyt pamięci": reads the register's fiscal
// memory into the daily reports, PTU changes and RAM resets tables, shows the
// unique number and NIP, and finds records by date or number.
//
// It lives for the whole run, hidden. Open() checks the register's work mode
// and shows the window; showing it starts a fresh reading after the start
// timer (1000 ms). Hiding it in any way (the close box, "OK", "Plik" ->
// "Wyjście") stops a running reading before its next record. While a reading
// runs, readingActive(true) tells the main window to keep its register
// controls disabled, so no other command meets the reading on the line.
//
// When no reading runs, what was read can be saved as three spreadsheet
// files ("Eksport do CSV…") and looked at as a period report with a chart
// ("Raport i wykres…"). A reading that lacks records (no answer, or stopped)
// says which in the busy label, and so do the files, the report and its
// printout: partial sums never pass for the register's.
#pragma once

#include <QDialog>

#include <array>

#include "Fmreader.h"
#include "Raport.h"

class QAction;
class QLabel;
class QPushButton;
class QTableView;
class Connection;
class QTimer;
class FiscalTableModel;
class FiscalReportDialog;

class FmreaderWindow : public QDialog {
    Q_OBJECT
public:
    explicit FmreaderWindow(Connection& link, QWidget* parent = nullptr);
    ~FmreaderWindow() override;

    // Reads the information block ("0N"): in training mode shows
    // "Kasa jest w trybie szkoleniowym\r" and stays closed (false); otherwise
    // shows the window (true), which starts a reading when it was hidden.
    bool Open();

    // The start timer's delay and the blink period, 1000 ms each; tests
    // shorten them.
    void SetIntervals(int startMs, int blinkMs);

    bool Reading() const { return reading_; }
    // What the last reading lacks; complete when nothing.
    const FiscalGaps& Gaps() const { return gaps_; }
    const FiscalTable& Table(FiscalKind kind) const;
    QTableView* View(FiscalKind kind) const;
    QString UniqueNumberText() const;
    QString NipText() const;
    QLabel* BusyLabel() const { return busyLabel_; }
    // "Przerwij", shown while a reading runs.
    QPushButton* StopButton() const { return stopButton_; }
    QPushButton* ExportButton() const { return exportButton_; }
    QPushButton* ReportButton() const { return reportButton_; }
    // The report window last opened by "Raport i wykres…"; null before.
    FiscalReportDialog* ReportWindow() const { return report_; }

    // The three tables into `folder`, one file each ("Raporty dobowe.csv",
    // "Stawki PTU.csv", "Zerowania RAM.csv", the unique number in front when
    // it was read). Files there already are replaced only when the person
    // says so. True when all three were written; a file that could not be is
    // reported and the others are still written.
    bool ExportCsv(const QString& folder);
    // The names ExportCsv gives the files.
    QStringList CsvFileNames() const;
    // "Raport i wykres…": a report window on a copy of the tables.
    void OpenReport();

signals:
    // True when a reading starts, false when it has ended or stopped.
    void readingActive(bool active);

public:
    // "OK" and "Plik" -> "Wyjście": empty the tables and hide.
    void CloseWithOk();
    // "Szukaj rekordu" -> the table's "Wg. daty" / "Wg. numeru".
    void SearchByDate(FiscalKind kind);
    void SearchByNumber(FiscalKind kind);
    // "Przerwij" and Esc while reading: the reading ends before its next
    // record; the window stays open with what was read.
    void StopReading();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void BuildMenu();
    void OnStartTimer();
    void OnBlink();
    void RunReading();
    void Search(FiscalKind kind, int column, const std::string& prompt, const std::string& initial);
    void ShowRowWritten(FiscalKind kind, int row);
    void ResetBusyLabel();
    void EmptyTables();
    void OnExportCsv();
    void SetOutputsEnabled(bool enabled);

    Connection& link_;
    FiscalTables tables_;
    FiscalGaps gaps_;             // what the tables lack
    FiscalReadingOrder order_;    // the rows in reading order, across the tables
    FiscalSearch search_;
    std::array<FiscalTableModel*, kFiscalKindCount> models_{};
    std::array<QTableView*, kFiscalKindCount> views_{};

    QLabel* uniqueLabel_ = nullptr;
    QLabel* nipLabel_ = nullptr;
    QLabel* busyLabel_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* exportButton_ = nullptr;
    QPushButton* reportButton_ = nullptr;
    FiscalReportDialog* report_ = nullptr;
    QTimer* startTimer_ = nullptr;
    QTimer* blinkTimer_ = nullptr;

    bool reading_ = false;  // a reading is on the stack
    bool stop_ = false;     // the running reading ends before its next record
    bool restart_ = false;  // shown again while a stopping reading was still on the stack
};
