// The serial line as the link code sees it.
//
// The link never calls the operating system: it talks to this interface. The
// real implementation (NativeSerialPort) drives a serial device or a
// pseudo-terminal; unit tests use a scripted port that counts polls and hands
// out bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Exclusive open of the named port at the given speed, 8N1, DTR and RTS on,
    // XON/XOFF both ways, 1024-byte queues. False when the port cannot be opened.
    virtual bool Open(const std::string& name, int baud) = 0;
    virtual bool IsOpen() const = 0;
    virtual void Close() = 0;

    // One poll: the number of input bytes queued now. The real port may wait a
    // few microseconds for input first, so that a poll-counted time-out lasts a
    // steady time; a scripted port answers at once.
    virtual int Poll() = 0;
    // Take one byte that Poll() reported queued; false if there is none.
    virtual bool ReadByte(std::uint8_t& byte) = 0;
    // Write of n bytes that gives up after about timeoutMs (a line held off
    // by XOFF, a dead adapter). False when not every byte was taken.
    virtual bool Write(const std::uint8_t* data, std::size_t n, int timeoutMs) = 0;
    // Return when every written byte has left, or after about timeoutMs. On
    // a time-out the output still queued is discarded and a line held off by
    // XOFF is let go, so the port stays usable; the result is then false.
    virtual bool Drain(int timeoutMs) = 0;
    // Discard both queues.
    virtual void Purge() = 0;
    // Wait; the scripted port does not really sleep.
    virtual void SleepMs(int ms) = 0;
    // True once the device has gone away (unplugged, hung up); the port then
    // behaves as a silent line until it is closed and opened again.
    virtual bool Lost() const { return false; }
    // After an Open that failed: true when the port is there but another
    // program (or another port object of this one) holds it.
    virtual bool InUse() const { return false; }
};
