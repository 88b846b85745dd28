#include "Konfigkasy.h"

RegisterSettingsDialog::RegisterSettingsDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("Konfigkasy");
    setWindowTitle(QStringLiteral("Ustawienia kasy"));
    setModal(false);
}
