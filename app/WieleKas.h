// "Wyślij do wielu kas…": the main window's tables to several registers at
// once, one worker thread and one connection per register, each with a copy
// of the tables and a Ui that passes its progress to the register's row.
#pragma once

#include <QDialog>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "Porty.h"
#include "Rozsylanie.h"
#include "Tabele.h"
#include "Wykrywanie.h"

class MainWindow;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTableWidget;

class ManyRegistersDialog : public QDialog {
    Q_OBJECT
public:
    // The table's columns.
    enum Column { PortColumn, ModelColumn, SerialColumn, ProgressColumn, ResultColumn, ColumnCount };

    explicit ManyRegistersDialog(MainWindow& window);
    ~ManyRegistersDialog() override;  // stops the workers and waits for them

    // Where the port list comes from (the computer's serial ports unless set),
    // and how "Wykryj kasy" searches them.
    void SetPortSource(std::function<std::vector<SerialPortInfo>()> source);
    void SetDetectionOptions(const DetectionOptions& options) { detection_ = options; }
    // Lists the ports again; ticks and results go. Not while anything runs.
    void RefreshPorts();

    QTableWidget* Table() const { return table_; }
    QPushButton* DetectButton() const { return detect_; }
    QPushButton* SendButton() const { return send_; }
    QPushButton* StopButton() const { return stop_; }
    QPushButton* CloseButton() const { return close_; }
    QRadioButton* AllTablesChoice() const { return allTables_; }
    QRadioButton* ChangesChoice() const { return changes_; }
    QLabel* StatusLabel() const { return status_; }

    // The row of a port; -1 when it is not listed.
    int RowOf(const QString& port) const;
    bool IsTicked(int row) const;
    void SetTicked(int row, bool ticked);
    QString Text(int row, Column column) const;
    QProgressBar* RowBar(int row) const;
    // The last run's result of the row (a row not sent to: none).
    std::optional<RegisterRunResult::Kind> Result(int row) const;
    // A search or a send is under way.
    bool Running() const { return !workers_.empty() || searcher_.joinable(); }

signals:
    // A send ended on every register it went to (after the full send the
    // changes-only one may have offered), and a search ended.
    void runFinished();
    void detectionFinished();

    // From the worker threads, queued to this dialog's thread.
    void rowNoted(int run, int row, const QString& text);
    void rowProgressed(int run, int row, int permille);
    void rowIdentified(int run, int row, const QString& model, const QString& serial);
    void rowFinished(int run, int row);
    void searchProgressed(int permille);  // its "Sprawdzam port ..." comes as rowNoted of row -1
    void searchFinished();

public slots:
    void DetectClicked();
    void SendClicked();
    void StopClicked();
    void reject() override;  // Esc and the window's close button: stop, wait, hide

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Row;
    struct Worker;
    class WorkerUi;

    void StartRun(const std::vector<int>& rows, ManySendMode mode);
    void RowNoted(int run, int row, const QString& text);
    void RowProgressed(int run, int row, int permille);
    void RowIdentified(int run, int row, const QString& model, const QString& serial);
    void RowFinished(int run, int row);
    void RunEnded();
    void SearchEnded();
    // Stops whatever runs and waits for it; the rows keep what they show.
    void StopAndWait();
    void UpdateControls();
    void SetText(int row, Column column, const QString& text);

    MainWindow& window_;
    std::function<std::vector<SerialPortInfo>()> portSource_;
    DetectionOptions detection_;

    std::vector<Row> rows_;
    std::vector<std::unique_ptr<Worker>> workers_;
    std::atomic<bool> stopRequested_{false};
    int run_ = 0;  // numbers the runs, so a late word from a run waited out is not taken for the next one's
    ManySendMode mode_ = ManySendMode::AllTables;
    std::shared_ptr<const TableSet> snapshot_;  // the window's tables as the run started

    std::thread searcher_;
    std::vector<std::string> searched_;
    std::vector<PortProbe> found_;  // written by the search thread, read after it is joined

    QTableWidget* table_ = nullptr;
    QPushButton* detect_ = nullptr;
    QPushButton* send_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* close_ = nullptr;
    QRadioButton* allTables_ = nullptr;
    QRadioButton* changes_ = nullptr;
    QProgressBar* searchBar_ = nullptr;
    QLabel* status_ = nullptr;
};

// The dialog's caption and the menu item that opens it.
inline constexpr const char* kManyRegistersCaption = "Wyślij do wielu kas";
inline constexpr const char* kManyRegistersItem = "&Wyślij do wielu kas…";
