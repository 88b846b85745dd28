#include "Wybor.h"

#include <QCloseEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "Identyfikacja.h"
#include "Pliki.h"
#include "Tabele.h"

ModelChoiceDialog::ModelChoiceDialog(TableSet& tables, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint),
      tables_(tables) {
    setObjectName("Wybor");
    setWindowTitle(QStringLiteral("Wybierz rodzaj kasy"));
    setModal(false);

    auto* heading = new QLabel(QStringLiteral("Wybierz rodzaj kasy dla trybu OFF-LINE"), this);
    list_ = new QListWidget(this);
    list_->setObjectName("modelList");
    for (const char* text : kModelChoiceTexts) list_->addItem(QString::fromUtf8(text));
    list_->setCurrentRow(0);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName("ok");
    ok_->setDefault(true);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(list_);
    layout->addWidget(ok_, 0, Qt::AlignHCenter);

    connect(ok_, &QPushButton::clicked, this, &ModelChoiceDialog::Choose);
    connect(list_, &QListWidget::itemDoubleClicked, this, &ModelChoiceDialog::Choose);
}

void ModelChoiceDialog::Choose() {
    // A data file being read or written right now keeps the sizes it started with.
    if (DataFileBusy()) return;
    int model = list_->currentRow();
    if (model < 0 || model >= kModelCount) model = 0;
    tables_.ApplyModel(model, PluRule::Configured);
    hide();
    emit ModelChosen(model);
}

void ModelChoiceDialog::closeEvent(QCloseEvent* event) { event->ignore(); }
