// The tool's integration tests share this: a temporary working folder with
// its own config.cfg, registers (the emulator) on pseudo-terminals, and one
// run of the tool as a script sees it.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "ConfigText.h"
#include "Emulator.h"
#include "Polecenia.h"
#include "PtyServer.h"
#include "TempFiles.h"

namespace clitest {

namespace fs = std::filesystem;
using testfiles::Slurp;
using testfiles::Spit;

struct Result {
    int status = -1;
    std::string out, err;
    double seconds = 0;
};

inline int Lines(const std::string& text) { return static_cast<int>(std::count(text.begin(), text.end(), '\n')); }

// Empty when the texts are the same; otherwise their first different line.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
    if (a == b) return {};
    std::istringstream x(a), y(b);
    std::string p, q;
    for (int line = 1;; ++line) {
        const bool more = static_cast<bool>(std::getline(x, p)), moreToo = static_cast<bool>(std::getline(y, q));
        if (!more && !moreToo) return "same lines, different bytes";
        if (p != q || more != moreToo) return "line " + std::to_string(line) + ": \"" + p + "\" / \"" + q + "\"";
    }
}

// The record databases by the read command's table digit.
constexpr int kPackaging = 0, kKeys = 1, kCashiers = 2, kForms = 4, kDiscounts = 5, kPlu = 7;

// The command letters of every upload: records, header, PTU rates.
inline bool IsUpload(const std::string& payload) {
    if (payload == "0X" || payload.rfind("0X", 0) == 0 || payload.rfind("0Z", 0) == 0) return true;
    const std::size_t semi = payload.find(';');
    if (semi == std::string::npos) return false;
    std::size_t k = semi + 1;
    while (k < payload.size() && payload[k] >= '0' && payload[k] <= '9') ++k;
    return k < payload.size() && std::string("@ABCDE").find(payload[k]) != std::string::npos && k > semi + 1;
}

class CliTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = testfiles::MakeTempDir("zeltra-cli-");
        ASSERT_FALSE(dir.empty());
        env.workDir = dir.string();
        env.interrupt = &interrupt;
        // The registers' copies in the test's own folder, never the user's.
        setenv("ZELTRA_DATA_DIR", (dir / "dane").string().c_str(), 1);
    }
    void TearDown() override {
        servers.clear();
        unsetenv("ZELTRA_DATA_DIR");
        fs::remove_all(dir);
    }

    // A register on a pseudo-terminal, shaped by `shape`.
    PtyServer& Register(const std::function<void(Emulator&)>& shape) {
        servers.push_back(std::make_unique<PtyServer>());
        PtyServer& s = *servers.back();
        s.WithEmulator([&](Emulator& e) { shape(e); });
        EXPECT_TRUE(s.Start());
        return s;
    }
    // config.cfg pointing at the register.
    void Config(const PtyServer& s, int mode = 1, const std::string& timeout = "2", const std::string& maxPlu = "0") {
        Spit(dir / "config.cfg", ConfigText(s.SlavePath(), timeout, "9600", std::to_string(mode), maxPlu, "0"));
    }
    Result Run(const std::vector<std::string>& args) {
        std::ostringstream out, err;
        Result r;
        const auto start = std::chrono::steady_clock::now();
        r.status = RunTool(args, out, err, env);
        r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    static std::vector<std::string> Requests(PtyServer& s) {
        return s.WithEmulator([](Emulator& e) { return e.requests; });
    }
    // In modes 0 and 1 nothing comes back for an upload: wait until the
    // register has taken the last frame, or the next command's port opening
    // would discard what is still on the way.
    static bool WaitForRequest(PtyServer& s, const std::string& prefix) {
        for (int i = 0; i < 500; ++i) {
            const auto sent = Requests(s);
            if (std::any_of(sent.begin(), sent.end(), [&](const std::string& p) { return p.rfind(prefix, 0) == 0; }))
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }
    static std::map<int, std::map<int, std::string>> Records(PtyServer& s) {
        return s.WithEmulator([](Emulator& e) { return e.state.records; });
    }

    fs::path dir;
    ToolEnvironment env;
    std::atomic<bool> interrupt{false};
    std::vector<std::unique_ptr<PtyServer>> servers;
};

// A shop's data in every table, the header and rates as the demo has them.
inline void Shop(Emulator& e, int model) {
    e.SetModel(model);
    e.LoadDemoData();
    // A PLU far down the table, beyond the first index widths.
    e.state.records[kPlu][123] = e.state.records[kPlu][1];
    e.state.records[kKeys][5] = e.state.records[kKeys][0];
}

}  // namespace clitest
