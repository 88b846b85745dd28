// Stand-in for the fiscal memory reader window until it is built.
#pragma once

#include <QDialog>

class FmreaderWindow : public QDialog {
    Q_OBJECT
public:
    explicit FmreaderWindow(QWidget* parent = nullptr);
};
