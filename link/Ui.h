// The one way the core talks to the person at the screen.
//
// Link, transfer, table and file code never opens a window: it calls this
// interface. The main window implements it with message boxes, progress bars
// and labels; tests implement it with a recorder (tests/support/RecordingUi.h)
// that answers questions from a script and keeps every text shown.
//
// Message texts are UTF-8: they are the program's own Polish messages. Cell
// texts (Windows-1250) that go into a message are converted by the caller.
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class UiIcon { None, Information, Warning, Error, Question };

// The progress bars the sequences drive.
enum class UiBar {
    Main,     // below the tabs: transfers and data-file operations
    Overall,  // service tab: the all-tables runs
};

// Labels the sequences write to.
enum class UiLabel {
    Progress,    // service tab: "Całkowity postęp:\t..."
    PluTab,      // PLU tab: "Odczytano: n PLU"
    ServicePlu,  // service tab: "Odczytalem PLU nr : n"
};

class Ui {
public:
    // The introduction, the lines and the closing text, each on its own line.
    static std::string JoinedList(const std::string& intro, const std::vector<std::string>& lines,
                                  const std::string& closing) {
        std::string text = intro + "\r";
        for (const std::string& line : lines) text += line + "\r";
        return text + "\r" + closing;
    }

    virtual ~Ui() = default;

    // A modal box with one OK button; returns when it is confirmed.
    // An empty caption means the platform's default caption.
    virtual void Message(const std::string& text, const std::string& caption = {},
                         UiIcon icon = UiIcon::None) = 0;
    // A modal Yes/No box; true for Yes.
    virtual bool Question(const std::string& text, const std::string& caption = {},
                          UiIcon icon = UiIcon::Question) = 0;
    // A modal box with an introduction, a list of lines (one problem each)
    // and a closing text; the window shows the list in a scrolled field.
    virtual void MessageWithList(const std::string& intro, const std::vector<std::string>& lines,
                                 const std::string& closing) {
        Message(JoinedList(intro, lines, closing), {}, UiIcon::Warning);
    }
    // The same with a Yes/No question as the closing text; true for Yes.
    virtual bool QuestionWithList(const std::string& intro, const std::vector<std::string>& lines,
                                  const std::string& question) {
        return Question(JoinedList(intro, lines, question), {}, UiIcon::Warning);
    }
    // A modal input box; empty optional when cancelled.
    virtual std::optional<std::string> Input(const std::string& prompt, const std::string& caption,
                                             const std::string& initial) = 0;

    virtual void ProgressShow(UiBar bar, int maximum) = 0;  // position 0, visible
    virtual void ProgressSetMaximum(UiBar bar, int maximum) = 0;
    virtual void ProgressSetValue(UiBar bar, int value) = 0;
    virtual void ProgressStep(UiBar bar, int by = 1) = 0;   // stops at the maximum
    virtual void ProgressHide(UiBar bar) = 0;

    virtual void ShowLabel(UiLabel label, bool visible) = 0;
    virtual void SetLabel(UiLabel label, const std::string& text) = 0;

    // Let the window handle pending events and repaint.
    virtual void ProcessEvents() = 0;

    // True when the person asked to stop the running transfer (a stop button,
    // Esc, Ctrl+C). Long sequences ask between records and end there.
    virtual bool StopRequested() { return false; }

    // Put the PLU table's cursor on column 0 of record row `row` (1-based) and
    // give the table the focus, but only when the PLU tab is the one showing.
    virtual void PluCursor(int row) {}
};

// Shows nothing, answers every question "No" and every input as cancelled:
// the stand-in until a Ui is installed, and a base for Uis that care about
// only a few of the calls (benchmarks, fuzz targets).
class SilentUi : public Ui {
public:
    void Message(const std::string&, const std::string&, UiIcon) override {}
    bool Question(const std::string&, const std::string&, UiIcon) override { return false; }
    std::optional<std::string> Input(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void ProgressShow(UiBar, int) override {}
    void ProgressSetMaximum(UiBar, int) override {}
    void ProgressSetValue(UiBar, int) override {}
    void ProgressStep(UiBar, int) override {}
    void ProgressHide(UiBar) override {}
    void ShowLabel(UiLabel, bool) override {}
    void SetLabel(UiLabel, const std::string&) override {}
    void ProcessEvents() override {}
};

// The process-wide user interface. Never null: until the program or a test
// installs one, a silent stand-in answers "No" and shows nothing.
Ui& CurrentUi();
void InstallUi(Ui* ui);  // nullptr restores the silent stand-in
