// One register's part of a send to several registers at once: the steps of
// start-up that apply to a port without a window, the identification, the
// model check and the send, on a connection of its own. No Qt here: each
// register runs this on a worker thread of its own, and reports through a
// Ui that never blocks (RunUi).
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "Identyfikacja.h"
#include "Pomoc.h"
#include "Ui.h"

class TableSet;

enum class ManySendMode {
    AllTables,  // the six record tables; the header and the PTU rates too in training mode
    Changes,    // only the records that changed since the register's copy
};

// The port of one register and how to talk to it.
struct RegisterTarget {
    std::string port;
    int baud = 9600;
    int pollLimit = kDefaultPollLimit;
    int errorMode = 1;
};

struct RegisterRunResult {
    enum class Kind {
        Sent,            // everything went out and was answered
        CannotOpen,      // the port did not open (missing or held elsewhere)
        Silent,          // no answer to the identification, or the register fell silent
        OtherModel,      // a register of another model than the tables
        FullSendNeeded,  // changes only: the register's copy cannot be used; `text` says why
        Failed,          // replies missing for some records, or the changes did not all go out
        Stopped,         // "Przerwij"
    };
    Kind kind = Kind::Failed;
    std::string text;   // the register's row, UTF-8
    Identification id;  // as the register named itself (Windows-1250)
};

// The Ui of a run without a window, for a worker thread: nothing modal, no
// widget. Messages become the row's note; every question is answered "Nie"
// (the only one a send asks is "Kasa nie odpowiada. Kontynuować?", so the
// register's run ends there); the main bar's steps become one figure for the
// whole run. Derived classes pass Note and Progress on to the window's thread.
class RunUi : public Ui {
public:
    explicit RunUi(const std::atomic<bool>& stop) : stop_(stop) {}

    // How many bar runs (tables) the run covers; the figure spreads over them.
    void SetParts(int parts) { parts_ = parts < 1 ? 1 : parts; }
    // The question about a silent register was asked (and answered "Nie").
    bool FellSilent() const { return silent_; }

    void Message(const std::string& text, const std::string& caption, UiIcon icon) override;
    bool Question(const std::string& text, const std::string& caption, UiIcon icon) override;
    std::optional<std::string> Input(const std::string&, const std::string&, const std::string&) override {
        return std::nullopt;
    }
    void ProgressShow(UiBar bar, int maximum) override;
    void ProgressSetMaximum(UiBar bar, int maximum) override;
    void ProgressSetValue(UiBar bar, int value) override;
    void ProgressStep(UiBar bar, int by) override;
    void ProgressHide(UiBar) override {}
    void ShowLabel(UiLabel, bool) override {}
    void SetLabel(UiLabel label, const std::string& text) override;
    void ProcessEvents() override {}
    bool StopRequested() override { return stop_.load(); }

protected:
    // A text for the row while the run goes on (UTF-8, one line).
    virtual void Note(const std::string&) {}
    // The run's progress in thousandths; told only when it changes.
    virtual void Progress(int) {}

private:
    void Report();

    const std::atomic<bool>& stop_;
    bool silent_ = false;
    int parts_ = 1;
    int part_ = 0;  // bar runs begun
    int maximum_ = 0, value_ = 0;
    int reported_ = -1;
};

// Opens `target.port` on `link` (which has its port object, e.g. the native
// one), sets the error-handling mode as start-up does, identifies the
// register and refuses one whose model is not the tables' (or is unknown),
// then sends `set` as `mode` asks and closes the port. After a full send the
// register's copy follows what was sent (UpdateCopyAfterSend). The link
// reports to `ui`; `identified` is told the register as soon as it answers.
// Never asks anything that waits for a person.
RegisterRunResult SendToRegister(Connection& link, RunUi& ui, const RegisterTarget& target, const TableSet& set,
                                 ManySendMode mode,
                                 const std::function<void(const Identification&)>& identified = {});

// The row texts.
inline constexpr const char* kSilentText = "Kasa nie odpowiada";
inline constexpr const char* kStoppedText = "Przerwano";
inline constexpr const char* kAllSentText = "Wysłano wszystkie tabele";
// "Inny model kasy: ZELTRA ARK MAXI"; the model text in UTF-8.
std::string OtherModelText(const std::string& model);
