#include "FmreaderStub.h"

FmreaderWindow::FmreaderWindow(QWidget* parent) : QDialog(parent) {
    setObjectName("Fmreader");
    setModal(false);
}
