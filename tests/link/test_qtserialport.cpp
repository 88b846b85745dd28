// The real port against a pseudo-terminal made here: line settings, bytes both
// ways, the poll count, purge, and a read that runs into its time-out.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "ByteText.h"
#include "Pomoc.h"
#include "QtSerialPort.h"

using namespace std::string_literals;

namespace {

using bytetext::BS;
using bytetext::ESC;

class PtyTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_qtserialport";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) app = new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        ResetLink();
        ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
        path = ttyname(slave);
        fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        ResetLink();  // closes the port
        close(slave);
        close(master);
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

    static inline QCoreApplication* app = nullptr;
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
        QtSerialPort port;
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
    QtSerialPort missing;
    EXPECT_FALSE(missing.Open("/dev/no-such-port-here", 9600));
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.Poll(), 0);
}

TEST_F(PtyTest, BytesBothWaysPollsAndPurge) {
    QtSerialPort port;
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
    port.Write(reinterpret_cast<const std::uint8_t*>(out.data()), out.size());
    port.Drain();
    EXPECT_EQ(FromPort(out.size()), out);

    ToPort("stale");
    EXPECT_EQ(PollFor(port, 5), 5);
    port.Purge();
    EXPECT_EQ(port.Poll(), 0);
    EXPECT_FALSE(port.ReadByte(b));
}

TEST_F(PtyTest, LinkOverThePty) {
    UsePort(std::make_unique<QtSerialPort>());
    Link().pollLimit = 2'000'000;
    ASSERT_TRUE(OpenPort(path));

    // A request goes out byte for byte.
    SendSimpleCommand("0^");
    EXPECT_EQ(FromPort(8), "\x1b\x50\x30\x5e\x39\x31\x1b\x5c");

    // Two frames sent at once are read one at a time.
    const std::string first = ESC + "PxyZELTRA ARK/1.0/563412/" + ESC + BS;
    const std::string second = ESC + "P000#ab" + ESC + BS;
    ToPort(first + second);
    ASSERT_TRUE(ReadReply());
    EXPECT_EQ(ReplyText(), first);
    ASSERT_TRUE(ReadReply());
    EXPECT_EQ(ReplyText(), second);

    // A reply that comes a little later wakes the waiting read.
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        ToPort(second);
    });
    const bool lateOk = ReadReply();
    late.join();
    ASSERT_TRUE(lateOk);
    EXPECT_EQ(ReplyText(), second);

    // Bytes that QSerialPort took into its own buffer while the event loop ran
    // come first, before those still in the device.
    ToPort(ESC + "Pab");
    for (int i = 0; i < 100 && Port().Poll() < 4; ++i) QCoreApplication::processEvents();
    ToPort("cd" + ESC + BS);
    ASSERT_TRUE(ReadReply());
    EXPECT_EQ(ReplyText(), ESC + "Pabcd" + ESC + BS);

    // Nothing comes: the read ends after its polls.
    Link().pollLimit = 3000;
    EXPECT_FALSE(ReadReply());
    EXPECT_EQ(ReplyLength(), 0u);
}

}  // namespace
