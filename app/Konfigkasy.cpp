#include "Konfigkasy.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <string>

#include "Cp1250.h"
#include "Pomoc.h"
#include "Sekwencje.h"

namespace {

QString U(const char* utf8) { return QString::fromUtf8(utf8); }

QComboBox* List(const char* name, std::initializer_list<const char*> entries, QWidget* parent) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    for (const char* e : entries) box->addItem(U(e));
    box->setCurrentIndex(0);
    return box;
}

}  // namespace

RegisterSettingsDialog::RegisterSettingsDialog(Connection& link, QWidget* parent) : QDialog(parent), link_(link) {
    setObjectName("Konfigkasy");
    setWindowTitle(U("Ustawienia kasy"));
    setModal(false);

    password_ = new QLineEdit(U("7391"), this);
    password_->setObjectName("password");
    password_->setMaxLength(4);
    errorMode_ = List("errorMode",
                      {"Wyświetlacz-ON, RS-OFF", "Wyświetlacz-OFF, RS-OFF", "Wyświetlacz-ON, RS-ON",
                       "Wyświetlacz-OFF, RS-ON"},
                      this);
    printQuality_ = List("printQuality", {"Standartowa", "Jaśniejszy", "Ciemniejszy"}, this);
    workMode_ = List("workMode", {"OFF-LINE", "ON-LINE"}, this);
    amountMode_ = List("amountMode", {"w złotówkach", "w groszach"}, this);

    auto* fields = new QGridLayout();
    const std::pair<const char*, QWidget*> rows[] = {
        {"Hasło kierownika", password_},   {"Tryb obsługi błędów", errorMode_},
        {"Jakość wydruku", printQuality_}, {"Tryb pracy", workMode_},
        {"Tryb wprowadzania kwot", amountMode_}};
    int r = 0;
    for (const auto& [label, field] : rows) {
        auto* l = new QLabel(U(label), this);
        l->setBuddy(field);
        fields->addWidget(l, r, 0);
        fields->addWidget(field, r, 1);
        ++r;
    }

    send_ = new QPushButton(U("Wyślij do kasy"), this);
    send_->setObjectName("send");
    send_->setAutoDefault(false);
    exit_ = new QPushButton(U("Wyjście bez wysyłania"), this);
    exit_->setObjectName("exit");
    exit_->setAutoDefault(false);
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(send_);
    buttons->addWidget(exit_);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(send_, &QPushButton::clicked, this, &RegisterSettingsDialog::Send);
    connect(exit_, &QPushButton::clicked, this, &QWidget::hide);
}

void RegisterSettingsDialog::Send() {
    bool sent = false;
    auto work = [&] {
        if (!SendManagerPassword(link_, Utf8ToCp1250(password_->text().toStdString()))) return;
        SendSettingsByte(link_, SettingsNumber(amountMode_->currentIndex(), workMode_->currentIndex(),
                                        printQuality_->currentIndex()));
        // The program's own mode follows for the rest of the run; config.cfg keeps its value.
        link_.SetErrorMode(std::to_string(errorMode_->currentIndex()));
        sent = true;
    };
    if (runner_)
        runner_(work);
    else
        work();
    if (sent) hide();
}
