// The serial port on the Win32 comm API.
//
// The port is opened for plain synchronous I/O. Reads never block: a read
// takes only what ClearCommError reports queued, with time-outs that make
// ReadFile return at once. A poll that finds no input stands for 10 µs of
// waiting; the owed time is waited out every couple of milliseconds in one
// ReadFile of one byte with a total time-out, which the driver ends as soon
// as a byte arrives. So the link's poll-counted time-out lasts about
// poll limit x 10 µs, the CPU sleeps meanwhile, and a reply is seen at once.
#ifdef _WIN32

#include "NativeSerialPort.h"

#include "WindowsApi.h"

#include <algorithm>
#include <chrono>
#include <string>

namespace {

constexpr long long kPollWaitNs = 10'000;      // one empty poll stands for 10 µs
constexpr long long kWaitBatchNs = 2'000'000;  // waited out in steps of about 2 ms
// Windows timers often tick every 15.6 ms, so a 2 ms wait may last much
// longer; the polls after it pay that back, up to this much.
constexpr long long kMaxPaybackNs = 100'000'000;

HANDLE Handle(void* h) { return static_cast<HANDLE>(h); }

// ReadFile returns at once with what is queued, possibly nothing; WriteFile
// gives up after writeMs (a line held off by XOFF, a dead adapter).
COMMTIMEOUTS NoWaitTimeouts(DWORD writeMs) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 0;
    t.WriteTotalTimeoutConstant = writeMs;
    return t;
}

// ReadFile returns as soon as a byte is queued, or after ms with nothing.
COMMTIMEOUTS WaitTimeouts(DWORD ms, DWORD writeMs) {
    COMMTIMEOUTS t = NoWaitTimeouts(writeMs);
    t.ReadTotalTimeoutMultiplier = MAXDWORD;
    t.ReadTotalTimeoutConstant = ms;
    return t;
}

std::wstring Widen(const std::string& s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), w.data(), n);
    return w;
}

// "COM1" ... "COM256" in any letter case: the port number, else 0.
int ComNumber(const std::string& name) {
    if (name.size() < 4 || name.size() > 6) return 0;
    for (int i = 0; i < 3; ++i)
        if ((name[i] | 0x20) != "com"[i]) return 0;
    if (name[3] == '0') return 0;
    int n = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n >= 1 && n <= 256 ? n : 0;
}

// COM10 and above open only through the device namespace, so every COMn goes
// that way; a name that is already a device path or anything else is used as
// given.
std::wstring DevicePath(const std::string& name) {
    if (const int n = ComNumber(name)) return L"\\\\.\\COM" + std::to_wstring(n);
    return Widen(name);
}

// Errors that mean the device went away (a USB adapter pulled out, its driver
// stopped); the port stays silent until it is opened again.
bool DeviceGone(DWORD error) {
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_INVALID_HANDLE:
    case ERROR_DEVICE_REMOVED:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_FILE_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_BROKEN_PIPE:
        return true;
    default:
        return false;
    }
}

long long NsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() -
                                                                start)
        .count();
}

void SleepNs(long long ns) {
    if (ns > 0) Sleep(static_cast<DWORD>((ns + 999'999) / 1'000'000));
}

}  // namespace

NativeSerialPort::NativeSerialPort() = default;

NativeSerialPort::~NativeSerialPort() { Close(); }

bool NativeSerialPort::Open(const std::string& name, int baud) {
    Close();
    inUse_ = false;
    const std::wstring path = DevicePath(name);
    if (path.empty()) return false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           0, nullptr);
    if (h == INVALID_HANDLE_VALUE || h == nullptr) {
        // A COM port open in another program refuses with access denied.
        const DWORD error = GetLastError();
        inUse_ = error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
        return false;
    }

    SetupComm(h, 1024, 1024);  // a request; some drivers keep their own sizes

    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = baud == 19200 || baud == 38400 ? static_cast<DWORD>(baud) : 9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.fParity = 0;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = 1;  // Windows supports binary mode only
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fOutxCtsFlow = 0;
    dcb.fOutxDsrFlow = 0;
    dcb.fDsrSensitivity = 0;
    dcb.fOutX = 1;
    dcb.fInX = 1;
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.XonLim = 1;
    dcb.XoffLim = 1;
    dcb.fTXContinueOnXoff = 0;
    dcb.fErrorChar = 0;
    dcb.fNull = 0;
    dcb.fAbortOnError = 0;
    dcb.EofChar = 0;
    // Without its own time-outs a read could block for good, so a device that
    // refuses them is not used either.
    COMMTIMEOUTS timeouts = NoWaitTimeouts(writeMs_);
    if (!SetCommState(h, &dcb) || !SetCommTimeouts(h, &timeouts)) {
        CloseHandle(h);
        return false;
    }

    DWORD oldMask = 0;  // read but never restored: nothing here waits on comm events
    GetCommMask(h, &oldMask);
    SetCommMask(h, EV_TXEMPTY);

    handle_ = h;
    lost_ = false;
    inPos_ = inLen_ = 0;
    owedNs_ = 0;
    emptyPolls_ = 0;
    return true;
}

bool NativeSerialPort::IsOpen() const { return handle_ != nullptr; }

void NativeSerialPort::Close() {
    if (handle_) CloseHandle(Handle(handle_));
    handle_ = nullptr;
    lost_ = false;
    inPos_ = inLen_ = 0;
    owedNs_ = 0;
    emptyPolls_ = 0;
}

int NativeSerialPort::Fill() {
    inPos_ = inLen_ = 0;
    if (!handle_ || lost_) return 0;
    HANDLE h = Handle(handle_);
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(h, &errors, &status)) {
        if (DeviceGone(GetLastError())) lost_ = true;
        return 0;
    }
    if (status.cbInQue == 0) return 0;
    // Exactly what is queued: ReadFile then returns at once whatever the
    // time-outs say.
    const DWORD want = std::min<DWORD>(status.cbInQue, static_cast<DWORD>(in_.size()));
    DWORD got = 0;
    if (!ReadFile(h, in_.data(), want, &got, nullptr)) {
        if (DeviceGone(GetLastError())) lost_ = true;
        return 0;
    }
    inLen_ = got;
    return static_cast<int>(got);
}

void NativeSerialPort::WaitOwed() {
    const auto start = std::chrono::steady_clock::now();
    const long long owed = owedNs_;
    if (lost_) {
        SleepNs(owed);
    } else {
        HANDLE h = Handle(handle_);
        COMMTIMEOUTS wait = WaitTimeouts(static_cast<DWORD>(owed / 1'000'000), writeMs_);
        COMMTIMEOUTS noWait = NoWaitTimeouts(writeMs_);
        DWORD got = 0;
        BOOL ok = SetCommTimeouts(h, &wait);
        if (ok) ok = ReadFile(h, in_.data(), 1, &got, nullptr);
        const DWORD error = ok ? 0 : GetLastError();
        SetCommTimeouts(h, &noWait);
        if (!ok && DeviceGone(error)) lost_ = true;
        if (ok && got > 0) {
            inPos_ = 0;
            inLen_ = got;
            owedNs_ = 0;  // input ends the silence; the next one starts afresh
            emptyPolls_ = 0;
            return;
        }
        // A driver that ignores the time-out, or a failing call, comes back
        // at once: sleep the rest so the time-out keeps its length.
        const long long slept = NsSince(start);
        if (slept < owed / 2) SleepNs(owed - slept);
    }
    // Oversleeping is paid back by the next polls.
    owedNs_ = std::max(owed - NsSince(start), -kMaxPaybackNs);
}

int NativeSerialPort::Poll() {
    if (!handle_) return 0;
    if (inPos_ < inLen_) return static_cast<int>(inLen_ - inPos_);

    owedNs_ += kPollWaitNs;
    if (owedNs_ < kWaitBatchNs) {
        // Between the waits, look at the device now and then without waiting,
        // so that even a very short poll limit sees input that is there.
        if (lost_ || emptyPolls_++ % 64 != 0) return 0;
        const int got = Fill();
        if (got > 0) {
            owedNs_ = 0;
            emptyPolls_ = 0;
        }
        return got;
    }
    WaitOwed();
    return static_cast<int>(inLen_ - inPos_);
}

bool NativeSerialPort::ReadByte(std::uint8_t& byte) {
    if (!handle_) return false;
    if (inPos_ >= inLen_ && Fill() == 0) return false;
    byte = in_[inPos_++];
    return true;
}

namespace {

// Output that cannot leave is thrown away and a line held off by XOFF is let
// go (as if XON had come), so the next request can go out.
void ReleaseOutput(HANDLE h) {
    PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR);
    EscapeCommFunction(h, SETXON);
}

}  // namespace

bool NativeSerialPort::Write(const std::uint8_t* data, std::size_t n, int timeoutMs) {
    if (!handle_ || lost_) return false;
    HANDLE h = Handle(handle_);
    const DWORD limit = static_cast<DWORD>(std::max(timeoutMs, 1));
    if (limit != writeMs_) {
        COMMTIMEOUTS t = NoWaitTimeouts(limit);
        if (SetCommTimeouts(h, &t)) writeMs_ = limit;
    }
    while (n > 0) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(n, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(h, data, chunk, &written, nullptr)) {
            if (DeviceGone(GetLastError())) lost_ = true;
            else ReleaseOutput(h);
            return false;
        }
        if (written == 0) {  // the write time-out passed: the line is stuck
            ReleaseOutput(h);
            return false;
        }
        data += written;
        n -= written;
    }
    return true;
}

bool NativeSerialPort::Drain(int timeoutMs) {
    if (!handle_ || lost_) return true;
    // FlushFileBuffers would wait for good on a line held off by XOFF: watch
    // the driver's output queue instead and give up after the time-out.
    HANDLE h = Handle(handle_);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        DWORD errors = 0;
        COMSTAT status{};
        if (!ClearCommError(h, &errors, &status)) {
            if (DeviceGone(GetLastError())) lost_ = true;
            return true;
        }
        if (status.cbOutQue == 0) return true;
        if (NsSince(start) >= static_cast<long long>(timeoutMs) * 1'000'000) {
            ReleaseOutput(h);
            return false;
        }
        Sleep(1);
    }
}

void NativeSerialPort::Purge() {
    if (handle_ && !lost_)
        PurgeComm(Handle(handle_), PURGE_TXCLEAR | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_RXABORT);
    inPos_ = inLen_ = 0;
}

void NativeSerialPort::SleepMs(int ms) {
    if (ms > 0) Sleep(static_cast<DWORD>(ms));
}

#endif  // _WIN32
