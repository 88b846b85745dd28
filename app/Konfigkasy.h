// The register settings dialog "Ustawienia kasy".
#pragma once

#include <QDialog>

class RegisterSettingsDialog : public QDialog {
    Q_OBJECT
public:
    explicit RegisterSettingsDialog(QWidget* parent = nullptr);
};
