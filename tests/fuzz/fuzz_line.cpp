// Table downloads and fiscal memory readings over a line that drops, delays,
// splits, repeats and prefixes the register's replies as the fuzzer's bytes
// say. Whatever happens, every row read is the register's own record or its
// record is named as missing, and a command never takes another's reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Emulator.h"
#include "Fmreader.h"
#include "Pomoc.h"
#include "Przebieg.h"
#include "SerialPort.h"
#include "Sekwencje.h"
#include "Tabele.h"
#include "Ui.h"

namespace {

Connection conn;  // the one register this program talks to

constexpr int kPollLimit = 300;
constexpr int kPluCount = 12;

// The fuzzer's bytes, one at a time; zeros once they run out.
struct Script {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    std::uint8_t Next() { return at < size ? data[at++] : 0; }
};

// The register behind a line that plays tricks with each reply frame.
class FaultyLine final : public SerialPort {
public:
    FaultyLine(Emulator& emulator, Script* script) : emulator_(emulator), script_(script) {}

    bool Open(const std::string&, int) override { return true; }
    bool IsOpen() const override { return true; }
    void Close() override {}
    int Poll() override {
        ++polls_;
        int n = 0;
        for (const auto& b : line_) {
            if (b.after >= polls_) break;
            ++n;
        }
        return n;
    }
    bool ReadByte(std::uint8_t& byte) override {
        if (line_.empty() || line_.front().after >= polls_) return false;
        byte = line_.front().value;
        line_.pop_front();
        return true;
    }
    bool Write(const std::uint8_t* data, std::size_t n, int) override {
        const std::string out = emulator_.Feed(data, n);
        if (!script_) {
            Put(out, polls_);
            return true;
        }
        // Frame by frame: each ends at ESC '\'.
        std::size_t start = 0;
        while (start < out.size()) {
            std::size_t end = out.find("\x1b\\", start);
            end = end == std::string::npos ? out.size() : end + 2;
            Play(out.substr(start, end - start));
            start = end;
        }
        return true;
    }
    bool Drain(int) override { return true; }
    void Purge() override {
        while (!line_.empty() && line_.front().after < polls_ + 1) line_.pop_front();
    }
    void SleepMs(int) override {}

private:
    struct Byte {
        std::uint8_t value;
        long after;  // readable from poll after + 1 on
    };
    // Bytes join the line behind what is on it, never before.
    void Put(const std::string& bytes, long after) {
        if (!line_.empty()) after = std::max(after, line_.back().after);
        for (char c : bytes) line_.push_back({static_cast<std::uint8_t>(c), after});
    }
    void Play(const std::string& frame) {
        const std::uint8_t how = script_->Next();
        const long soon = polls_ + how % 4;
        switch ((how >> 2) % 8) {
        case 0: break;                                    // dropped
        case 1: Put(frame, polls_ + 2L * kPollLimit); break;  // after the time-out
        case 2: Put(frame, soon); Put(frame, soon); break;    // repeated
        case 3: {                                         // noise first
            std::string noise;
            for (int k = script_->Next() % 6; k > 0; --k) noise += static_cast<char>(script_->Next());
            Put(noise + frame, soon);
            break;
        }
        case 4: {  // split, the rest late
            const std::size_t cut = frame.empty() ? 0 : script_->Next() % frame.size();
            Put(frame.substr(0, cut), soon);
            Put(frame.substr(cut), polls_ + script_->Next() * 4L);
            break;
        }
        case 5: Put(frame, polls_ + script_->Next() * 2L); break;  // delayed, maybe past the time-out
        default: Put(frame, soon); break;                           // as it should be
        }
    }

    Emulator& emulator_;
    Script* script_;
    std::deque<Byte> line_;
    long polls_ = 0;
};

// Questions answered from the script; nothing shown.
class ScriptUi final : public SilentUi {
public:
    explicit ScriptUi(Script* script) : script_(script) {}
    bool Question(const std::string&, const std::string&, UiIcon) override { return script_->Next() & 1; }

private:
    Script* script_;
};

// A register whose every record is different from every other, so that a
// record taken for another is seen.
Emulator MakeRegister(int mode, bool fiscal) {
    Emulator e;
    e.SetModel(1);
    e.state.pluCapacity = kPluCount;
    e.LoadDemoData();
    for (int i = 0; i < 15; i += 2) {
        std::string name = "OPAK" + std::to_string(i);
        name.append(19 - name.size(), '\xFF');
        e.state.records[0][i] = name + PackedDigits(100 + i, 5) + std::string(16, '\0');
    }
    for (int i = 0; i < kPluCount; i += 3) {
        std::string name = "TOWAR" + std::to_string(i);
        name.append(16 - name.size(), '\xFF');
        e.state.records[7][i] = name + std::string(7, '\xFF') + PackedDigits(200 + i, 5) + "\x01" +
                                std::string(8, '\0') + PackedDigits(i, 3) + std::string(6, '\0');
    }
    GenerateFiscalMemory(e.state, 30);
    e.state.errorMode = mode;
    e.state.fiscal = fiscal;
    return e;
}

// The link as each run starts: the register on the line, its mode.
void FreshLink(Emulator& reg, Script* script, int mode) {
    conn.Reset();
    conn.Settings().pollLimit = kPollLimit;
    conn.Settings().errorMode = mode;
    conn.UsePort(std::make_unique<FaultyLine>(reg, script));
}

TableSet FreshTables() {
    TableSet t;
    t.SetPluCount(kPluCount);
    t.ApplyModel(1, PluRule::Configured);
    return t;
}

std::vector<std::string> Row(const TableSet& t, TableId id, int r) {
    std::vector<std::string> cells;
    for (int c = 0; c < t.Columns(id); ++c) cells.push_back(t.Cell(id, c, r));
    return cells;
}

// Every row an old, recognisable content.
void MarkRows(TableSet& t, TableId id) {
    for (int r = 1; r <= t.Rows(id); ++r)
        for (int c = 0; c < t.Columns(id); ++c) t.SetCell(id, c, r, "old" + std::to_string(r));
}

bool Named(const std::string& part, long long number) {
    for (const MissedRecord& m : TransferMissedRecords(conn))
        if (m.number == number && m.part == part) return true;
    return false;
}

// Whether the register was asked for record index i of the table digit.
bool Asked(const Emulator& reg, char digit, int index) {
    const std::string payload = "0;" + std::to_string(index) + ";" + digit + "H";
    for (const std::string& p : reg.requests)
        if (p == payload) return true;
    return false;
}

struct Download {
    void (*read)(Connection&, TableSet&);
    TableId table;
    char digit;
    const char* part;
};
const Download kDownloads[] = {
    {ReadPackagingTable, TableId::Packaging, '0', "opakowania"},
    {ReadPluTable, TableId::Plu, '7', "PLU"},
    {ReadCashierTable, TableId::Cashier, '2', "kasjerzy"},
    {ReadKeyTable, TableId::Key, '1', "klawisze"},
};

void CheckDownload(const Download& d, Emulator& reg, Emulator& clean, Script& script, int mode) {
    // What the register holds, read over a clean line.
    FreshLink(clean, nullptr, mode);
    TableSet own = FreshTables();
    MarkRows(own, d.table);
    d.read(conn, own);
    if (!TransferMissedRecords(conn).empty()) std::abort();

    FreshLink(reg, &script, mode);
    TableSet got = FreshTables();
    MarkRows(got, d.table);
    const TableSet old = got;
    d.read(conn, got);
    for (int r = 1; r <= got.Rows(d.table); ++r) {
        const auto row = Row(got, d.table, r);
        if (row == Row(own, d.table, r)) continue;
        // Not the register's own: it kept its old content, and its record
        // was named as missing or never asked for (the run was stopped).
        if (row != Row(old, d.table, r)) std::abort();
        if (!Named(d.part, r) && Asked(reg, d.digit, r - 1)) std::abort();
    }
}

void CheckFiscal(Emulator& reg, Script& script, int mode) {
    FreshLink(reg, &script, mode);
    FiscalTables tables = MakeFiscalTables();
    int n = kFirstFiscalRecord - 1;
    FiscalReadHooks hooks;
    hooks.beforeRecord = [&] { ++n; };
    std::vector<int> rowsFrom;  // the record each row came from
    hooks.rowWritten = [&](FiscalKind kind, int row) {
        // The row holds exactly the register's record n.
        auto it = reg.state.fiscalMemory.find(n);
        const std::string bytes = it != reg.state.fiscalMemory.end() ? it->second : std::string(64, '\xFF');
        const DecodedFiscalRecord own = DecodeFiscalRecord(HexText(bytes));
        if (!own.kind || *own.kind != kind) std::abort();
        const FiscalTable& t = TableOf(tables, kind);
        for (std::size_t c = 0; c < own.fields.size(); ++c)
            if (t.Cell(static_cast<int>(c) + 1, row) != own.fields[c]) std::abort();
        rowsFrom.push_back(n);
    };
    FiscalGaps gaps;
    const FiscalReadEnd end = ReadFiscalMemory(conn, tables, hooks, &gaps);
    // Ended only where the memory does: at its first erased record.
    const int erased = kFirstFiscalRecord + static_cast<int>(reg.state.fiscalMemory.size());
    if (end == FiscalReadEnd::Ended && n != erased) std::abort();
    // Every record before the end or the stop gave its row or is named.
    const int upTo = gaps.stoppedAt > 0 ? gaps.stoppedAt : n;
    std::size_t k = 0;
    for (int rec = kFirstFiscalRecord; rec < upTo; ++rec) {
        const bool gaveRow = k < rowsFrom.size() && rowsFrom[k] == rec;
        if (gaveRow) ++k;
        bool named = false;
        for (int m : gaps.missing) named |= m == rec;
        if (gaveRow == named) std::abort();
    }
    if (k != rowsFrom.size()) std::abort();
    if (gaps.Complete() != FiscalGapsText(gaps).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) return 0;
    Script script{data, size};
    const std::uint8_t what = script.Next();
    const int mode = what & 3;
    const int op = (what >> 2) % 5;
    const bool fiscal = op == 4;
    ScriptUi ui(&script);
    InstallUi(&ui);

    Emulator reg = MakeRegister(mode, fiscal);
    Emulator clean = MakeRegister(mode, fiscal);
    // The answers of two commands after the run, as a clean line gives them.
    FreshLink(clean, nullptr, mode);
    const std::string block = ReadRegisterState(conn);
    const std::string unique = ReadUniqueNumber(conn);

    if (fiscal)
        CheckFiscal(reg, script, mode);
    else
        CheckDownload(kDownloads[op], reg, clean, script, mode);

    // The next commands get their own reply or none: never one left over
    // from the run, however the line behaved.
    const std::string blockAfter = ReadRegisterState(conn);
    if (blockAfter != block && blockAfter != std::string(14, '\xFF')) std::abort();
    const std::string uniqueAfter = ReadUniqueNumber(conn);
    if (uniqueAfter != unique && !uniqueAfter.empty()) std::abort();

    conn.Reset();
    InstallUi(nullptr);
    return 0;
}
