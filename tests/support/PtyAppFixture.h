// What the window tests share: the program's folder (a fresh temporary one for
// config.cfg), the link reset, message boxes going to a recorder, and the
// emulator on a pseudo-terminal reached through the real serial code. A test
// class derives from it and calls SetUpFixture() in init() and
// TearDownFixture() in cleanup().
#pragma once

#include <QCoreApplication>
#include <QPushButton>
#include <QString>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "ConfigText.h"
#include "Main.h"
#include "Pomoc.h"
#include "PtyServer.h"
#include "NativeSerialPort.h"
#include "RecordingUi.h"
#include "TempFiles.h"
#include "Ui.h"

class PtyAppFixture {
protected:
    std::unique_ptr<PtyServer> server;
    Connection link;  // the window's connection with its register
    RecordingUi ui;
    QString dir;

    // Before each test: a new folder named after `prefix`, the link reset,
    // messages to a fresh recorder.
    void SetUpFixture(const std::string& prefix) {
        // The tests fill in Qt's own file dialog; Windows would otherwise
        // open its native one, which no test can type into (the installed
        // program's run under wine goes through that one).
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
        dir = QString::fromLocal8Bit(testfiles::MakeTempDir(prefix).string().c_str());
        link.Reset();
        ui = RecordingUi();
        InstallUi(&ui);
    }
    // After each test: the link closed, the emulator stopped, the folder and
    // its config.cfg removed.
    void TearDownFixture() {
        link.Reset();
        InstallUi(nullptr);
        server.reset();
        std::error_code ignored;
        std::filesystem::remove_all(dir.toStdString(), ignored);
    }

    // The emulator started and shaped by `shape`, the real serial code in
    // place to reach it; false when no pseudo-terminal could be had.
    template <class Shape>
    bool LaunchEmulator(Shape&& shape) {
        server = std::make_unique<PtyServer>();
        if (!server->Start()) return false;
        server->WithEmulator(shape);
        link.UsePort(std::make_unique<NativeSerialPort>());
        return true;
    }
    // A model 3 register with serial number 123456 and version V1.0.
    static void Model3Register(Emulator& e) {
        e.SetModel(3);
        e.state.serial = "123456";
        e.state.version = "V1.0";
    }

    std::string ConfigPath() const { return dir.toStdString() + "/config.cfg"; }
    // config.cfg pointing at the emulator, at 9600 baud, without logging.
    void WriteConfigFile(const std::string& timeout, int errorMode, const std::string& maxPlu) {
        testfiles::Spit(ConfigPath(),
                        ConfigText(server->SlavePath(), timeout, "9600", std::to_string(errorMode), maxPlu, "0"));
    }

    // The payloads of the requests the emulator has taken, in order.
    std::vector<std::string> Requests() {
        return server->WithEmulator([](Emulator& e) { return e.requests; });
    }
    void ClearRequests() {
        server->WithEmulator([](Emulator& e) { e.requests.clear(); });
    }

    // How many of the controls that talk to the register are enabled.
    static int Enabled(const MainWindow& w) {
        int n = 0;
        for (QPushButton* b : w.RegisterControls()) n += b->isEnabled();
        return n;
    }
};
