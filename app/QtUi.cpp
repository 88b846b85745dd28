#include "QtUi.h"

#include <QApplication>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>

namespace {

constexpr qint64 kEventInterval = 40;  // ms between two rounds of the window's events

QMessageBox::Icon BoxIcon(UiIcon icon) {
    switch (icon) {
    case UiIcon::Information: return QMessageBox::Information;
    case UiIcon::Warning: return QMessageBox::Warning;
    case UiIcon::Error: return QMessageBox::Critical;
    case UiIcon::Question: return QMessageBox::Question;
    case UiIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

QString Caption(const std::string& caption) {
    return caption.empty() ? QApplication::applicationDisplayName()
                           : QString::fromStdString(caption);
}

}  // namespace

QString BoxText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    s.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return s;
}

void QtUi::Attach(const QtUiWidgets& w) {
    parent_ = w.parent;
    mainBar_ = w.mainBar;
    overallBar_ = w.overallBar;
    progressLabel_ = w.progressLabel;
    pluTabLabel_ = w.pluTabLabel;
    servicePluLabel_ = w.servicePluLabel;
    tabs_ = w.tabs;
    pluGrid_ = w.pluGrid;
}

void QtUi::Message(const std::string& text, const std::string& caption, UiIcon icon) {
    QMessageBox box(BoxIcon(icon), Caption(caption), BoxText(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtUi::Question(const std::string& text, const std::string& caption, UiIcon icon) {
    QMessageBox box(BoxIcon(icon), Caption(caption), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

std::optional<std::string> QtUi::Input(const std::string& prompt, const std::string& caption,
                                       const std::string& initial) {
    bool ok = false;
    QString text = QInputDialog::getText(parent_, Caption(caption), BoxText(prompt),
                                         QLineEdit::Normal, QString::fromStdString(initial), &ok);
    if (!ok) return std::nullopt;
    return text.toStdString();
}

QProgressBar* QtUi::Bar(UiBar bar) const {
    return bar == UiBar::Main ? mainBar_.data() : overallBar_.data();
}

QLabel* QtUi::Label(UiLabel label) const {
    switch (label) {
    case UiLabel::Progress: return progressLabel_;
    case UiLabel::PluTab: return pluTabLabel_;
    case UiLabel::ServicePlu: return servicePluLabel_;
    }
    return nullptr;
}

void QtUi::ProgressShow(UiBar bar, int maximum) {
    if (QProgressBar* b = Bar(bar)) {
        b->setRange(0, std::max(maximum, 0));
        b->setValue(0);
        b->show();
    }
}

void QtUi::ProgressSetMaximum(UiBar bar, int maximum) {
    if (QProgressBar* b = Bar(bar)) b->setMaximum(std::max(maximum, 0));
}

void QtUi::ProgressSetValue(UiBar bar, int value) {
    if (QProgressBar* b = Bar(bar)) b->setValue(std::clamp(value, 0, b->maximum()));
}

void QtUi::ProgressStep(UiBar bar, int by) {
    if (QProgressBar* b = Bar(bar)) b->setValue(std::min(b->value() + by, b->maximum()));
}

void QtUi::ProgressHide(UiBar bar) {
    if (QProgressBar* b = Bar(bar)) b->hide();
}

void QtUi::ShowLabel(UiLabel label, bool visible) {
    if (QLabel* l = Label(label)) l->setVisible(visible);
}

void QtUi::SetLabel(UiLabel label, const std::string& text) {
    QLabel* l = Label(label);
    if (!l) return;
    l->setText(QString::fromStdString(text));
    // The all-tables label names the table going now, also when the window's
    // events wait for their next round.
    if (label == UiLabel::Progress && l->isVisible()) l->repaint();
}

void QtUi::ProcessEvents() {
    // The sequences ask after every record, up to 19 201 times in a row, and
    // handling the window's events costs far more than a record on the line:
    // 25 rounds a second look the same and leave the time to the transfer.
    if (lastEvents_.isValid() && !lastEvents_.hasExpired(kEventInterval)) return;
    QCoreApplication::processEvents();
    lastEvents_.start();
}

void QtUi::PluCursor(int row) {
    // Only where the user can see it: the PLU tab must be the one showing.
    if (!tabs_ || !pluGrid_ || !tabs_->currentWidget() || !tabs_->currentWidget()->isAncestorOf(pluGrid_))
        return;
    QAbstractItemModel* model = pluGrid_->model();
    if (!model || row < 1 || row > model->rowCount()) return;
    pluGrid_->setCurrentIndex(model->index(row - 1, 0));
    pluGrid_->setFocus();
}
