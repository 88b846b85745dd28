#include "QtUi.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

#include <algorithm>

#include "Main.h"
#include "Przebieg.h"

namespace {

constexpr qint64 kEventInterval = 40;  // ms between two rounds of the window's events
constexpr qint64 kPaintInterval = 40;  // ms between two paintings of a running bar

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

// A box without a caption of its own takes its window's (the program's
// caption), not Qt's default, which is the executable's name. Setting an
// application display name instead would append it to every window's caption.
QString Caption(const std::string& caption, const QWidget* parent) {
    if (!caption.empty()) return QString::fromStdString(caption);
    return parent ? parent->window()->windowTitle() : QString::fromUtf8(kMainCaption);
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
    mainStop_ = w.mainStop;
    overallStop_ = w.overallStop;
    mainCount_ = w.mainCount;
    for (QPushButton* b : {w.mainStop, w.overallStop}) {
        if (!b) continue;
        b->hide();
        b->setAutoDefault(false);
        QObject::connect(b, &QPushButton::clicked, b, [this] { Stop(); });
    }
    if (mainCount_) mainCount_->hide();
}

void QtUi::Message(const std::string& text, const std::string& caption, UiIcon icon) {
    QMessageBox box(BoxIcon(icon), Caption(caption, parent_), BoxText(text), QMessageBox::Ok, parent_);
    box.exec();
}

bool QtUi::Question(const std::string& text, const std::string& caption, UiIcon icon) {
    QMessageBox box(BoxIcon(icon), Caption(caption, parent_), BoxText(text),
                    QMessageBox::Yes | QMessageBox::No, parent_);
    // Every question of the program guards something that cannot be taken
    // back (records dropped, the register's clock set, the connection left):
    // Enter and Esc both answer No.
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

// A box with the lines in a scrolled field: hundreds of bad rows would not
// fit a message box. As with the other questions, Enter and Esc answer No.
static bool ListBox(QWidget* parent, const std::string& intro, const std::vector<std::string>& lines,
                    const std::string& closing, bool question) {
    QDialog dialog(parent);
    dialog.setObjectName("listBox");
    dialog.setWindowTitle(Caption({}, parent));
    auto* layout = new QVBoxLayout(&dialog);
    auto* top = new QLabel(BoxText(intro), &dialog);
    top->setWordWrap(true);
    layout->addWidget(top);
    auto* list = new QPlainTextEdit(&dialog);
    list->setObjectName("lines");
    list->setReadOnly(true);
    list->setLineWrapMode(QPlainTextEdit::NoWrap);
    QStringList texts;
    for (const std::string& line : lines) texts << QString::fromStdString(line);
    list->setPlainText(texts.join('\n'));
    layout->addWidget(list, 1);
    layout->addWidget(new QLabel(BoxText(closing), &dialog));
    auto* buttons = new QDialogButtonBox(
        question ? QDialogButtonBox::Yes | QDialogButtonBox::No : QDialogButtonBox::Ok, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    if (question) {
        QPushButton* no = buttons->button(QDialogButtonBox::No);
        no->setDefault(true);
        no->setFocus();
    }
    layout->addWidget(buttons);
    dialog.resize(620, 380);
    return dialog.exec() == QDialog::Accepted;
}

void QtUi::MessageWithList(const std::string& intro, const std::vector<std::string>& lines,
                           const std::string& closing) {
    ListBox(parent_, intro, lines, closing, false);
}

bool QtUi::QuestionWithList(const std::string& intro, const std::vector<std::string>& lines,
                            const std::string& question) {
    return ListBox(parent_, intro, lines, question, true);
}

std::optional<std::string> QtUi::Input(const std::string& prompt, const std::string& caption,
                                       const std::string& initial) {
    bool ok = false;
    QString text = QInputDialog::getText(parent_, Caption(caption, parent_), BoxText(prompt),
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
    const int i = bar == UiBar::Main ? 0 : 1;
    value_[i] = 0;
    if (QProgressBar* b = Bar(bar)) {
        b->setRange(0, std::max(maximum, 0));
        b->setValue(0);
        b->show();
    }
    if (bar == UiBar::Main) mainStarted_.start();
    BarShown(bar, true);
    PaintBar(bar);
}

void QtUi::ProgressSetMaximum(UiBar bar, int maximum) {
    if (QProgressBar* b = Bar(bar)) b->setMaximum(std::max(maximum, 0));
    PaintBar(bar);
}

void QtUi::ProgressSetValue(UiBar bar, int value) {
    QProgressBar* b = Bar(bar);
    value_[bar == UiBar::Main ? 0 : 1] = b ? std::clamp(value, 0, b->maximum()) : std::max(value, 0);
    PaintBar(bar);
}

void QtUi::ProgressStep(UiBar bar, int by) {
    // Up to 19 271 steps in a row: the bar and its count are painted at most
    // every few milliseconds, and always when the bar is full.
    const int i = bar == UiBar::Main ? 0 : 1;
    QProgressBar* b = Bar(bar);
    value_[i] = b ? std::min(value_[i] + by, b->maximum()) : value_[i] + by;
    if (!shown_[i] || !painted_[i].isValid() || painted_[i].hasExpired(kPaintInterval) ||
        (b && value_[i] >= b->maximum()))
        PaintBar(bar);
}

void QtUi::ProgressHide(UiBar bar) {
    PaintBar(bar);
    if (QProgressBar* b = Bar(bar)) b->hide();
    BarShown(bar, false);
}

void QtUi::PaintBar(UiBar bar) {
    const int i = bar == UiBar::Main ? 0 : 1;
    painted_[i].start();
    QProgressBar* b = Bar(bar);
    if (b) b->setValue(value_[i]);
    if (bar == UiBar::Main && mainCount_ && shown_[0] && b)
        mainCount_->setText(QString::fromStdString(
            RecordsLeftText(value_[0], b->maximum(), mainStarted_.elapsed() / 1000.0)));
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

bool QtUi::StopRequested() { return Busy() && stop_; }

void QtUi::PluCursor(int row) {
    // Only where the user can see it: the PLU tab must be the one showing.
    if (!tabs_ || !pluGrid_ || !tabs_->currentWidget() || !tabs_->currentWidget()->isAncestorOf(pluGrid_))
        return;
    QAbstractItemModel* model = pluGrid_->model();
    if (!model || row < 1 || row > model->rowCount()) return;
    pluGrid_->setCurrentIndex(model->index(row - 1, 0));
    pluGrid_->setFocus();
}

// ---- holding input back while an operation runs ----

// Lets through what the running operation's own boxes get and the stop
// buttons' clicks; Esc stops; every other key, click, wheel turn and
// shortcut is dropped, so nothing reaches the editors, menus or tabs.
class InputGate final : public QObject {
public:
    explicit InputGate(QtUi& ui) : ui_(ui) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            break;
        default:
            return false;
        }
        // A box the operation opened (a missing reply, the model question).
        if (QApplication::activeModalWidget()) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        // A window passes its input on to one of its widgets, judged there;
        // a shortcut goes to its action, which must not fire.
        if (!widget) return event->type() == QEvent::Shortcut;
        if (widget == ui_.mainStop_ || widget == ui_.overallStop_) return false;
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
            ui_.Stop();
            return true;
        }
        // Taken here, so the key goes no further as a shortcut either.
        if (event->type() == QEvent::ShortcutOverride) event->accept();
        return true;
    }

private:
    QtUi& ui_;
};

QtUi::QtUi() : gate_(std::make_unique<InputGate>(*this)) {}

QtUi::~QtUi() {
    if (Busy() && QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(gate_.get());
}

QPushButton* QtUi::StopButton(UiBar bar) const { return bar == UiBar::Main ? mainStop_.data() : overallStop_.data(); }

void QtUi::BarShown(UiBar bar, bool shown) {
    const bool wasBusy = Busy();
    shown_[bar == UiBar::Main ? 0 : 1] = shown;
    if (QPushButton* b = StopButton(bar)) b->setVisible(shown);
    if (bar == UiBar::Main && mainCount_) mainCount_->setVisible(shown);
    QCoreApplication* app = QCoreApplication::instance();
    if (!wasBusy && Busy()) {
        stop_ = false;
        for (QPushButton* b : {mainStop_.data(), overallStop_.data()})
            if (b) b->setEnabled(true);
        if (app) app->installEventFilter(gate_.get());
    } else if (wasBusy && !Busy()) {
        // Keys and clicks that came during the last record's exchange are
        // still queued: they are dropped too, not played into the window now.
        if (app) {
            QCoreApplication::processEvents();
            app->removeEventFilter(gate_.get());
        }
    }
}

void QtUi::Stop() {
    if (!Busy()) return;
    stop_ = true;
    // Pressed once is enough: the operation ends at its next record.
    for (QPushButton* b : {mainStop_.data(), overallStop_.data()})
        if (b) b->setEnabled(false);
}
