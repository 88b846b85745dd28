#include "Konfiguracja.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <optional>

#include "Cp1250.h"
#include "Profile.h"
#include "Sciezka.h"
#include "Ui.h"

namespace {

QString FromCp1250(const std::string& text) {
    return QString::fromStdString(Cp1250ToUtf8(text));
}

std::string ToCp1250(const QString& text) { return Utf8ToCp1250(text.toStdString()); }

}  // namespace

ConfigurationTexts ReadConfigurationTexts(const std::string& dir) {
    return ConfigurationTextsFrom(LoadConfigFile(dir));
}

ConfigurationTexts ConfigurationTextsFrom(const Profile& file) {
    ConfigurationTexts t;
    t.port = file.Get("PORTRS", "NrPortu", "COM1");
    t.timeout = file.Get("PORTRS", "Timeout", "2");
    t.baud = file.Get("PORTRS", "Baud", "9600");
    t.errorMode = file.Get("USTAWIENIA", "ObslugaBledow", "1");
    t.maxPlu = file.Get("USTAWIENIA", "MaxPlu", "");
    // Any non-zero value turns the log on, so it shows as "TAK".
    t.logging = ConfigWholeNumber(file.Get("USTAWIENIA", "CzyLogowac", "0")).value_or(0) != 0 ? 1 : 0;
    return t;
}

bool SaveConfigurationTexts(const std::string& dir, const ConfigurationTexts& t) {
    const std::string path = ConfigFilePath(dir);
    Profile file;
    file.Load(path);
    file.Set("PORTRS", "NrPortu", t.port);
    file.Set("PORTRS", "Timeout", t.timeout);
    file.Set("PORTRS", "Baud", t.baud);
    file.Set("USTAWIENIA", "ObslugaBledow", t.errorMode);
    file.Set("USTAWIENIA", "MaxPlu", t.maxPlu);
    file.Set("USTAWIENIA", "CzyLogowac", std::to_string(t.logging));
    return file.Save(path);
}

Configuration AppliedConfiguration(const Configuration& inForce, const ConfigurationTexts& t) {
    Configuration c = inForce;
    c.portName = t.port;
    c.baud = ConfigWholeNumber(t.baud).value_or(inForce.baud);
    c.pollLimit = ConfigPollLimit(t.timeout).value_or(inForce.pollLimit);
    // As at start-up: below 0 is the model's default, above the largest
    // register's capacity is cut to it.
    if (std::optional<int> plu = ConfigWholeNumber(t.maxPlu)) c.pluCount = UsablePluCount(*plu);
    c.logging = t.logging != 0 ? 1 : 0;
    return c;
}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir)
    : ConfigurationDialog(parent, configDir, std::nullopt) {}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir,
                                         const ConfigurationTexts& texts)
    : ConfigurationDialog(parent, configDir, std::optional<ConfigurationTexts>(texts)) {}

ConfigurationDialog::ConfigurationDialog(QWidget* parent, const QString& configDir,
                                         const std::optional<ConfigurationTexts>& texts)
    : QDialog(parent) {
    setObjectName("Konfiguracja");
    setWindowTitle(QStringLiteral("Konfiguracja"));
    setModal(false);
    // The directory is fixed now: the file read at entry is the one saved to.
    dir_ = CorePath(configDir.isEmpty() ? QDir::currentPath() : configDir);

    port_ = new QLineEdit(this);
    port_->setObjectName("port");
    speed_ = new QComboBox(this);
    speed_->setObjectName("speed");
    // Editable, so that a speed from the file outside the list still shows.
    speed_->setEditable(true);
    speed_->setInsertPolicy(QComboBox::NoInsert);
    speed_->addItems({"9600", "19200", "38400"});
    timeout_ = new QLineEdit(this);
    timeout_->setObjectName("timeout");
    errorMode_ = new QLineEdit(this);
    errorMode_->setObjectName("errorMode");
    plu_ = new QLineEdit(this);
    plu_->setObjectName("maxPlu");
    logging_ = new QComboBox(this);
    logging_->setObjectName("logging");
    logging_->addItems({"NIE", "TAK"});

    auto* form = new QFormLayout();
    form->addRow(QString::fromUtf8("Numer portu RS232"), port_);
    form->addRow(QString::fromUtf8("Prędkość transmisji"), speed_);
    form->addRow(QString::fromUtf8("Time-OUT"), timeout_);
    form->addRow(QString::fromUtf8("Obsługa błędów"), errorMode_);
    form->addRow(QString::fromUtf8("Ograniczenie PLU"), plu_);
    form->addRow(QString::fromUtf8("Logowanie transmisji"), logging_);

    save_ = new QPushButton(QString::fromUtf8("Wyjście z zapisem"), this);
    save_->setObjectName("save");
    close_ = new QPushButton(QString::fromUtf8("Wyjście bez zapisu"), this);
    close_->setObjectName("close");
    // Enter in a field must not save by accident.
    save_->setAutoDefault(false);
    close_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(save_);
    buttons->addWidget(close_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(save_, &QPushButton::clicked, this, &ConfigurationDialog::SaveClicked);
    connect(close_, &QPushButton::clicked, this, &ConfigurationDialog::CloseClicked);

    SetTexts(texts ? *texts : ReadConfigurationTexts(dir_));
}

ConfigurationTexts ConfigurationDialog::Texts() const {
    ConfigurationTexts t;
    t.port = ToCp1250(port_->text());
    t.timeout = ToCp1250(timeout_->text());
    t.baud = ToCp1250(speed_->currentText());
    t.errorMode = ToCp1250(errorMode_->text());
    t.maxPlu = ToCp1250(plu_->text());
    t.logging = logging_->currentIndex() == 1 ? 1 : 0;
    return t;
}

void ConfigurationDialog::SetTexts(const ConfigurationTexts& t) {
    port_->setText(FromCp1250(t.port));
    speed_->setCurrentText(FromCp1250(t.baud));
    timeout_->setText(FromCp1250(t.timeout));
    errorMode_->setText(FromCp1250(t.errorMode));
    plu_->setText(FromCp1250(t.maxPlu));
    logging_->setCurrentIndex(t.logging != 0 ? 1 : 0);
}

void ConfigurationDialog::SaveClicked() {
    const ConfigurationTexts texts = Texts();
    // A file that cannot be written is said so; the values can still be used now.
    if (!SaveConfigurationTexts(dir_, texts))
        CurrentUi().Message("Nie udało się zapisać pliku config.cfg", "Uwaga!", UiIcon::Warning);
    if (CurrentUi().Question("Czy uwzględnić zmiany w bieżącej sesji programu",
                             "Uwzględnić zmiany ?"))
        emit applyRequested(texts);
    hide();
}

void ConfigurationDialog::CloseClicked() { hide(); }
