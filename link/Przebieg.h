// The run of one transfer: a table sent, read or deleted record by record,
// all tables in one run, or the fiscal memory read. While it lasts it keeps
// count of the records that got no reply from the register.
//
// Every missing reply shows "Brak odpowiedzi z kasy" as usual until three
// records in a row have gone without one. Then the person is asked once,
// "Kasa nie odpowiada. Kontynuować?": "Tak" goes on and counts the further
// missing replies without a box, "Nie" stops the transfer before its next
// record (TransferStopRequested). A record counts once, however many of its
// replies (data and status in modes 2 and 3) are missing. When a transfer of
// more than one record ends with records left unanswered, one message says
// how many, which ones (the first few numbers) and what that means for them.
//
// Outside a transfer a missing reply only shows its box, as every single
// command does.
#pragma once

#include <string>
#include <vector>

class Connection;

enum class TransferKind {
    Upload,        // the rows were sent; the register may not have taken them
    Download,      // the rows stay as they were
    Deletion,      // the register may still hold those records
    FiscalMemory,  // those records were not read
};

// One transfer for as long as it lives. Transfers nest: an all-tables run
// holds one for each table, and only the outermost one counts, asks and
// sums up; an inner one names the table its record numbers belong to.
class TransferScope {
public:
    TransferScope(Connection& link, TransferKind kind, std::string part = {});
    ~TransferScope();
    TransferScope(const TransferScope&) = delete;
    TransferScope& operator=(const TransferScope&) = delete;

    // No summary at the end: the window it was for has been closed.
    void DropSummary();

private:
    Connection& link_;
    bool outermost_;
    std::string outerPart_;  // the part before this one, given back at the end
};

// The record the running transfer works on now, by the number the person
// knows it by (0: a frame without one, such as the header). Nothing outside
// a transfer.
void TransferRecord(Connection& link, long long number);

// True when the running transfer is to end before its next record: the
// person asked to stop (Ui::StopRequested) or answered "Nie" to the question.
bool TransferStopRequested(Connection& link);

// For the link's reply reading. A reply came: the register is there. A reply
// is missing: true when its box is to be shown; after the box,
// TransferAskIfSilent asks the question when three records in a row have
// gone unanswered (once per transfer).
void TransferReplyArrived(Connection& link);
bool TransferReplyMissing(Connection& link);
void TransferAskIfSilent(Connection& link);

// The records that the running transfer, or else the last one that ended,
// counted as missing, in order: the part of an all-tables run each belongs
// to, and its number (0 for a frame without one, such as the header).
struct MissedRecord {
    std::string part;
    long long number;
};
const std::vector<MissedRecord>& TransferMissedRecords(const Connection& link);
// The first few of them as the summary names them: "PLU nr 2, 7" in a
// transfer of one table, "opakowania nr 1; PLU nr 2, 7, …" in an all-tables
// run. Empty when none was missing.
std::string TransferMissedText(const Connection& link);
// A download found the record it works on empty in the register.
void TransferRecordEmpty(Connection& link);
// The records the running transfer, or else the last one that ended, found
// empty in the register, as TransferMissedRecords names them.
const std::vector<MissedRecord>& TransferEmptyRecords(const Connection& link);
// The last transfer that ended ran to its end: not stopped, and every record
// answered.
bool TransferCompleted(const Connection& link);

// Forgets the last transfer's missing records (a fresh start of the link).
void ForgetMissedRecords(Connection& link);

// A connection's transfer as it runs, and what the last one left missing.
struct TransferRun {
    int depth = 0;
    TransferKind kind = TransferKind::Download;
    bool named = false;          // the outermost transfer names no part: parts are listed
    std::string part;
    long long record = -1;       // -1: none named yet
    long long records = 0;       // records named so far
    bool currentMissed = false;  // the current record already counted
    int inRow = 0;               // records in a row without a reply
    long long missedCount = 0;
    std::vector<MissedRecord> missed;
    bool asked = false;
    bool quiet = false;          // no more boxes
    bool stopped = false;        // "Nie"
    bool summary = true;
    std::vector<MissedRecord> empty;  // records a download found empty in the register
    // What the last transfer that ended left missing, whether it named its
    // part, what it found empty and whether it was stopped.
    std::vector<MissedRecord> lastMissed;
    bool lastNamed = false;
    std::vector<MissedRecord> lastEmpty;
    bool lastStopped = false;
};

// "12 z 19201, pozostało ok. 3:05": records done of all and the time left
// estimated from the time so far; no estimate before the first record or
// after the last.
std::string RecordsLeftText(long long done, long long all, double elapsedSeconds);
