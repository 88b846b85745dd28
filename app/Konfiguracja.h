// The configuration dialog "Konfiguracja": edits config.cfg.
#pragma once

#include <QDialog>

class ConfigurationDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConfigurationDialog(QWidget* parent = nullptr);
};
