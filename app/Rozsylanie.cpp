#include "Rozsylanie.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "Cp1250.h"
#include "Przebieg.h"
#include "Sekwencje.h"
#include "Tabele.h"
#include "Zmiany.h"

namespace {

constexpr int kRecordTables = 6;  // the bar runs of SendAllTables

// A box's text on one line of a row.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

std::string MissedText(const Connection& link) {
    const auto count = TransferMissedRecords(link).size();
    const std::string records = count == 1 ? "1 rekordu" : std::to_string(count) + " rekordów";
    return "Kasa nie odpowiedziała dla " + records + " (" + TransferMissedText(link) + ")";
}

// The port is closed however the run ends.
struct PortCloser {
    Connection& link;
    ~PortCloser() { link.ClosePort(); }
};

}  // namespace

// ---- RunUi -------------------------------------------------------------------

void RunUi::Message(const std::string& text, const std::string&, UiIcon) { Note(OneLine(text)); }

bool RunUi::Question(const std::string&, const std::string&, UiIcon) {
    // Nobody is there to answer: a register that stopped answering ends its
    // own run instead of holding it for a box.
    silent_ = true;
    Note(kSilentText);
    return false;
}

void RunUi::ProgressShow(UiBar bar, int maximum) {
    if (bar != UiBar::Main) return;
    ++part_;
    maximum_ = std::max(maximum, 0);
    value_ = 0;
    Report();
}

void RunUi::ProgressSetMaximum(UiBar bar, int maximum) {
    if (bar != UiBar::Main) return;
    maximum_ = std::max(maximum, 0);
    value_ = std::min(value_, maximum_);
    Report();
}

void RunUi::ProgressSetValue(UiBar bar, int value) {
    if (bar != UiBar::Main) return;
    value_ = std::clamp(value, 0, maximum_);
    Report();
}

void RunUi::ProgressStep(UiBar bar, int by) {
    if (bar != UiBar::Main) return;
    value_ = std::clamp(value_ + by, 0, maximum_);
    Report();
}

void RunUi::SetLabel(UiLabel label, const std::string& text) {
    if (label != UiLabel::Progress || text.empty()) return;
    // "Całkowity postęp:\tWysyłam bazę PLU": the row shows what is being sent.
    const std::size_t tab = text.find('\t');
    Note(tab == std::string::npos ? text : text.substr(tab + 1));
}

void RunUi::Report() {
    const int parts = std::max(parts_, part_);
    double done = 0;
    if (part_ > 0) done = part_ - 1 + (maximum_ > 0 ? static_cast<double>(value_) / maximum_ : 0.0);
    const int permille = std::clamp(static_cast<int>(1000 * done / parts), 0, 1000);
    if (permille == reported_) return;
    reported_ = permille;
    Progress(permille);
}

// ---- one register --------------------------------------------------------------

std::string OtherModelText(const std::string& model) { return "Inny model kasy: " + model; }

RegisterRunResult SendToRegister(Connection& link, RunUi& ui, const RegisterTarget& target, const TableSet& set,
                                 ManySendMode mode, const std::function<void(const Identification&)>& identified) {
    using Kind = RegisterRunResult::Kind;
    RegisterRunResult result;
    auto ended = [&result](Kind kind, std::string text) {
        result.kind = kind;
        result.text = std::move(text);
        return result;
    };

    link.SetUi(&ui);
    LinkSettings& settings = link.Settings();
    settings.portName = target.port;
    settings.baud = target.baud;
    settings.pollLimit = target.pollLimit;
    settings.errorMode = target.errorMode;
    // The log file is the window's register's: frames of several registers
    // at once would only tangle it.
    settings.logging = 0;

    if (ui.StopRequested()) return ended(Kind::Stopped, kStoppedText);
    if (!link.OpenPort(target.port))
        return ended(Kind::CannotOpen,
                     link.Port().InUse() ? "Port zajęty przez inny program" : "Nie można otworzyć portu");
    PortCloser closer{link};

    // As start-up does, without its message: the person has put the registers
    // in communication mode before choosing them.
    link.SetErrorMode(std::to_string(target.errorMode));
    if (target.errorMode <= 1) {
        // A register still in mode 3 answers the mode command all the same.
        link.Port().SleepMs(200);
        link.Port().Purge();
    }
    if (ui.StopRequested()) return ended(Kind::Stopped, kStoppedText);

    // An unknown model text keeps the model "none" (-1): such a register is
    // refused like one of another model.
    result.id = Identify(link, -1);
    link.AwaitStatus();
    if (!result.id.onLine)
        return ui.StopRequested() ? ended(Kind::Stopped, kStoppedText) : ended(Kind::Silent, kSilentText);
    if (identified) identified(result.id);
    if (result.id.model != set.Model())
        return ended(Kind::OtherModel, OtherModelText(Cp1250ToUtf8(result.id.shownModel)));
    if (ui.StopRequested()) return ended(Kind::Stopped, kStoppedText);

    // The header and the PTU rates may be programmed only in training mode;
    // a block that did not come counts as training, as the tabs' sends take it.
    const bool training = !IsFiscalBlock(ReadRegisterState(link));
    const RegisterIdentity reg{result.id.model, result.id.serial};

    if (mode == ManySendMode::Changes) {
        const std::vector<CopyPart> parts = AllParts(training);
        ui.SetParts(static_cast<int>(parts.size()));
        const ChangesOutcome out = SendChanges(link, set, parts, reg);
        switch (out.result) {
        case ChangesOutcome::Result::Sent: return ended(Kind::Sent, out.text);
        case ChangesOutcome::Result::FullSendNeeded: return ended(Kind::FullSendNeeded, out.text);
        case ChangesOutcome::Result::Failed: break;
        }
        if (ui.StopRequested()) return ended(Kind::Stopped, kStoppedText);
        if (ui.FellSilent()) return ended(Kind::Silent, kSilentText);
        return ended(Kind::Failed, out.text);
    }

    ui.SetParts(kRecordTables);
    std::vector<CopyPart> parts = AllParts(false);
    const bool headerFits = HeaderPayload(set).has_value();
    {
        // One transfer for the whole register: one question when it falls
        // silent, one count of the records it did not answer.
        TransferScope transfer(link, TransferKind::Upload);
        SendAllTables(link, set);
        if (training && headerFits && !TransferStopRequested(link)) {
            SendHeader(link, set);
            parts.push_back(CopyPart::Header);
        }
        if (training && !TransferStopRequested(link)) {
            SendPtuRates(link, set);
            parts.push_back(CopyPart::Ptu);
        }
    }
    const bool copyKept = UpdateCopyAfterSend(link, set, parts, reg);

    if (ui.StopRequested()) return ended(Kind::Stopped, kStoppedText);
    if (ui.FellSilent()) return ended(Kind::Silent, kSilentText);
    if (!TransferMissedRecords(link).empty()) return ended(Kind::Failed, MissedText(link));
    std::string text = kAllSentText;
    if (!training)
        text += " (bez nagłówka i stawek PTU: kasa w trybie fiskalnym)";
    else if (!headerFits)
        text += " (bez nagłówka: za długi nagłówek)";
    if (!copyKept) text += "; nie udało się zapisać kopii stanu kasy";
    return ended(Kind::Sent, text);
}
