#include "PtyServer.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {
constexpr int kPollMs = 20;

// The speed the program set on its end of the terminal; 0 for another one.
int LineSpeed(int fd) {
    termios t{};
    if (tcgetattr(fd, &t) != 0) return 0;
    switch (cfgetospeed(&t)) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    default: return 0;
    }
}
}  // namespace

PtyServer::PtyServer(Emulator emulator) : emulator_(std::move(emulator)) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start() {
    if (Running()) return true;
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0) return false;
    char name[256];
    if (grantpt(master_) != 0 || unlockpt(master_) != 0 || ptsname_r(master_, name, sizeof name) != 0) {
        Stop();
        return false;
    }
    slavePath_ = name;
    // Our own hold on the slave: while it is open, the program closing and
    // reopening the port never hangs up the master.
    slave_ = open(name, O_RDWR | O_NOCTTY);
    if (slave_ < 0) {
        Stop();
        return false;
    }
    termios tio{};
    if (tcgetattr(slave_, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cc[VMIN] = 1;
        tio.c_cc[VTIME] = 0;
        tcsetattr(slave_, TCSANOW, &tio);
    }
    // Non-blocking writes so that a program that stops reading cannot keep
    // Stop() waiting.
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    stop_ = false;
    thread_ = std::thread(&PtyServer::Serve, this);
    return true;
}

void PtyServer::Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = master_ = -1;
}

void PtyServer::Serve() {
    char buffer[4096];
    while (!stop_) {
        pollfd pfd{master_, POLLIN, 0};
        int ready = poll(&pfd, 1, kPollMs);
        if (ready <= 0) continue;
        if (!(pfd.revents & POLLIN)) {
            // Hang-up or error without data: wait instead of spinning.
            Pause(kPollMs * 1000);
            continue;
        }
        ssize_t n = read(master_, buffer, sizeof buffer);
        if (n <= 0) {
            if (n < 0 && errno != EAGAIN && errno != EINTR) Pause(kPollMs * 1000);
            continue;
        }
        std::vector<OutputChunk> plan;
        int lateMs = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            // Sent at another speed than the register's: noise it ignores.
            const int speed = emulator_.switches.lineSpeed;
            if (speed != 0 && LineSpeed(slave_) != speed) continue;
            std::string reply = emulator_.Feed(std::string(buffer, static_cast<std::size_t>(n)));
            plan = PlanOutput(reply, emulator_.switches);
            const EmulatorSwitches& s = emulator_.switches;
            if (emulator_.requests.size() >= static_cast<std::size_t>(std::max(s.lateFrom, 1))) lateMs = s.lateMs;
        }
        if (!plan.empty() && lateMs > 0) Pause(lateMs * 1000);
        Send(plan);
    }
}

void PtyServer::Send(const std::vector<OutputChunk>& plan) {
    for (const OutputChunk& chunk : plan) {
        std::size_t done = 0;
        while (done < chunk.bytes.size() && !stop_) {
            ssize_t n = write(master_, chunk.bytes.data() + done, chunk.bytes.size() - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
            } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
                pollfd pfd{master_, POLLOUT, 0};
                poll(&pfd, 1, kPollMs);
            } else {
                return;
            }
        }
        if (stop_) return;
        Pause(chunk.delayAfterUs);
    }
}

// Sleeps in short steps so that Stop() is not held up by a slow baud rate.
void PtyServer::Pause(int microseconds) {
    using namespace std::chrono;
    const auto until = steady_clock::now() + std::chrono::microseconds(microseconds);
    while (!stop_) {
        auto left = until - steady_clock::now();
        if (left <= steady_clock::duration::zero()) return;
        std::this_thread::sleep_for(std::min<steady_clock::duration>(left, milliseconds(kPollMs)));
    }
}
