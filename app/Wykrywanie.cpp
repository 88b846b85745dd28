#include "Wykrywanie.h"

#include <cstdint>

#include "Cp1250.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "Ui.h"

namespace {

// An empty poll of the native port stands for 10 µs (the link's time-outs
// count polls the same way); a scripted port answers at once and never waits.
constexpr int kPollsPerMs = 100;
constexpr int kEventPolls = 20 * kPollsPerMs;  // the window's events about every 20 ms
// After the identification, the line must stay quiet this long before the
// port closes: in error-handling modes 2 and 3 a status reply follows.
constexpr int kSettleMs = 100;
// Noise without a frame end is dropped from the front beyond this.
constexpr std::size_t kMaxLine = 512;

std::string IdentifyFrame() {
    return std::string("\x1bP0^") + FrameCheck("0^") + "\x1b\\";
}

// The window's events now and then while a try waits; true once the person
// asked to stop.
class Watch {
public:
    explicit Watch(Ui& ui) : ui_(ui) {}
    bool Stopped(long polls) {
        if (!stopped_ && polls % kEventPolls == 0) {
            ui_.ProcessEvents();
            stopped_ = ui_.StopRequested();
        }
        return stopped_;
    }
    bool Stopped() const { return stopped_; }

private:
    Ui& ui_;
    bool stopped_ = false;
};

// The identification in the bytes read so far: the last whole frame, from
// its ESC 'P' to its ESC '\', when it names a model.
bool Identified(std::string& line, Identification& id) {
    const std::size_t n = line.size();
    if (n < 4 || line[n - 2] != '\x1b' || line[n - 1] != '\\') return false;
    const std::size_t start = line.rfind("\x1bP", n - 3);
    if (start == std::string::npos) return false;
    const Identification found =
        DecideModel(ParseIdentification(line.substr(start)), /*currentModel=*/1);
    line.clear();  // this frame is done with, whatever it was
    if (!found.onLine) return false;
    id = found;
    return true;
}

enum class Try { Answered, Silent, Stopped };

// "0^" on an open port and its reply, within the time-out.
Try Identify(SerialPort& port, int timeoutMs, Watch& watch, Identification& id) {
    port.Purge();
    const std::string frame = IdentifyFrame();
    if (!port.Write(reinterpret_cast<const std::uint8_t*>(frame.data()), frame.size(), timeoutMs) ||
        !port.Drain(timeoutMs))
        return Try::Silent;  // a line held off cannot carry the question

    const long limit = static_cast<long>(timeoutMs) * kPollsPerMs;
    std::string line;
    bool answered = false;
    long polls = 0;
    for (; polls < limit && !answered; ++polls) {
        if (watch.Stopped(polls)) return Try::Stopped;
        if (port.Poll() <= 0) continue;
        std::uint8_t byte;
        if (!port.ReadByte(byte)) continue;
        line += static_cast<char>(byte);
        if (line.size() > kMaxLine) line.erase(0, line.size() - kMaxLine / 2);
        answered = Identified(line, id);
    }
    if (!answered) return Try::Silent;

    // Whatever follows (a status reply) is read and dropped until the line
    // has been quiet for a while; the time-out bounds this too.
    const long quietLimit = static_cast<long>(kSettleMs) * kPollsPerMs;
    for (long quiet = 0; quiet < quietLimit && polls < limit; ++polls) {
        if (watch.Stopped(polls)) break;  // answered all the same
        std::uint8_t byte;
        if (port.Poll() > 0 && port.ReadByte(byte))
            quiet = 0;
        else
            ++quiet;
    }
    return Try::Answered;
}

}  // namespace

std::vector<PortProbe> DetectRegister(Connection& link, const std::vector<std::string>& ports, Ui& ui,
                                      const DetectionOptions& options) {
    std::vector<PortProbe> results;
    results.reserve(ports.size());
    for (const std::string& name : ports) results.push_back(PortProbe{name, ProbeOutcome::NotTried, 0, {}});

    // The program's own port would refuse the try as busy: it is closed for
    // the search and opened again after it.
    const bool ownWasOpen = link.Port().IsOpen();
    if (ownWasOpen) link.Port().Close();

    auto makePort = options.makePort
                        ? options.makePort
                        : [] { return std::unique_ptr<SerialPort>(std::make_unique<NativeSerialPort>()); };
    const int speeds = static_cast<int>(options.speeds.size());
    ui.ProgressShow(UiBar::Main, static_cast<int>(ports.size()) * speeds);
    Watch watch(ui);

    for (PortProbe& probe : results) {
        if (watch.Stopped(0)) break;
        int tried = 0;
        for (int baud : options.speeds) {
            ui.SetLabel(UiLabel::Progress,
                        "Sprawdzam port " + probe.port + " (" + std::to_string(baud) + " Bd)");
            if (watch.Stopped(0)) break;
            std::unique_ptr<SerialPort> port = makePort();
            if (!port || !port->Open(probe.port, baud)) {
                // Neither a busy nor a missing port opens at another speed.
                probe.outcome = port && port->InUse() ? ProbeOutcome::Busy : ProbeOutcome::CannotOpen;
                break;
            }
            Identification id;
            const Try result = Identify(*port, options.timeoutMs, watch, id);
            port->Close();
            ++tried;
            ui.ProgressStep(UiBar::Main, 1);
            if (result == Try::Stopped) break;
            probe.outcome = result == Try::Answered ? ProbeOutcome::Answered : ProbeOutcome::Silent;
            if (result == Try::Answered) {
                probe.baud = baud;
                probe.id = id;
                break;
            }
        }
        if (watch.Stopped()) {
            if (probe.outcome != ProbeOutcome::Answered) probe.outcome = ProbeOutcome::NotTried;
            break;
        }
        if (tried < speeds) ui.ProgressStep(UiBar::Main, speeds - tried);
    }
    ui.ProgressHide(UiBar::Main);

    if (ownWasOpen && link.ReopenPortIfLost()) link.Port().Purge();
    return results;
}

std::string ProbeText(const PortProbe& p) {
    switch (p.outcome) {
    case ProbeOutcome::Answered: {
        std::string text = p.port + ", " + std::to_string(p.baud) + " Bd: " + Cp1250ToUtf8(p.id.shownModel);
        if (!p.id.serial.empty()) text += ", nr fabryczny " + Cp1250ToUtf8(p.id.serial);
        if (!p.id.version.empty()) text += ", wersja " + Cp1250ToUtf8(p.id.version);
        return text;
    }
    case ProbeOutcome::Silent: return p.port + ": brak odpowiedzi";
    case ProbeOutcome::Busy: return p.port + ": port zajęty przez inny program";
    case ProbeOutcome::CannotOpen: return p.port + ": nie można otworzyć portu";
    case ProbeOutcome::NotTried: break;
    }
    return p.port + ": nie sprawdzono (przerwano)";
}
