// The changes-only send and the register's copy kept after full transfers.
#include "Zmiany.h"

#include <algorithm>
#include <random>

#include "Cp1250.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "Ramki.h"
#include "Sekwencje.h"
#include "Ui.h"

using namespace sekwencje;

namespace {

bool IsRecordPart(CopyPart part) { return part != CopyPart::Header && part != CopyPart::Ptu; }

// The name a transfer gives the part's records (MissedRecord::part).
std::string TransferPartName(CopyPart part) {
    const RecordLayout* layout = LayoutOfTable(TableOfPart(part));
    return layout ? PartName(layout->readDigit) : std::string();
}

// The records of the part the last transfer found empty in the register.
std::vector<int> EmptyFound(const Connection& link, CopyPart part) {
    const std::string name = TransferPartName(part);
    std::vector<int> records;
    for (const MissedRecord& m : TransferEmptyRecords(link))
        if (m.part == name && m.number > 0) records.push_back(static_cast<int>(m.number));
    return records;
}

// The row a record of a part is shown in.
RowRef RowOfRecord(CopyPart part, int record) {
    return part == CopyPart::Discounts ? DiscountPairRow(record) : RowRef{TableOfPart(part), record};
}

std::string RegisterName(const RegisterIdentity& reg) { return "Kasa nr " + Cp1250ToUtf8(reg.serial); }

// Reads back a sample of the part's records into a scratch copy of the table
// and compares them with the copy. Empty when they agree, otherwise why not.
// `failed` is set when the register did not answer every record.
std::string CheckSample(Connection& link, const TableSet& set, const PartCopy& known, CopyPart part, int records,
                        int sampleSize, std::uint64_t seed, bool& failed) {
    const std::vector<int> sample = SampleRecords(known, records, sampleSize, seed);
    if (sample.empty()) return {};
    TableSet scratch = set;
    scratch.SetListener(nullptr);
    // A record the register holds empty leaves its row as it is: the rows
    // asked for start empty, so an empty record reads as one.
    for (int r : sample) {
        const RowRef at = RowOfRecord(part, r);
        scratch.ClearRow(at.table, at.row);
    }
    const TableId table = TableOfPart(part);
    ReadRecordsOf(link, scratch, table, sample);
    if (!TransferCompleted(link)) {
        failed = true;
        return {};
    }
    for (int r : sample) {
        const auto held = known.known.find(r);
        if (held == known.known.end()) continue;  // never seen: nothing to compare with
        const std::string now = PartRecordBytes(scratch, part, r).value_or(std::string());
        if (!SameHeldFields(table, held->second, now))
            return TransferPartName(part) + " nr " + std::to_string(r);
    }
    return {};
}

// Whether the register's header or PTU rates differ from the table's: read
// back (one exchange) and compared as the frames that would be sent. A
// register that does not answer counts as different, so they are sent.
bool PayloadDiffers(Connection& link, const TableSet& set, CopyPart part) {
    TableSet scratch = set;
    scratch.SetListener(nullptr);
    const TableId table = TableOfPart(part);
    for (int r = 1; r <= scratch.Rows(table); ++r)
        for (int c = 1; c < scratch.Columns(table); ++c) scratch.SetCell(table, c, r, "");
    if (part == CopyPart::Header)
        ReadHeader(link, scratch);
    else
        ReadPtuRates(link, scratch);
    if (!TransferCompleted(link)) return true;
    return PartRecordBytes(scratch, part, 1) != PartRecordBytes(set, part, 1);
}

// The copy of a register, or a new empty one.
RegisterCopy CopyOf(const RegisterIdentity& reg) {
    if (std::optional<RegisterCopy> copy = LoadRegisterCopy(reg.model, reg.serial)) return *copy;
    RegisterCopy copy;
    copy.model = reg.model;
    copy.serial = reg.serial;
    return copy;
}

}  // namespace

std::vector<CopyPart> PartsOfTable(TableId table) { return {PartOfTable(table)}; }

std::vector<CopyPart> AllParts(bool withHeaderAndRates) {
    std::vector<CopyPart> parts = {CopyPart::Packaging, CopyPart::Plu,       CopyPart::Cashier,
                                   CopyPart::Key,       CopyPart::Discounts, CopyPart::PaymentForm};
    if (withHeaderAndRates) {
        parts.push_back(CopyPart::Header);
        parts.push_back(CopyPart::Ptu);
    }
    return parts;
}

ChangesOutcome SendChanges(Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                           const RegisterIdentity& reg, int sampleSize, std::uint64_t seed) {
    using Result = ChangesOutcome::Result;
    ChangesOutcome out;
    const std::string offer = ": wyślij całe tabele, a następnym razem program wyśle tylko zmiany";
    if (reg.serial.empty() || reg.model < 0) {
        out.text = "Kasa nie podała numeru fabrycznego, nie wiadomo, co już ma" + offer;
        return out;
    }
    std::optional<RegisterCopy> copy = LoadRegisterCopy(reg.model, reg.serial);
    if (!copy) {
        out.text = "Brak zapisanego stanu kasy nr " + Cp1250ToUtf8(reg.serial) + offer;
        return out;
    }

    // The plans first: nothing goes out when one part cannot be planned.
    // The header and the PTU rates are one frame each and need no copy: they
    // are read back and sent when they differ.
    std::vector<std::pair<CopyPart, ChangesPlan>> plans;
    for (CopyPart part : parts) {
        if (!IsRecordPart(part)) continue;
        ChangesPlan plan = PlanChanges(*copy, set, part, reg.model, reg.serial);
        if (plan.Refused()) {
            out.text = plan.refusal + offer;
            return out;
        }
        plans.emplace_back(part, std::move(plan));
    }

    // The check: a sample read back must agree with the copy.
    if (seed == 0) seed = std::random_device{}();
    for (const auto& [part, plan] : plans) {
        bool failed = false;
        const std::string differs =
            CheckSample(link, set, copy->Part(part), part, plan.records, sampleSize, seed, failed);
        if (failed || TransferStopRequested(link)) {
            out.result = Result::Failed;
            out.text = "Kasa nie odpowiedziała przy sprawdzaniu jej danych; nic nie wysłano";
            return out;
        }
        if (!differs.empty()) {
            out.text = RegisterName(reg) + " ma inne dane niż przy ostatnim odczycie lub wysłaniu (" + differs +
                       ")" + offer;
            return out;
        }
    }

    // The changes, in the frames of a full send; then the records emptied.
    int total = 0, records = 0;
    std::string since;
    for (const auto& [part, plan] : plans) {
        total += static_cast<int>(plan.send.size() + plan.remove.size());
        records += plan.records;
        if (since.empty() || (!plan.since.empty() && plan.since < since)) since = plan.since;
    }
    const bool header = std::find(parts.begin(), parts.end(), CopyPart::Header) != parts.end() &&
                        PayloadDiffers(link, set, CopyPart::Header);
    const bool rates = std::find(parts.begin(), parts.end(), CopyPart::Ptu) != parts.end() &&
                       PayloadDiffers(link, set, CopyPart::Ptu);
    if (TransferStopRequested(link)) {
        out.result = Result::Failed;
        out.text = "Wysyłanie zmian przerwano; nic nie wysłano";
        return out;
    }
    Ui& ui = link.UserUi();
    {
        TransferScope transfer(link, TransferKind::Upload);
        ui.ProgressShow(UiBar::Main, std::max(total, 1));
        for (const auto& [part, plan] : plans) {
            const TableId table = TableOfPart(part);
            const RecordLayout& layout = *LayoutOfTable(table);
            TransferScope inner(link, TransferKind::Upload, TransferPartName(part));
            for (int r : plan.send) {
                ui.ProcessEvents();
                if (TransferStopRequested(link)) break;
                TransferRecord(link, r);
                SendRecordFrame(link, layout, r - 1, RecordBytes(set, table, r));
                ++out.sent;
            }
            for (int r : plan.remove) {
                ui.ProcessEvents();
                if (TransferStopRequested(link)) break;
                TransferRecord(link, r);
                SendDelete(link, r, layout.deleteLetter);
                ui.ProgressStep(UiBar::Main);
                ++out.removed;
            }
        }
        if (header && !TransferStopRequested(link)) {
            SendHeader(link, set);
            ++out.sent;
        }
        if (rates && !TransferStopRequested(link)) {
            SendPtuRates(link, set);
            ++out.sent;
        }
        ui.ProgressHide(UiBar::Main);
    }

    if (!TransferCompleted(link)) {
        // The register may hold any mix now: the next changes-only send is
        // refused until a full send or read.
        for (const auto& [part, plan] : plans) MarkStale(*copy, part);
        SaveRegisterCopy(*copy);
        out.result = Result::Failed;
        const std::string which = TransferMissedText(link);
        out.text = which.empty() ? "Wysyłanie zmian przerwano; kasa mogła otrzymać tylko część zmian"
                                 : "Brak odpowiedzi z kasy (" + which + "); kasa mogła nie zapisać tych zmian";
        return out;
    }
    for (const auto& [part, plan] : plans) RefreshAfterChanges(*copy, set, part, plan);
    SaveRegisterCopy(*copy);
    out.result = Result::Sent;
    const int payloads = static_cast<int>(std::count(parts.begin(), parts.end(), CopyPart::Header) +
                                          std::count(parts.begin(), parts.end(), CopyPart::Ptu));
    out.text = ChangesSentMessage(out.sent, records + payloads, out.removed, since);
    return out;
}

bool UpdateCopyAfterRead(const Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                         const RegisterIdentity& reg) {
    if (reg.serial.empty() || reg.model < 0) return true;
    RegisterCopy copy = CopyOf(reg);
    const bool whole = TransferCompleted(link);
    for (CopyPart part : parts) {
        if (!IsRecordPart(part)) continue;  // the header and rates are always sent whole
        if (whole)
            RefreshAfterRead(copy, set, part, EmptyFound(link, part));
        else
            MarkStale(copy, part);
    }
    return SaveRegisterCopy(copy);
}

bool UpdateCopyAfterSend(const Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                         const RegisterIdentity& reg) {
    if (reg.serial.empty() || reg.model < 0) return true;
    RegisterCopy copy = CopyOf(reg);
    const bool whole = TransferCompleted(link);
    for (CopyPart part : parts) {
        if (!IsRecordPart(part)) continue;
        if (whole)
            RefreshAfterFullSend(copy, set, part);
        else
            MarkStale(copy, part);
    }
    return SaveRegisterCopy(copy);
}

bool UpdateCopyAfterDeletion(const Connection& link, const TableSet& set, TableId table, long long record,
                             const RegisterIdentity& reg) {
    if (reg.serial.empty() || reg.model < 0) return true;
    const CopyPart part = PartOfTable(table);
    if (!IsRecordPart(part)) return true;
    RegisterCopy copy = CopyOf(reg);
    PartCopy& p = copy.Part(part);
    if (record > 0) {
        if (!p.present) return true;  // nothing known to correct
        if (record <= p.records) p.known[static_cast<int>(record)].clear();
    } else if (TransferCompleted(link)) {
        p.records = PartRecordCount(set, part);
        p.known.clear();
        for (int r = 1; r <= p.records; ++r) p.known.emplace_hint(p.known.end(), r, std::string());
        p.present = true;
        p.stale = false;
        p.refreshed = LocalTimeText();
    } else {
        MarkStale(copy, part);
    }
    return SaveRegisterCopy(copy);
}
