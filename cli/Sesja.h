// One register reached by the tool: the connection with its console Ui, the
// port counted, the table set, the start-up's result, and the one line that
// tells how a command ended.
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "Identyfikacja.h"
#include "Konsola.h"
#include "Opcje.h"
#include "Pomoc.h"
#include "Tabele.h"
#include "Ui.h"
#include "Zmiany.h"

namespace cli {

// Where a session stands when it is one of several served at once; the
// defaults are the one register of a run.
struct SessionPlace {
    std::string port;     // instead of --port and config.cfg's; empty: theirs
    std::string logFile;  // the transmission log; empty: the link's own (LogFile.log)
    // The progress line's text, instead of drawing it on the stream.
    std::function<void(const std::string&)> showProgress;
};

class Session {
public:
    Session(const ToolEnvironment& env, const Options& options, std::ostream& err, SessionPlace place = {});
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Opens the port and starts up as the window does: error-handling mode,
    // identification, the identified model with the configured PLU rule, the
    // status reply. kExitDone, or the failure's status with its line shown.
    int Connect();

    // The line on err (after the progress line is taken away); `status` back.
    int Fail(int status, const std::string& line);

    // How a register command ended: interrupted, replies missing, a message
    // from the register (or the core), or done. `tail` says what that means
    // for the command's file or the register.
    int Outcome(const std::string& tail = {}, const char* one = "rekord", const char* few = "rekordy",
                const char* many = "rekordów");

    bool Failed() const;

    // The port Connect opened (or tried to).
    const std::string& PortName() const { return portName_; }
    // The register as its copy knows it.
    RegisterIdentity Identity() const { return {id.model, id.serial}; }

private:
    static ConsoleUi::Options UiOptions(const ToolEnvironment& env, const Options& options,
                                        const LineActivity& activity, const SessionPlace& place);

    const ToolEnvironment& env_;
    const Options& options_;
    SessionPlace place_;
    LineActivity activity_;
    bool connected_ = false;
    std::string portName_;

public:
    ConsoleUi ui;
    Connection link;
    TableSet tables;
    Identification id;
    // What the data file code reports to: it shows nothing and answers "No",
    // as the window's questions are answered on the console.
    SilentUi fileUi;
};

}  // namespace cli
