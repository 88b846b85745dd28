// The register link: the serial port, the exchange buffer, reply frames with a
// poll-counted time-out, request frames and their check, the register's status
// replies and the transmission log.
//
// One command at a time, on the user-interface thread: every command builds its
// frame in the request area and reads its reply into the reply area.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "SerialPort.h"

constexpr std::size_t kExchangeSize = 1024;
constexpr std::size_t kReplyAreaSize = 512;    // bytes 0-511 of the exchange buffer
constexpr std::size_t kRequestAreaSize = 512;  // bytes 512-1023
constexpr int kDefaultPollLimit = 200000;

constexpr std::uint8_t kEsc = 0x1B;
constexpr std::uint8_t kBackslash = 0x5C;

// The working settings of the link (process-wide).
struct LinkSettings {
    std::string portName = "COM1";
    int baud = 9600;
    int pollLimit = kDefaultPollLimit;  // 0 or below means the default
    int logging = 0;                    // non-zero: append every frame to LogFile.log
    int errorMode = 1;                  // 0-3; above 1 a status reply follows every command
};
LinkSettings& Link();

// The exchange buffer's two halves.
std::uint8_t* ReplyArea();
std::uint8_t* RequestArea();
// The reply area as text, up to its first zero byte.
std::string ReplyText();

// The port the link talks through. The program installs the real port; tests
// install a scripted one. Until then a port that never opens is used.
void UsePort(std::unique_ptr<SerialPort> port);
SerialPort& Port();

// Back to the state of a fresh start (tests): settings, buffer, a closed port.
void ResetLink();

bool OpenPort(const std::string& name);
void ClosePort();
void PurgePort();
bool WriteRequest(int n);
bool ReadReply();
// Reads one reply; on a time-out shows "Brak odpowiedzi z kasy" and fills the
// reply area with 0xFF (its last byte stays zero). Returns the reply area.
const std::uint8_t* ReadReplyOrWarn();
void LogTransfer(int n, int direction);  // 0 sent, 1 received

std::string FrameCheck(const std::uint8_t* payload, std::size_t n);
std::string FrameCheck(const std::string& payload);
// Lays out ESC 'P', the payload, its check, ESC '\' from the first byte of the
// request area; the caller prepares the area first (zeros, or 0xFF where a
// command wants that). Returns the frame's length (payload + 6). Does not write.
void ClearRequestArea(std::uint8_t fill = 0);
std::size_t BuildFrame(const std::uint8_t* payload, std::size_t n);
std::size_t BuildFrame(const std::string& payload);
// Builds the frame of the payload, writes exactly its bytes, returns the frame.
std::string SendSimpleCommand(const std::string& payload);
void CheckReplyStatus();
std::string StatusMessage(int number);
void AwaitStatus();

// Sends the error-handling mode ("0;%sP") and makes it the program's mode.
void SetErrorMode(const std::string& modeText);
