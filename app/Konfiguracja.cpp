#include "Konfiguracja.h"

ConfigurationDialog::ConfigurationDialog(QWidget* parent) : QDialog(parent) {
    setObjectName("Konfiguracja");
    setWindowTitle(QStringLiteral("Konfiguracja"));
    setModal(false);
}
