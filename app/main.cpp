// Program entry: the six windows of the run, the real serial port, the
// message loop, and the last stop for an error nothing else handled.
#include <QApplication>
#include <QMessageBox>

#include <exception>
#include <memory>

#include "About.h"
#include "FmreaderWindow.h"
#include "Jezyk.h"
#include "Konfigkasy.h"
#include "Konfiguracja.h"
#include "Main.h"
#include "Pomoc.h"
#include "NativeSerialPort.h"
#include "QtUi.h"
#include "Wybor.h"

namespace {

void ShowFatal(const char* what) {
    QMessageBox::critical(nullptr, QString::fromUtf8(kMainCaption), QString::fromUtf8(what));
}

// Qt cannot carry an exception through its event loop: one that escapes an
// event handler is shown here and ends the program.
class Application : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            ShowFatal(e.what());
        } catch (...) {
            ShowFatal("?");
        }
        std::exit(1);
    }
};

}  // namespace

int main(int argc, char** argv) {
    Application app(argc, argv);
    InstallPolishTranslations(app);
    QtUi ui;
    InstallUi(&ui);
    // The window program talks to one register.
    Connection link;
    link.UsePort(std::make_unique<NativeSerialPort>());
    try {
        MainWindow main(link, &ui);
        ConfigurationDialog configuration(&main, QString(), main.ConfigurationTextsAtStart());
        main.AttachConfigurationDialog(&configuration);
        ModelChoiceDialog modelChoice(main.Tables(), &main);
        RegisterSettingsDialog registerSettings(link, &main);
        FmreaderWindow fiscalMemory(link, &main);
        AboutBox about(&main);
        about.SetVersionSource(main.ProgramVersionLabel());
        main.SetAuxiliaryWindows(
            {&configuration, &modelChoice, &registerSettings, &fiscalMemory, &about});
        main.show();
        return app.exec();
    } catch (const std::exception& e) {
        ShowFatal(e.what());
    } catch (...) {
        ShowFatal("?");
    }
    return 1;
}
