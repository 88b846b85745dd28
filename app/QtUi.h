// The user interface of the core, on the program's widgets: message boxes,
// the Yes/No question, the input box, the progress bars and labels of the
// main window.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include <memory>

#include "Ui.h"

class InputGate;
class QLabel;
class QProgressBar;
class QPushButton;
class QTabWidget;
class QTableView;
class QWidget;

// The widgets the core writes to; any of them may be missing.
struct QtUiWidgets {
    QWidget* parent = nullptr;  // owner of the message boxes
    QProgressBar* mainBar = nullptr;
    QProgressBar* overallBar = nullptr;
    QLabel* progressLabel = nullptr;    // service tab, "Postęp"
    QLabel* pluTabLabel = nullptr;      // PLU tab, "Odczytano"
    QLabel* servicePluLabel = nullptr;  // service tab, "Odczytalem PLU nr"
    QTabWidget* tabs = nullptr;         // the main window's tabs
    QTableView* pluGrid = nullptr;      // the PLU table, on one of them
    QPushButton* mainStop = nullptr;    // "Przerwij" beside the main bar
    QPushButton* overallStop = nullptr; // "Przerwij" beside the overall bar
    QLabel* mainCount = nullptr;        // records done of all and the time left, beside the main bar
};

// While a progress bar is shown (a transfer, a deletion of a table, a data
// file read or written) the program's windows take no input but "Przerwij"
// and Esc, which stop the operation before its next record; boxes the
// operation opens answer as usual. Repainting goes on.
class QtUi : public Ui {
public:
    QtUi();
    ~QtUi() override;
    void Attach(const QtUiWidgets& widgets);

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override;
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override;
    void MessageWithList(const std::string& intro, const std::vector<std::string>& lines,
                         const std::string& closing) override;
    bool QuestionWithList(const std::string& intro, const std::vector<std::string>& lines,
                          const std::string& question) override;
    std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                     const std::string& initial) override;

    void ProgressShow(UiBar bar, int maximum) override;
    void ProgressSetMaximum(UiBar bar, int maximum) override;
    void ProgressSetValue(UiBar bar, int value) override;
    void ProgressStep(UiBar bar, int by) override;
    void ProgressHide(UiBar bar) override;

    void ShowLabel(UiLabel label, bool visible) override;
    void SetLabel(UiLabel label, const std::string& text) override;

    void ProcessEvents() override;
    bool StopRequested() override;
    void PluCursor(int row) override;

    // A long operation runs: input is held back.
    bool Busy() const { return shown_[0] || shown_[1]; }

private:
    friend class InputGate;
    QProgressBar* Bar(UiBar bar) const;
    QLabel* Label(UiLabel label) const;
    QPushButton* StopButton(UiBar bar) const;
    void BarShown(UiBar bar, bool shown);
    void PaintBar(UiBar bar);
    void Stop();

    bool shown_[2] = {false, false};  // main, overall
    int value_[2] = {0, 0};           // ahead of the widget, which is painted at most every few ms
    QElapsedTimer painted_[2];
    QElapsedTimer mainStarted_;
    bool stop_ = false;
    std::unique_ptr<InputGate> gate_;
    QPointer<QPushButton> mainStop_, overallStop_;
    QPointer<QLabel> mainCount_;

    QPointer<QWidget> parent_;
    QPointer<QProgressBar> mainBar_, overallBar_;
    QPointer<QLabel> progressLabel_, pluTabLabel_, servicePluLabel_;
    QPointer<QTabWidget> tabs_;
    QElapsedTimer lastEvents_;
    QPointer<QTableView> pluGrid_;
};

// The program's texts use "\r" as the line break of the boxes.
QString BoxText(const std::string& text);
