// zeltra-emulator: a register on a pseudo-terminal. Prints the terminal's path
// on the first line, then answers until SIGTERM or SIGINT.
#include <cerrno>
#include <csignal>
#include <pthread.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "PtyServer.h"

namespace {

const char* kUsage =
    "Usage: zeltra-emulator [options]\n"
    "Serves a register emulator on a pseudo-terminal; the first line of output\n"
    "is the terminal's path. Stops on SIGTERM or SIGINT.\n"
    "\n"
    "  --model N         model 0 ZELTRA ARK, 1 ZELTRA ARK MIRRA (default),\n"
    "                    2 ZELTRA ARK MAXI (10k), 3 ZELTRA ARK MAXI (20k)\n"
    "  --model-text TEXT model text sent in the identification reply\n"
    "  --capacity XX     capacity marker after the serial number (r5 = 20k)\n"
    "  --version TEXT    software version (default V1.07)\n"
    "  --serial TEXT     serial number, six characters (default 123456)\n"
    "  --error-mode N    error-handling mode 0-3 (default 1)\n"
    "  --fiscal          work in fiscal mode (default: training)\n"
    "  --demo            start with a small shop's databases and fiscal memory\n"
    "  --fiscal-records N  a generated fiscal memory of N records (0-2038)\n"
    "  --fiscal-memory FILE  the fiscal memory from FILE: one record a line in\n"
    "                    hexadecimal text, from record 8 on; '#' starts a comment\n"
    "  --silent          answer nothing\n"
    "  --drop-every N    drop every N-th reply\n"
    "  --garbage         send noise instead of replies\n"
    "  --split           send replies one byte at a time with small pauses\n"
    "  --baud N          pace output at N baud (N / 10 bytes per second)\n"
    "  --line-speed N    answer only when the program opened the line at N\n"
    "                    (9600, 19200 or 38400), as a register set to N\n"
    "  --stray-every N   send three stray bytes after every N-th reply\n"
    "  --stray-after N   send three stray bytes once, after the N-th reply\n"
    "  --late MS         send every answer MS milliseconds late\n"
    "  --late-from N     ... from the N-th request on\n"
    "  --wrong-record N  answer every N-th record read with the next record\n"
    "  --xoff-at N       send XOFF instead of the N-th reply\n"
    "  --help            this text\n";

bool ParseInt(const std::string& text, int low, int high, int& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    long v = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || v < low || v > high) return false;
    value = static_cast<int>(v);
    return true;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zeltra-emulator: %s\n%s", message.c_str(), kUsage);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    Emulator emulator;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        std::string value;
        bool inlineValue = false;
        if (auto eq = option.find('='); option.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = option.substr(eq + 1);
            option.resize(eq);
            inlineValue = true;
        }
        auto takeValue = [&](std::string& out) {
            if (inlineValue) {
                out = value;
                return true;
            }
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string arg;
        int number = 0;
        if (option == "--help" || option == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (option == "--silent") {
            emulator.switches.silent = true;
        } else if (option == "--demo") {
            emulator.LoadDemoData();
        } else if (option == "--fiscal-records") {
            if (!takeValue(arg) || !ParseInt(arg, 0, kFiscalHistoryRecords, number))
                return Fail("--fiscal-records takes 0 to 2038");
            GenerateFiscalMemory(emulator.state, number);
        } else if (option == "--fiscal-memory") {
            if (!takeValue(arg)) return Fail("--fiscal-memory takes a file");
            if (!LoadFiscalMemory(emulator.state, arg)) return Fail("cannot load the fiscal memory from " + arg);
        } else if (option == "--fiscal") {
            emulator.state.fiscal = true;
        } else if (option == "--garbage") {
            emulator.switches.garbage = true;
        } else if (option == "--split") {
            emulator.switches.split = true;
        } else if (option == "--model") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 3, number)) return Fail("--model takes 0 to 3");
            emulator.SetModel(number);
        } else if (option == "--model-text") {
            if (!takeValue(arg)) return Fail("--model-text takes a text");
            emulator.state.modelText = arg;
        } else if (option == "--capacity") {
            if (!takeValue(arg)) return Fail("--capacity takes two characters");
            emulator.state.capacityMarker = arg;
        } else if (option == "--version") {
            if (!takeValue(arg)) return Fail("--version takes a text");
            emulator.state.version = arg;
        } else if (option == "--serial") {
            if (!takeValue(arg)) return Fail("--serial takes a text");
            emulator.state.serial = arg;
        } else if (option == "--error-mode") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 3, number)) return Fail("--error-mode takes 0 to 3");
            emulator.state.errorMode = number;
        } else if (option == "--drop-every") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 1000000, number)) return Fail("--drop-every takes a count");
            emulator.switches.dropEvery = number;
        } else if (option == "--baud") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 10000000, number)) return Fail("--baud takes a speed");
            emulator.switches.baud = number;
        } else if (option == "--stray-every" || option == "--stray-after" || option == "--late" || option == "--late-from" ||
                   option == "--wrong-record" || option == "--xoff-at") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 1000000, number)) return Fail(option + " takes a count");
            if (option == "--stray-every") emulator.switches.strayEvery = number;
            else if (option == "--stray-after") emulator.switches.strayOnceAfter = number;
            else if (option == "--late") emulator.switches.lateMs = number;
            else if (option == "--late-from") emulator.switches.lateFrom = number;
            else if (option == "--wrong-record") emulator.switches.wrongRecordEvery = number;
            else emulator.switches.xoffAt = number;
        } else if (option == "--line-speed") {
            if (!takeValue(arg) || !ParseInt(arg, 0, 38400, number) ||
                (number != 9600 && number != 19200 && number != 38400))
                return Fail("--line-speed takes 9600, 19200 or 38400");
            emulator.switches.lineSpeed = number;
        } else {
            return Fail("unknown option " + option);
        }
    }

    // The signals are taken by sigwait below; block them before the serving
    // thread starts so that it inherits the mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    PtyServer server(std::move(emulator));
    if (!server.Start()) {
        std::fprintf(stderr, "zeltra-emulator: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.Stop();
    return 0;
}
