#include "Przebieg.h"

#include <cstdio>
#include <vector>

#include "Pomoc.h"
#include "Ui.h"

namespace {

const char* const kQuestion = "Kasa nie odpowiada. Kontynuować?";
const char* const kCaption = "Uwaga!";
constexpr int kAskAfter = 3;    // records in a row without a reply
constexpr std::size_t kListed = 5;  // record numbers the summary names

using Missed = MissedRecord;


std::string Closing(TransferKind kind) {
    switch (kind) {
    case TransferKind::Upload: return "Te rekordy mogły nie zostać zapisane w kasie.";
    case TransferKind::Download: return "Te wiersze pozostały bez zmian.";
    case TransferKind::Deletion: return "Te rekordy mogły nie zostać usunięte z kasy.";
    case TransferKind::FiscalMemory: return "Te rekordy nie zostały odczytane.";
    }
    return {};
}

// "nr 5, 6, 7" per part, parts apart with "; "; the part's name only where
// the transfer covers several tables (or always, with `withParts`).
std::string Listed(const std::vector<Missed>& missed, bool named, bool withParts = false) {
    std::string text;
    std::string part;
    bool first = true;
    for (std::size_t k = 0; k < missed.size() && k < kListed; ++k) {
        const Missed& m = missed[k];
        const bool newPart = first || m.part != part;
        if (newPart) {
            if (!first) text += "; ";
            if ((withParts || !named) && !m.part.empty()) text += m.part + (m.number > 0 ? " " : "");
            if (m.number > 0) text += "nr ";
            part = m.part;
        } else if (m.number > 0) {
            text += ", ";
        }
        if (m.number > 0) text += std::to_string(m.number);
        first = false;
    }
    if (missed.size() > kListed) text += ", …";
    return text;
}

std::string Summary(const TransferRun& run) {
    const std::string records = run.missedCount == 1 ? "1 rekordu" : std::to_string(run.missedCount) + " rekordów";
    return "Kasa nie odpowiedziała dla " + records + " (" + Listed(run.missed, run.named) + "). " + Closing(run.kind);
}

}  // namespace

TransferScope::TransferScope(Connection& link, TransferKind kind, std::string part)
    : link_(link), outermost_(link.Run().depth == 0) {
    TransferRun& run = link.Run();
    if (outermost_) {
        run = TransferRun{};
        run.kind = kind;
        run.named = !part.empty();
    }
    ++run.depth;
    outerPart_ = run.part;
    run.part = std::move(part);
}

TransferScope::~TransferScope() {
    TransferRun& run = link_.Run();
    run.part = outerPart_;
    if (--run.depth > 0 || !outermost_) return;
    // A transfer stopped between records may leave a late reply on the line.
    const bool stopped = run.stopped || link_.UserUi().StopRequested();
    if (stopped) link_.MarkLineUnsettled();
    const bool show = run.summary && run.missedCount > 0 && run.records > 1;
    const std::string text = show ? Summary(run) : std::string();
    std::vector<MissedRecord> missed = std::move(run.missed);
    std::vector<MissedRecord> empty = std::move(run.empty);
    const bool named = run.named;
    run = TransferRun{};
    run.lastMissed = std::move(missed);
    run.lastNamed = named;
    run.lastEmpty = std::move(empty);
    run.lastStopped = stopped;
    if (show) link_.UserUi().Message(text, kCaption, UiIcon::Warning);
}

void TransferScope::DropSummary() { link_.Run().summary = false; }

void TransferRecord(Connection& link, long long number) {
    TransferRun& run = link.Run();
    if (run.depth == 0) return;
    run.record = number;
    run.currentMissed = false;
    ++run.records;
}

bool TransferStopRequested(Connection& link) {
    return (link.Run().depth > 0 && link.Run().stopped) || link.UserUi().StopRequested();
}

void TransferReplyArrived(Connection& link) {
    TransferRun& run = link.Run();
    if (run.depth > 0) run.inRow = 0;
}

bool TransferReplyMissing(Connection& link) {
    TransferRun& run = link.Run();
    if (run.depth == 0) return true;
    if (!run.currentMissed) {
        run.currentMissed = true;
        ++run.missedCount;
        if (!run.quiet) ++run.inRow;
        run.missed.push_back({run.part, run.record});
    }
    return !run.quiet;
}

void TransferAskIfSilent(Connection& link) {
    TransferRun& run = link.Run();
    if (run.depth == 0 || run.asked || run.inRow < kAskAfter) return;
    run.asked = true;
    run.quiet = true;
    run.stopped = !link.UserUi().Question(kQuestion, kCaption, UiIcon::Question);
    // The register may have answered while the question was open.
    link.MarkLineUnsettled();
}

const std::vector<MissedRecord>& TransferMissedRecords(const Connection& link) {
    const TransferRun& run = link.Run();
    return run.depth > 0 ? run.missed : run.lastMissed;
}

std::string TransferMissedText(const Connection& link) {
    const TransferRun& run = link.Run();
    return run.depth > 0 ? Listed(run.missed, run.named, true) : Listed(run.lastMissed, run.lastNamed, true);
}

void TransferRecordEmpty(Connection& link) {
    TransferRun& run = link.Run();
    if (run.depth > 0) run.empty.push_back({run.part, run.record});
}

const std::vector<MissedRecord>& TransferEmptyRecords(const Connection& link) {
    const TransferRun& run = link.Run();
    return run.depth > 0 ? run.empty : run.lastEmpty;
}

bool TransferCompleted(const Connection& link) {
    const TransferRun& run = link.Run();
    return run.depth == 0 && run.lastMissed.empty() && !run.lastStopped;
}

void ForgetMissedRecords(Connection& link) {
    link.Run().lastMissed.clear();
    link.Run().lastNamed = false;
}

std::string RecordsLeftText(long long done, long long all, double elapsedSeconds) {
    if (all < 0) all = 0;
    if (done > all) done = all;
    if (done < 0) done = 0;
    std::string text = std::to_string(done) + " z " + std::to_string(all);
    if (done > 0 && done < all && elapsedSeconds >= 0) {
        const long long left = static_cast<long long>(elapsedSeconds * static_cast<double>(all - done) / done + 0.5);
        char t[32];
        if (left >= 3600)
            std::snprintf(t, sizeof t, "%lld:%02lld:%02lld", left / 3600, left / 60 % 60, left % 60);
        else
            std::snprintf(t, sizeof t, "%lld:%02lld", left / 60, left % 60);
        text += ", pozostało ok. ";
        text += t;
    }
    return text;
}
