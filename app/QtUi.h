// The user interface of the core, on the program's widgets: message boxes,
// the Yes/No question, the input box, the progress bars and labels of the
// main window.
#pragma once

#include <QElapsedTimer>
#include <QPointer>

#include "Ui.h"

class QLabel;
class QProgressBar;
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
};

class QtUi final : public Ui {
public:
    void Attach(const QtUiWidgets& widgets);

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override;
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override;
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
    void PluCursor(int row) override;

private:
    QProgressBar* Bar(UiBar bar) const;
    QLabel* Label(UiLabel label) const;

    QPointer<QWidget> parent_;
    QPointer<QProgressBar> mainBar_, overallBar_;
    QPointer<QLabel> progressLabel_, pluTabLabel_, servicePluLabel_;
    QPointer<QTabWidget> tabs_;
    QElapsedTimer lastEvents_;
    QPointer<QTableView> pluGrid_;
};

// The program's texts use "\r" as the line break of the boxes.
QString BoxText(const std::string& text);
