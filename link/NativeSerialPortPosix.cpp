#include "NativeSerialPort.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

// A poll that finds no input stands for 10 µs of waiting. A wait that short
// costs far more than 10 µs in a system call and timer on many machines, so
// the owed time is waited out in one ppoll() every couple of milliseconds;
// ppoll() returns as soon as input arrives, so nothing is read later than it
// would be, the time-out lasts about poll limit x 10 µs, and the CPU sleeps.
//
// There is no event notifier on the descriptor: between commands nobody looks
// at the device, so a line that hangs up costs nothing while the window idles.

namespace {

constexpr long long kPollWaitNs = 10'000;      // one poll stands for 10 µs
constexpr long long kWaitBatchNs = 2'000'000;  // waited out in steps of about 2 ms

void SleepNs(long long ns) {
    if (ns <= 0) return;
    timespec t{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
    while (nanosleep(&t, &t) == -1 && errno == EINTR) {
    }
}

speed_t SpeedFor(int baud) {
    switch (baud) {
    case 19200: return B19200;
    case 38400: return B38400;
    default: return B9600;
    }
}

// Errors after which the device is gone rather than merely quiet.
bool DeviceGone(int err) { return err == EIO || err == ENXIO || err == ENODEV || err == EBADF; }

}  // namespace

NativeSerialPort::NativeSerialPort() = default;

NativeSerialPort::~NativeSerialPort() { Close(); }

bool NativeSerialPort::Open(const std::string& name, int baud) {
    Close();
    inUse_ = false;
    if (name.empty()) return false;
    const std::string path = name.find('/') == std::string::npos ? "/dev/" + name : name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        inUse_ = errno == EBUSY;  // in exclusive mode elsewhere
        return false;
    }
    // Exclusive: a second program (or a second copy of this one) cannot open
    // the same line and take bytes meant for us.
    termios t{};
    if (!isatty(fd)) {
        ::close(fd);
        return false;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        inUse_ = errno == EWOULDBLOCK;
        ::close(fd);
        return false;
    }
    if (tcgetattr(fd, &t) != 0) {
        ::close(fd);
        return false;
    }
    (void)ioctl(fd, TIOCEXCL);

    cfmakeraw(&t);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~static_cast<tcflag_t>(IXANY | INPCK | ISTRIP);
    t.c_iflag |= IXON | IXOFF;  // XON/XOFF both ways
    t.c_cc[VSTART] = 0x11;
    t.c_cc[VSTOP] = 0x13;
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    const speed_t speed = SpeedFor(baud);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    if (tcsetattr(fd, TCSANOW, &t) != 0) {
        ::close(fd);
        return false;
    }
    // A pseudo-terminal has no modem lines and refuses this; that is no fault.
    int lines = TIOCM_DTR | TIOCM_RTS;
    (void)ioctl(fd, TIOCMBIS, &lines);
    tcflush(fd, TCIOFLUSH);

    fd_ = fd;
    lost_ = false;
    inPos_ = inLen_ = 0;
    owedNs_ = 0;
    return true;
}

bool NativeSerialPort::IsOpen() const { return fd_ >= 0; }

void NativeSerialPort::Close() {
    if (fd_ >= 0) {
        (void)ioctl(fd_, TIOCNXCL);  // the terminal may outlive us (a pseudo-terminal)
        ::close(fd_);                // the lock goes with the descriptor
    }
    fd_ = -1;
    lost_ = false;
    inPos_ = inLen_ = 0;
    owedNs_ = 0;
}

int NativeSerialPort::Fill() {
    inPos_ = inLen_ = 0;
    if (fd_ < 0 || lost_) return 0;
    for (;;) {
        const ssize_t r = ::read(fd_, in_.data(), in_.size());
        if (r > 0) {
            inLen_ = static_cast<std::size_t>(r);
            return static_cast<int>(r);
        }
        if (r == -1 && errno == EINTR) continue;
        // An empty line reads 0 bytes (raw mode with no minimum) or EAGAIN; an
        // I/O error means the other end hung up or went away.
        if (r == -1 && DeviceGone(errno)) lost_ = true;
        return 0;
    }
}

void NativeSerialPort::WaitOwed() {
    if (lost_ || fd_ < 0) {
        // Nothing will arrive: sleep the owed time so the time-out keeps its length.
        SleepNs(owedNs_);
        owedNs_ = 0;
        return;
    }
    const auto start = std::chrono::steady_clock::now();
    pollfd p{fd_, POLLIN, 0};
    const timespec wait{static_cast<time_t>(owedNs_ / 1'000'000'000),
                        static_cast<long>(owedNs_ % 1'000'000'000)};
    const int ready = ppoll(&p, 1, &wait, nullptr);
    if (ready > 0 && Fill() > 0) {
        owedNs_ = 0;  // input ends the silence; the next one starts afresh
        return;
    }
    if (ready > 0) {
        // Woken with nothing to read: a hung-up line (a tty whose device went
        // away reads 0 bytes for ever). Sleep the rest instead of spinning.
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) lost_ = true;
        SleepNs(owedNs_);
        owedNs_ = 0;
        return;
    }
    const long long slept =
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start).count();
    // Oversleeping is paid back by the next polls, within one batch.
    owedNs_ = std::max(owedNs_ - slept, -kWaitBatchNs);
}

int NativeSerialPort::Poll() {
    if (inPos_ < inLen_) return static_cast<int>(inLen_ - inPos_);
    owedNs_ += kPollWaitNs;
    if (owedNs_ < kWaitBatchNs) {
        // Between the waits, look at the device now and then without waiting,
        // so that even a very short poll limit sees input that is there.
        if (emptyPolls_++ % 64 != 0) return 0;
        const int got = Fill();
        if (got > 0) owedNs_ = 0;
        return got;
    }
    WaitOwed();
    return static_cast<int>(inLen_ - inPos_);
}

bool NativeSerialPort::ReadByte(std::uint8_t& byte) {
    if (inPos_ >= inLen_ && Fill() == 0) return false;
    byte = in_[inPos_++];
    return true;
}

namespace {

long long MsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
}

// Output that cannot leave (a line held off by XOFF, a stuck adapter) is
// thrown away and a held-off line let go, so the next request can go out.
// Only XON or switching XON/XOFF off and on again ends a hold that an XOFF
// byte started; tcflow() ends only its own.
void ReleaseOutput(int fd) {
    tcflush(fd, TCOFLUSH);
    tcflow(fd, TCOON);
    termios t{};
    if (tcgetattr(fd, &t) != 0 || !(t.c_iflag & IXON)) return;
    termios off = t;
    off.c_iflag &= ~static_cast<tcflag_t>(IXON);
    tcsetattr(fd, TCSANOW, &off);
    tcsetattr(fd, TCSANOW, &t);
}

}  // namespace

bool NativeSerialPort::Write(const std::uint8_t* data, std::size_t n, int timeoutMs) {
    const auto start = std::chrono::steady_clock::now();
    while (n > 0 && fd_ >= 0 && !lost_) {
        const ssize_t w = ::write(fd_, data, n);
        if (w > 0) {
            data += w;
            n -= static_cast<std::size_t>(w);
            continue;
        }
        if (w == -1 && errno == EINTR) continue;
        if (w == -1 && errno == EAGAIN) {
            // The driver's queue is full: wait until it takes more, within the time-out.
            const long long left = timeoutMs - MsSince(start);
            pollfd p{fd_, POLLOUT, 0};
            if (left > 0 && ::poll(&p, 1, static_cast<int>(std::min<long long>(left, 100))) >= 0) continue;
            ReleaseOutput(fd_);
            return false;
        }
        if (w == -1 && DeviceGone(errno)) lost_ = true;
        return false;
    }
    return n == 0;
}

bool NativeSerialPort::Drain(int timeoutMs) {
    if (fd_ < 0 || lost_) return true;
    // tcdrain() alone would wait for good on a line held off by XOFF: watch
    // the driver's output queue instead and give up after the time-out.
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        int queued = 0;
        if (ioctl(fd_, TIOCOUTQ, &queued) != 0) break;  // not told: tcdrain() as it is
        if (queued <= 0) break;
        if (MsSince(start) >= timeoutMs) {
            ReleaseOutput(fd_);
            return false;
        }
        SleepNs(1'000'000);
    }
    tcdrain(fd_);
    return true;
}

void NativeSerialPort::Purge() {
    if (fd_ >= 0) tcflush(fd_, TCIOFLUSH);
    inPos_ = inLen_ = 0;
}

void NativeSerialPort::SleepMs(int ms) {
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}
