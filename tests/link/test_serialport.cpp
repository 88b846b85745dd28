// The native port against a pseudo-terminal made here: line settings, bytes
// both ways, the poll count, purge, a read that runs into its time-out, and a
// line whose other end goes away.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "ByteText.h"
#include "NativeSerialPort.h"
#include "Pomoc.h"
#include "RecordingUi.h"
#include "Sekwencje.h"

using namespace std::string_literals;

namespace {

using bytetext::BS;
using bytetext::ESC;

class PtyTest : public ::testing::Test {
protected:
    Connection link;
    void SetUp() override {
        link.Reset();
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        path = ttyname(slave);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        link.Reset();  // closes the port
        close(slave);
        if (master >= 0) close(master);
    }
    void ToPort(const std::string& bytes) { ASSERT_EQ(write(master, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
    // What the port sent, waiting up to about a second for n bytes.
    std::string FromPort(std::size_t n) {
        std::string got;
        for (int i = 0; i < 100 && got.size() < n; ++i) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 10) <= 0) continue;
            char buf[256];
            const ssize_t r = read(master, buf, sizeof buf);
            if (r > 0) got.append(buf, std::size_t(r));
        }
        return got;
    }
    // Polls until the port reports at least n queued bytes (the pty hands them
    // over asynchronously); gives the last count.
    int PollFor(SerialPort& port, int n) {
        int q = 0;
        for (int i = 0; i < 200000 && q < n; ++i) q = port.Poll();
        return q;
    }

    int master = -1, slave = -1;
    std::string path;
};

TEST_F(PtyTest, OpensWithTheLineSettings) {
    struct Case {
        int baud;
        speed_t speed;
    };
    for (const Case c : {Case{9600, B9600}, Case{19200, B19200}, Case{38400, B38400}, Case{4800, B9600}}) {
        SCOPED_TRACE(c.baud);
        NativeSerialPort port;
        ASSERT_TRUE(port.Open(path, c.baud));  // a pty refuses DTR/RTS: still open
        EXPECT_TRUE(port.IsOpen());
        termios t{};
        ASSERT_EQ(tcgetattr(slave, &t), 0);
        EXPECT_EQ(cfgetospeed(&t), c.speed);
        EXPECT_EQ(cfgetispeed(&t), c.speed);
        EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
        EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), tcflag_t(0));
        EXPECT_EQ(t.c_iflag & (IXON | IXOFF), tcflag_t(IXON | IXOFF));
        EXPECT_EQ(t.c_lflag & ICANON, tcflag_t(0));
        port.Close();
        EXPECT_FALSE(port.IsOpen());
    }
    NativeSerialPort missing;
    EXPECT_FALSE(missing.Open("/dev/no-such-port-here", 9600));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Poll(), 0);
}

TEST_F(PtyTest, BytesBothWaysPollsAndPurge) {
    NativeSerialPort port;
    ASSERT_TRUE(port.Open(path, 9600));

    EXPECT_EQ(port.Poll(), 0);
    std::uint8_t b = 0;
    EXPECT_FALSE(port.ReadByte(b));

    ToPort("a\0\xfe"s);
    EXPECT_EQ(PollFor(port, 3), 3);
    std::string got;
    while (port.ReadByte(b)) got += char(b);
    EXPECT_EQ(got, "a\0\xfe"s);
    EXPECT_EQ(port.Poll(), 0);

    const std::string out = ESC + "P0;1P95" + ESC + BS + "\0"s;
    EXPECT_TRUE(port.Write(reinterpret_cast<const std::uint8_t*>(out.data()), out.size(), 1000));
    EXPECT_TRUE(port.Drain(1000));
    EXPECT_EQ(FromPort(out.size()), out);

    ToPort("stale");
    EXPECT_EQ(PollFor(port, 5), 5);
    port.Purge();
    EXPECT_EQ(port.Poll(), 0);
    EXPECT_FALSE(port.ReadByte(b));
}

TEST_F(PtyTest, LinkOverThePty) {
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 2'000'000;
    ASSERT_TRUE(link.OpenPort(path));

    // A request goes out byte for byte.
    link.SendSimpleCommand("0^");
    EXPECT_EQ(FromPort(8), "\x1b\x50\x30\x5e\x39\x31\x1b\x5c");

    // Two frames sent at once are read one at a time.
    const std::string first = ESC + "PxyZELTRA ARK/1.0/563412/" + ESC + BS;
    const std::string second = ESC + "P000#ab" + ESC + BS;
    ToPort(first + second);
    ASSERT_TRUE(link.ReadReply());
    EXPECT_EQ(link.ReplyText(), first);
    ASSERT_TRUE(link.ReadReply());
    EXPECT_EQ(link.ReplyText(), second);

    // A reply that comes a little later wakes the waiting read.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ToPort(second);
    });
    const bool lateOk = link.ReadReply();
    late.join();
    ASSERT_TRUE(lateOk);
    EXPECT_EQ(link.ReplyText(), second);

    // Nothing comes: the read ends after its polls.
    link.Settings().pollLimit = 3000;
    EXPECT_FALSE(link.ReadReply());
    EXPECT_EQ(link.ReplyLength(), 0u);
}

// A register that sends XOFF holds the port's output off. The command then
// meets its time-out with "Brak odpowiedzi z kasy" instead of waiting for an
// XON that never comes, and the port is let go: the next command goes out
// and gets its reply.
TEST_F(PtyTest, LineHeldOffByXoffReportsNoReplyAndIsLetGo) {
    RecordingUi ui;
    InstallUi(&ui);
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 50'000;  // about 0.5 s
    ASSERT_TRUE(link.OpenPort(path));
    ToPort("\x13");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadRegisterState(link), std::string(14, '\xFF'));
    const double held = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(held, 3.0);
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 1);
    EXPECT_EQ(FromPort(1), "");  // nothing left over to go out later

    // The register answers the next request as soon as it sees it.
    std::thread reg([&] {
        const std::string request = FromPort(9);
        if (request.size() == 9 && request.compare(2, 2, "0N") == 0) ToPort(ESC + "P1#01000020261205CC" + ESC + BS);
    });
    const std::string block = ReadRegisterState(link);
    reg.join();
    EXPECT_EQ(block, "01000020261205");
    EXPECT_EQ(ui.Count("Brak odpowiedzi z kasy"), 1);
    InstallUi(nullptr);
}

// The other end goes away while the port is open (a USB adapter pulled out):
// a read still lasts its time-out, sleeping rather than spinning, the port says
// the device is lost, and reopening finds the line again once it is back.
TEST_F(PtyTest, LineThatGoesAwayCostsNoCpuAndReopens) {
    // A fixed name for the line, as a udev link gives a USB adapter.
    const std::string alias = std::string(testing::TempDir()) + "zeltra-port-link";
    ::unlink(alias.c_str());
    ASSERT_EQ(::symlink(path.c_str(), alias.c_str()), 0);
    link.UsePort(std::make_unique<NativeSerialPort>());
    link.Settings().pollLimit = 50'000;  // about 0.5 s
    ASSERT_TRUE(link.OpenPort(alias));
    ::close(master);
    master = -1;

    timespec cpu0{}, cpu1{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu0);
    const auto wall0 = std::chrono::steady_clock::now();
    EXPECT_FALSE(link.ReadReply());
    EXPECT_FALSE(link.ReadReply());
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu1);
    const double cpu = double(cpu1.tv_sec - cpu0.tv_sec) + double(cpu1.tv_nsec - cpu0.tv_nsec) / 1e9;
    EXPECT_TRUE(link.Port().Lost());
    EXPECT_GT(wall, 0.5);         // the time-outs keep their length ...
    EXPECT_LT(cpu, wall * 0.25);  // ... without spinning a core

    // The device comes back under the same name.
    int master2 = -1, slave2 = -1;
    ASSERT_EQ(openpty(&master2, &slave2, nullptr, nullptr, nullptr), 0);
    ::unlink(alias.c_str());
    ASSERT_EQ(::symlink(ttyname(slave2), alias.c_str()), 0);
    ASSERT_TRUE(link.ReopenPortIfLost());
    EXPECT_FALSE(link.Port().Lost());
    const std::string frame = ESC + "P000#ab" + ESC + BS;
    ASSERT_EQ(write(master2, frame.data(), frame.size()), ssize_t(frame.size()));
    link.Settings().pollLimit = 2'000'000;
    ASSERT_TRUE(link.ReadReply());
    EXPECT_EQ(link.ReplyText(), frame);

    link.Reset();
    close(slave2);
    close(master2);
    ::unlink(alias.c_str());
}

}  // namespace
