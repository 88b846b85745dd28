// The model choice for OFF-LINE work: the user picks the register model whose
// table sizes apply. Offered once, when start-up found no register.
#pragma once

#include <QDialog>

class QListWidget;
class QPushButton;
class TableSet;

class ModelChoiceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ModelChoiceDialog(TableSet& tables, QWidget* parent = nullptr);

    QListWidget* List() const { return list_; }
    QPushButton* OkButton() const { return ok_; }

public slots:
    void Choose();  // "OK"
    // The dialog is left only through "OK": no close button, Esc does nothing.
    void reject() override {}

signals:
    void ModelChosen(int model);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    TableSet& tables_;
    QListWidget* list_;
    QPushButton* ok_;
};
