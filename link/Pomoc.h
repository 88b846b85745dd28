// The register link: the serial port, the exchange buffer, reply frames with a
// poll-counted time-out, request frames and their check, the register's status
// replies and the transmission log.
//
// One command at a time on a connection: every command builds its frame in the
// connection's request area and reads its reply into its reply area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <array>

#include "SerialPort.h"

constexpr std::size_t kExchangeSize = 1024;
constexpr std::size_t kReplyAreaSize = 512;    // bytes 0-511 of the exchange buffer
constexpr std::size_t kRequestAreaSize = 512;  // bytes 512-1023
constexpr int kDefaultPollLimit = 200000;

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kBackslash = 0x5C;

// The working settings of one connection.
struct LinkSettings {
    std::string portName = "COM1";
    int baud = 9600;
    int pollLimit = kDefaultPollLimit;  // 0 or below means the default
    int logging = 0;                    // non-zero: append every frame to logFile
    // The transmission log; relative names are taken from the current folder.
    // Connections served at once each get a name of their own.
    std::string logFile = "LogFile.log";
    int errorMode = 1;                  // 0-3; above 1 a status reply follows every command
};

class Ui;
struct TransferRun;

// One connection with one register: its settings, its port, its exchange
// buffer and the run of its transfer. Every command of a sequence goes through
// the connection it is given; connections share nothing, so several registers
// can be talked to at once, each on its own thread. One connection is used by
// one thread at a time.
class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    LinkSettings& Settings() { return settings_; }
    const LinkSettings& Settings() const { return settings_; }

    // The person this connection reports to. Without one of its own (the
    // window program's one connection) it is the program's (CurrentUi).
    void SetUi(Ui* ui) { ui_ = ui; }
    Ui& UserUi() const;

    // The exchange buffer's two halves.
    std::uint8_t* ReplyArea() { return exchange_.data(); }
    std::uint8_t* RequestArea() { return exchange_.data() + kReplyAreaSize; }
    // The reply area as text, up to its first zero byte.
    std::string ReplyText() const;
    // The number of bytes the last completed read stored (zero bytes
    // included); 0 after a time-out.
    std::size_t ReplyLength() const { return replyLength_; }

    // The port the connection talks through. The program installs the real
    // port; tests install a scripted one. Until then a port that never opens
    // is used.
    void UsePort(std::unique_ptr<SerialPort> port);
    SerialPort& Port() { return *port_; }

    // Back to the state of a fresh start: settings, buffer, a closed port,
    // no transfer remembered. The Ui stays.
    void Reset();

    // Opens the named port at the configured speed (19200 and 38400 as they
    // are, anything else 9600). False when it cannot be opened; nothing is shown.
    bool OpenPort(const std::string& name);
    void ClosePort();  // PurgePort, then close
    // Opens the port of the last OpenPort again when it is not open or its
    // device went away (a USB adapter pulled out and plugged back in). True
    // when the port is open afterwards; an open port that works is left alone.
    bool ReopenPortIfLost();
    void PurgePort();  // waits 1000 ms, then discards both queues
    // Writes the first n bytes of the request area (at most the area) and
    // logs them when logging is on. A line left unsettled is settled first.
    // False when the line did not take every byte within the time-out.
    bool WriteRequest(int n);
    // Reads one frame into the reply area: from ESC 'P' up to the first
    // backslash after it, one byte per poll. Bytes before the ESC 'P' (line
    // noise, the tail of an old reply) are no part of any reply and are
    // dropped. False when the poll limit is reached, the request did not
    // leave the port within the time-out, or the frame does not end within
    // the reply area's 511 bytes; the line is then marked unsettled. Bytes
    // after the frame stay queued.
    bool ReadReply();
    // Reads one reply; on a time-out shows "Brak odpowiedzi z kasy" and fills
    // the reply area with 0xFF (its last byte stays zero). Returns the reply area.
    const std::uint8_t* ReadReplyOrWarn();
    void LogTransfer(int n, int direction);  // 0 sent, 1 received

    // Writes the first n bytes of the request area and reads the reply. A
    // reply that does not fit is put aside: the line is let go quiet and
    // cleared, and the same request is sent again, at most twice more. True
    // with the fitting reply in the reply area. False when none came: as
    // after a time-out, the warning has been shown (for a transfer's record:
    // counted, see Przebieg.h) and the reply area holds 0xFF. A time-out is
    // not asked again.
    bool Exchange(int n, const std::function<bool(std::string_view data)>& fits);

    // After a time-out, a reply that did not fit, a stopped transfer or a
    // long question the register may still be sending an old reply. A line
    // marked so is settled before the next request: SettleLine waits until
    // no byte has come for a short while (about 100 ms, never longer than the
    // time-out) and clears the input, so no command ever takes another
    // command's reply.
    void MarkLineUnsettled() { unsettled_ = true; }
    bool LineUnsettled() const { return unsettled_; }
    void SettleLine();

    // Lays out ESC 'P', the payload, its check, ESC '\' from the first byte
    // of the request area; the caller prepares the area first (zeros, or
    // 0xFF where a command wants that). Returns the frame's length (payload
    // + 6). Does not write.
    void ClearRequestArea(std::uint8_t fill = 0);
    std::size_t BuildFrame(const std::uint8_t* payload, std::size_t n);
    std::size_t BuildFrame(const std::string& payload);
    // Builds the frame of the payload, writes exactly its bytes, returns the frame.
    std::string SendSimpleCommand(const std::string& payload);
    // Reads the status number at position 5 of the reply and, when it is
    // above 0, shows its message. A reply without a readable number shows nothing.
    void CheckReplyStatus();
    // In error-handling modes above 1: reads the status reply and checks it.
    // A reply that is no status reply counts as missing, like a time-out.
    // Nothing is read on a line left unsettled by the command's own reply:
    // its status is cleared with the rest before the next request.
    void AwaitStatus();
    // Sends the error-handling mode ("0;%sP", 11 bytes, after PurgePort) and
    // makes it the connection's mode. Reads one status reply when the new
    // mode is above 1, or when it is 0 or 1 and the old mode was 3.
    void SetErrorMode(const std::string& modeText);

    // The running transfer (Przebieg.h).
    TransferRun& Run() { return *run_; }
    const TransferRun& Run() const { return *run_; }

private:
    int PollLimit() const;
    int WriteLimitMs() const;
    void ReplyMissing();
    void ReadStatusReply();

    LinkSettings settings_;
    std::array<std::uint8_t, kExchangeSize> exchange_{};
    std::size_t replyLength_ = 0;
    std::unique_ptr<SerialPort> port_;
    std::string openedName_;  // the name of the last OpenPort, for reopening
    bool unsettled_ = false;  // an old reply may still come: settle before the next request
    Ui* ui_ = nullptr;
    std::unique_ptr<TransferRun> run_;
};

// ---- replies checked against their request ----------------------------------
//
// A reply is taken for a request only when it has the shape of that request's
// answer: the record number or command it echoes, the characters and length
// of its layout. Anything else (another record's reply left on the line, a
// status reply where data is due, a reply cut short or shifted by noise) is
// never decoded.

// The data of a reply: from position 5 up to the two closing characters, ESC
// and backslash; empty for a text shorter than that.
std::string_view ReplyData(std::string_view reply);
// True for a non-empty text of the digits 0-9 and A-F only.
bool IsHexText(std::string_view text);
// Whether a reply's data answers the request sent.
using ReplyFits = std::function<bool(std::string_view data)>;
constexpr int kExchangeAttempts = 3;  // the request and at most two repeats


std::string FrameCheck(const std::uint8_t* payload, std::size_t n);
std::string FrameCheck(const std::string& payload);
// True when the reply text is a status reply: ESC 'P', two characters, a
// number of one or two digits, one character, the two closing characters,
// ESC and backslash.
bool IsStatusReply(std::string_view reply);
// The message of a status number: the register's text where it has one,
// "Błąd kasy nr <n>" for another number above 0, empty for 0 and below.
std::string StatusMessage(int number);

