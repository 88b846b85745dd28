#include "Sesja.h"

#include <memory>
#include <utility>

#include "NativeSerialPort.h"
#include "Polaczenie.h"
#include "Przebieg.h"

namespace cli {

Session::Session(const ToolEnvironment& env, const Options& options, std::ostream& err, SessionPlace place)
    : env_(env), options_(options), place_(std::move(place)), ui(err, UiOptions(env, options, activity_, place_)) {
    link.SetUi(&ui);
}

Session::~Session() {
    // Frames written in modes 0 and 1 are waited out before the port closes.
    if (connected_) link.Port().Drain(1000);
}

ConsoleUi::Options Session::UiOptions(const ToolEnvironment& env, const Options& options,
                                      const LineActivity& activity, const SessionPlace& place) {
    ConsoleUi::Options o;
    o.progress = env.stderrIsTerminal || options.progress;
    o.interrupt = env.interrupt;
    o.activity = &activity;
    o.show = place.showProgress;
    return o;
}

int Session::Connect() {
    Configuration c = ReadConfiguration(env_.workDir);
    if (!place_.port.empty()) c.portName = place_.port;
    if (options_.baud) c.baud = *options_.baud;
    if (options_.pollLimit) c.pollLimit = *options_.pollLimit;
    if (options_.errorMode) c.errorMode = *options_.errorMode;
    portName_ = c.portName;

    link.UsePort(std::make_unique<CountingPort>(std::make_unique<NativeSerialPort>(), activity_));
    if (!place_.logFile.empty()) link.Settings().logFile = place_.logFile;
    // Start-up does not look at the port: a port that cannot be opened is
    // told apart here, before the second's purge and the reply time-outs.
    link.Settings().baud = c.baud;
    if (!link.OpenPort(c.portName)) return Fail(kExitPort, "Nie można otworzyć portu " + c.portName);
    connected_ = true;
    id = StartUp(link, c, tables);
    if (ui.Interrupted()) return Fail(kExitInterrupted, "Przerwano (Ctrl+C)");
    if (!id.onLine)
        return Fail(kExitRegister,
                    "Kasa nie odpowiada na porcie " + c.portName + " (czy w kasie włączono tryb komunikacji?)");
    // A status reply lost at start-up is no part of the command's work.
    ui.ResetMissing();
    return kExitDone;
}

int Session::Fail(int status, const std::string& line) {
    ui.Note(line);
    return status;
}

int Session::Outcome(const std::string& tail, const char* one, const char* few, const char* many) {
    const std::string rest = tail.empty() ? std::string() : "; " + tail;
    if (ui.Interrupted()) return Fail(kExitInterrupted, "Przerwano (Ctrl+C)" + rest);
    if (ui.MissingReplies() > 0) {
        const std::string count = CountWithNoun(ui.RecordsWithoutReply(), one, few, many);
        if (ui.Silenced())
            return Fail(kExitRegister, "Kasa przestała odpowiadać (" + count + " bez odpowiedzi), przerwano" + rest);
        // Which records: a wrong or missing reply is never taken for an
        // empty record, so the person learns what the file would lack.
        const std::string which = TransferMissedText(link);
        return Fail(kExitRegister, "Brak odpowiedzi z kasy: " + count + " bez odpowiedzi" +
                                       (which.empty() ? std::string() : " (" + which + ")") + rest);
    }
    if (!ui.Problems().empty()) {
        std::string line = ui.Problems().front();
        if (ui.Problems().size() > 1)
            line += " (łącznie " +
                    CountWithNoun(static_cast<long long>(ui.Problems().size()), "komunikat", "komunikaty",
                                  "komunikatów") +
                    ")";
        return Fail(kExitRegister, line + rest);
    }
    return kExitDone;
}

bool Session::Failed() const { return ui.Interrupted() || ui.MissingReplies() > 0 || !ui.Problems().empty(); }

}  // namespace cli
