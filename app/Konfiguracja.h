// The configuration dialog "Konfiguracja": edits config.cfg and can hand the
// new values to the running program.
#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "Polaczenie.h"
#include "Porty.h"
#include "Wykrywanie.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

// What the dialog's fields hold, as typed (Windows-1250), unvalidated.
struct ConfigurationTexts {
    std::string port = "COM1";
    std::string timeout = "2";
    std::string baud = "9600";
    std::string errorMode = "1";
    std::string maxPlu;  // empty: the model's default
    int logging = 0;     // position in the logging list: 0 "NIE", 1 "TAK"
};

// The dialog's texts from <dir>/config.cfg; a missing file or key gives the
// texts the dialog shows by default (an absent MaxPlu an empty field).
ConfigurationTexts ReadConfigurationTexts(const std::string& dir);
// The same from a config.cfg already read.
ConfigurationTexts ConfigurationTextsFrom(const Profile& file);

// Writes the texts to <dir>/config.cfg in the dialog's order, as they are;
// other lines of the file stay. False when the file could not be written.
bool SaveConfigurationTexts(const std::string& dir, const ConfigurationTexts& texts);

// The working settings after applying the texts over those in force. A speed,
// time-out or PLU text that is empty or not a number keeps the value in force;
// the time-out may be fractional, as at start-up. The error-handling mode is
// never taken over: it takes effect at the next start.
Configuration AppliedConfiguration(const Configuration& inForce, const ConfigurationTexts& texts);

class ConfigurationDialog : public QDialog {
    Q_OBJECT
public:
    // Fills the fields from config.cfg in `configDir` (the current directory
    // when empty); saving writes the same file.
    explicit ConfigurationDialog(QWidget* parent = nullptr, const QString& configDir = QString());
    // Fills the fields from `texts`, what start-up read from that file, so
    // the program reads config.cfg once.
    ConfigurationDialog(QWidget* parent, const QString& configDir, const ConfigurationTexts& texts);

    // The fields as typed.
    ConfigurationTexts Texts() const;
    void SetTexts(const ConfigurationTexts& texts);
    const std::string& Directory() const { return dir_; }

    // The port field: a list of the ports present ("COM3 — USB-SERIAL
    // CH340") that takes a typed name as well; its text is the name alone.
    QComboBox* PortBox() const { return port_; }
    QLineEdit* PortEdit() const;
    QComboBox* SpeedBox() const { return speed_; }
    QLineEdit* TimeoutEdit() const { return timeout_; }
    QLineEdit* ErrorModeEdit() const { return errorMode_; }
    QLineEdit* PluEdit() const { return plu_; }
    QComboBox* LoggingBox() const { return logging_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* CloseButton() const { return close_; }
    QPushButton* DetectButton() const { return detect_; }

    // Where the list of ports comes from (ListSerialPorts unless a test puts
    // its pseudo-terminals here); the list is read again now.
    void SetPortSource(std::function<std::vector<SerialPortInfo>()> source);
    // The ports a search tries: those listed, then the typed name when it is
    // not among them (a port the system does not list).
    std::vector<std::string> PortsToSearch() const;

signals:
    // The user saved and chose to apply the texts in the running program.
    void applyRequested(const ConfigurationTexts& texts);

public slots:
    void SaveClicked();
    void CloseClicked();
    // "Wykryj kasę": searches every port at every speed with a progress
    // window, shows what answered and, on OK, puts the chosen port and speed
    // into the fields.
    void DetectClicked();
    // The ports present, read again; what the field holds stays.
    void RefreshPorts();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void PortChosen(int index);

    ConfigurationDialog(QWidget* parent, const QString& configDir,
                        const std::optional<ConfigurationTexts>& texts);

    std::string dir_;
    std::function<std::vector<SerialPortInfo>()> portSource_;
    QComboBox* port_ = nullptr;
    QComboBox* speed_ = nullptr;
    QLineEdit* timeout_ = nullptr;
    QLineEdit* errorMode_ = nullptr;
    QLineEdit* plu_ = nullptr;
    QComboBox* logging_ = nullptr;
    QPushButton* save_ = nullptr;
    QPushButton* close_ = nullptr;
    QPushButton* detect_ = nullptr;
};

// What a search found, one line per port; those where a register answered
// can be chosen, the first of them is. OK takes the chosen one.
class DetectionResultsDialog : public QDialog {
    Q_OBJECT
public:
    DetectionResultsDialog(const std::vector<PortProbe>& results, QWidget* parent = nullptr);

    QLabel* Heading() const { return heading_; }
    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }
    QPushButton* CancelButton() const { return cancel_; }
    // The register chosen in the list; null when none is.
    const PortProbe* Chosen() const;

private:
    std::vector<PortProbe> results_;
    QLabel* heading_ = nullptr;
    QListWidget* list_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};
