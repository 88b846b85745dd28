#include "QtSerialPort.h"

#include <QSerialPort>
#include <QString>

#include <algorithm>
#include <chrono>
#include <thread>

#ifndef _WIN32
#include <cerrno>
#include <poll.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32
constexpr long long kPollWaitNs = 10'000;     // one poll stands for 10 µs
constexpr long long kWaitBatchNs = 2'000'000;  // waited out in steps of about 2 ms

void WaitNs(long long ns) {
    if (ns <= 0) return;
    timespec t{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
}

#endif

}  // namespace

QtSerialPort::QtSerialPort() : port_(std::make_unique<QSerialPort>()) {}

QtSerialPort::~QtSerialPort() { Close(); }

bool QtSerialPort::Open(const std::string& name, int baud) {
    Close();
    port_->setPortName(QString::fromLocal8Bit(name.c_str()));
    port_->setReadBufferSize(1024);
    if (!port_->open(QIODevice::ReadWrite)) return false;

    const int speed = baud == 19200 || baud == 38400 ? baud : 9600;
    port_->setBaudRate(speed);
    port_->setDataBits(QSerialPort::Data8);
    port_->setParity(QSerialPort::NoParity);
    port_->setStopBits(QSerialPort::OneStop);
    port_->setFlowControl(QSerialPort::SoftwareControl);
    // A pseudo-terminal has no modem lines and refuses these; that is no fault.
    port_->setDataTerminalReady(true);
    port_->setRequestToSend(true);
    port_->clearError();
    return true;
}

bool QtSerialPort::IsOpen() const { return port_->isOpen(); }

void QtSerialPort::Close() {
    if (port_->isOpen()) port_->close();
    inPos_ = inLen_ = 0;
    owedNs_ = 0;
}

#ifndef _WIN32

// Bytes go through the device's descriptor. QSerialPort may have pulled some
// into its own buffer while the event loop ran between commands; those came
// first, so they are counted and handed out first.
//
// A poll that finds no input stands for 10 µs of waiting. A wait that short
// costs far more than 10 µs in a system call and timer on many machines, so
// the owed time is waited out in one ppoll() every couple of milliseconds;
// ppoll() returns as soon as input arrives, so nothing is read later than it
// would be, the time-out lasts about poll limit x 10 µs, and the CPU sleeps.

int QtSerialPort::Fill() {
    inPos_ = inLen_ = 0;
    for (;;) {
        // QSerialPort opens the device non-blocking: an empty line gives EAGAIN.
        const ssize_t r = ::read(static_cast<int>(port_->handle()), in_.data(), in_.size());
        if (r > 0) {
            inLen_ = static_cast<std::size_t>(r);
            return static_cast<int>(r);
        }
        if (r == -1 && errno == EINTR) continue;
        return 0;
    }
}

int QtSerialPort::Poll() {
    if (!port_->isOpen()) return 0;
    const int buffered = static_cast<int>(port_->bytesAvailable());
    if (buffered > 0) return buffered;
    if (inPos_ < inLen_) return static_cast<int>(inLen_ - inPos_);

    const int fd = static_cast<int>(port_->handle());
    owedNs_ += kPollWaitNs;
    if (owedNs_ < kWaitBatchNs) {
        // Between the waits, look at the device now and then without waiting,
        // so that even a very short poll limit sees input that is there.
        if (emptyPolls_++ % 64 != 0) return 0;
        const int got = Fill();
        if (got > 0) owedNs_ = 0;
        return got;
    }

    const auto start = std::chrono::steady_clock::now();
    pollfd p{fd, POLLIN, 0};
    const timespec wait{static_cast<time_t>(owedNs_ / 1'000'000'000),
                        static_cast<long>(owedNs_ % 1'000'000'000)};
    const int ready = ppoll(&p, 1, &wait, nullptr);
    const int got = Fill();
    if (got > 0) {
        owedNs_ = 0;  // input ends the silence; the next one starts afresh
    } else if (ready > 0) {
        // A hung-up or failing line wakes ppoll at once: sleep the owed time
        // anyway, so the time-out keeps its length instead of spinning.
        WaitNs(owedNs_);
        owedNs_ = 0;
    } else {
        const long long slept = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                    std::chrono::steady_clock::now() - start)
                                    .count();
        // Oversleeping is paid back by the next polls, within one batch.
        owedNs_ = std::max(owedNs_ - slept, -kWaitBatchNs);
    }
    return got;
}

bool QtSerialPort::ReadByte(std::uint8_t& byte) {
    if (!port_->isOpen()) return false;
    if (port_->bytesAvailable() > 0) {
        char c;
        if (!port_->getChar(&c)) return false;
        byte = static_cast<std::uint8_t>(c);
        return true;
    }
    if (inPos_ >= inLen_ && Fill() == 0) return false;
    byte = in_[inPos_++];
    return true;
}

void QtSerialPort::Write(const std::uint8_t* data, std::size_t n) {
    if (!port_->isOpen()) return;
    const int fd = static_cast<int>(port_->handle());
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
        } else if (w == -1 && errno == EINTR) {
            continue;
        } else if (w == -1 && errno == EAGAIN) {
            // QSerialPort opens the device non-blocking: wait until it takes more.
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 1000) <= 0) return;
        } else {
            return;
        }
    }
}

void QtSerialPort::Drain() {
    if (port_->isOpen()) tcdrain(static_cast<int>(port_->handle()));
}

void QtSerialPort::Purge() {
    if (!port_->isOpen()) return;
    port_->clear(QSerialPort::AllDirections);  // also empties QSerialPort's own buffer
    tcflush(static_cast<int>(port_->handle()), TCIOFLUSH);
    inPos_ = inLen_ = 0;
}

#else  // _WIN32

// QSerialPort opens the device for overlapped I/O on Windows, so the traffic
// stays with QSerialPort's own blocking calls, which need no event loop. As on
// Unix, the 10 µs that each empty poll stands for are waited out in steps of
// 2 ms, cut short by input.

int QtSerialPort::Poll() {
    if (!port_->isOpen()) return 0;
    if (port_->bytesAvailable() > 0) return static_cast<int>(port_->bytesAvailable());
    owedNs_ += 10'000;
    const int waitMs = owedNs_ >= 2'000'000 ? 2 : 0;
    if (waitMs) owedNs_ = 0;
    port_->waitForReadyRead(waitMs);
    return static_cast<int>(port_->bytesAvailable());
}

bool QtSerialPort::ReadByte(std::uint8_t& byte) {
    char c;
    if (!port_->isOpen() || !port_->getChar(&c)) return false;
    byte = static_cast<std::uint8_t>(c);
    return true;
}

void QtSerialPort::Write(const std::uint8_t* data, std::size_t n) {
    if (!port_->isOpen()) return;
    port_->write(reinterpret_cast<const char*>(data), static_cast<qint64>(n));
    while (port_->bytesToWrite() > 0 && port_->waitForBytesWritten(1000)) {
    }
}

void QtSerialPort::Drain() {
    if (port_->isOpen()) port_->flush();
}

void QtSerialPort::Purge() {
    if (port_->isOpen()) port_->clear(QSerialPort::AllDirections);
}

#endif

void QtSerialPort::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
