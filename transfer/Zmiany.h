// "Wyślij zmiany": sending only the records that differ from what the
// register was last seen to hold (Kopia.h), and keeping that copy up to date
// after every full read and send.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Kopia.h"
#include "Tabele.h"

class Connection;

// The register a transfer talks to, as the identification gives it.
struct RegisterIdentity {
    int model = -1;      // 0 to 3
    std::string serial;  // the serial number, Windows-1250
};

// How a changes-only send ended.
struct ChangesOutcome {
    enum class Result {
        Sent,          // every change went out and was answered; `text` says how many
        FullSendNeeded,  // no usable copy, or the register differs from it: `text` says why
        Failed,        // replies missing or stopped: `text` says so; the copy is marked stale
    };
    Result result = Result::FullSendNeeded;
    std::string text;  // UTF-8, one line
    int sent = 0;      // records sent
    int removed = 0;   // records deleted in the register
};

// The parts a tab's "Wyślij zmiany" covers (the discount tab: the pair), and
// those of the service tab's (every record table, the header and the PTU
// rates; the header and the rates only when `withHeaderAndRates`).
std::vector<CopyPart> PartsOfTable(TableId table);
std::vector<CopyPart> AllParts(bool withHeaderAndRates);

// Sends the changes of `parts` to the register: loads its copy, reads back a
// sample of records (the first, the last and `sampleSize` chosen from `seed`)
// and compares every field the register keeps as sent (all but the PLU
// stock); then sends each changed record in the frame of a full send and
// deletes each record the table no longer has. Nothing is sent when the copy
// is missing, is another register's, is stale, or the sample differs: the
// result says why and the caller offers the full send. A transfer that ends
// with replies missing or is stopped marks the parts stale.
ChangesOutcome SendChanges(Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                           const RegisterIdentity& reg, int sampleSize = 8, std::uint64_t seed = 0);

// After a full read or send of `parts` through `link`: when the transfer ran
// to its end with every record answered, the register's copy takes what the
// table now holds (a read: every record, the ones found empty included; a
// send: the records sent); otherwise the parts are marked stale. Nothing
// happens for a register without a serial number (OFF-LINE). False when the
// copy could not be saved.
bool UpdateCopyAfterRead(const Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                         const RegisterIdentity& reg);
bool UpdateCopyAfterSend(const Connection& link, const TableSet& set, const std::vector<CopyPart>& parts,
                         const RegisterIdentity& reg);
// After a deletion in the register: record `record` of `table` (the number
// the register knows it by; the pair's 1 to 8), or with 0 the whole table.
// The copy then knows those records empty; a table deletion that did not run
// to its end marks the part stale.
bool UpdateCopyAfterDeletion(const Connection& link, const TableSet& set, TableId table, long long record,
                             const RegisterIdentity& reg);
