// The register settings dialog "Ustawienia kasy": the manager password, the
// error-handling mode, print quality, work mode and amount entry. It is not
// modal, lives for the whole run and keeps its values between uses; they are
// never read from the register.
#pragma once

#include <QDialog>

#include <functional>

class Connection;
class QComboBox;
class QLineEdit;
class QPushButton;

class RegisterSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit RegisterSettingsDialog(Connection& link, QWidget* parent = nullptr);

    // Runs an exchange with the register when no other one is under way;
    // false when it refused. Without one the exchange runs at once.
    using Runner = std::function<bool(const std::function<void()>&)>;
    void SetRunner(Runner runner) { runner_ = std::move(runner); }

    QLineEdit* Password() const { return password_; }
    QComboBox* ErrorMode() const { return errorMode_; }
    QComboBox* PrintQuality() const { return printQuality_; }
    QComboBox* WorkMode() const { return workMode_; }
    QComboBox* AmountMode() const { return amountMode_; }
    QPushButton* SendButton() const { return send_; }
    QPushButton* ExitButton() const { return exit_; }

public slots:
    // "Wyślij do kasy": password, settings byte, error-handling mode, then the
    // dialog closes. A refused password stops before anything is sent and
    // leaves the dialog open.
    void Send();

private:
    Connection& link_;
    QLineEdit* password_;
    QComboBox* errorMode_;
    QComboBox* printQuality_;
    QComboBox* workMode_;
    QComboBox* amountMode_;
    QPushButton* send_;
    QPushButton* exit_;
    Runner runner_;
};
