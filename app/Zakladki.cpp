#include "Zakladki.h"

#include <QEvent>
#include <QFontMetrics>
#include <QStyle>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>

namespace {

int TextWidth(const QFontMetrics& metrics, const QString& text) {
    return metrics.size(Qt::TextShowMnemonic, text).width();
}

}  // namespace

QString TwoLineCaption(const QString& caption, const QFontMetrics& metrics) {
    QString best = caption;
    int bestWidth = TextWidth(metrics, caption);
    const int afterNumber = caption.indexOf(QLatin1Char(' '));
    if (afterNumber < 0) return best;
    for (int at = caption.indexOf(QLatin1Char(' '), afterNumber + 1); at >= 0;
         at = caption.indexOf(QLatin1Char(' '), at + 1)) {
        QString broken = caption;
        broken[at] = QLatin1Char('\n');
        const int width = TextWidth(metrics, broken);
        if (width < bestWidth) {
            best = broken;
            bestWidth = width;
        }
    }
    return best;
}

WrappingTabBar::WrappingTabBar(QWidget* parent) : QTabBar(parent) {
    // A caption is shown whole; the scroll arrows stay only as the last
    // resort for a font too large even for two lines.
    setElideMode(Qt::ElideNone);
    setUsesScrollButtons(true);
}

void WrappingTabBar::SetWrapped(bool wrapped) {
    if (wrapped == wrapped_) return;
    wrapped_ = wrapped;
    // Setting the captions again makes the bar measure its tabs anew.
    for (int i = 0; i < count(); ++i) setTabText(i, tabText(i));
}

int WrappingTabBar::OneLineWidth() const {
    int width = 0;
    for (int i = 0; i < count(); ++i) width += QTabBar::tabSizeHint(i).width();
    return width;
}

QSize WrappingTabBar::tabSizeHint(int index) const {
    QSize size = QTabBar::tabSizeHint(index);
    if (!wrapped_) return size;
    const QFontMetrics metrics = fontMetrics();
    const QString caption = tabText(index);
    const QString shown = TwoLineCaption(caption, metrics);
    const QSize one = metrics.size(Qt::TextShowMnemonic, caption);
    const QSize two = metrics.size(Qt::TextShowMnemonic, shown);
    size.rwidth() -= one.width() - two.width();
    // Every tab of a row takes the tallest one's height, also those in one line.
    size.rheight() += metrics.lineSpacing();
    return size;
}

void WrappingTabBar::initStyleOption(QStyleOptionTab* option, int index) const {
    QTabBar::initStyleOption(option, index);
    if (wrapped_) option->text = TwoLineCaption(tabText(index), fontMetrics());
}

MainTabs::MainTabs(QWidget* parent) : QTabWidget(parent), bar_(new WrappingTabBar(this)) {
    setTabBar(bar_);
}

void MainTabs::resizeEvent(QResizeEvent* event) {
    FitCaptions();  // before the tab widget places the bar for the new width
    QTabWidget::resizeEvent(event);
}

void MainTabs::changeEvent(QEvent* event) {
    QTabWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitCaptions();
}

void MainTabs::tabInserted(int index) {
    QTabWidget::tabInserted(index);
    FitCaptions();
}

void MainTabs::FitCaptions() {
    // The room the style would give a bar that wants all tabs in one line.
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    const int oneLine = bar_->OneLineWidth();
    option.tabBarSize = QSize(oneLine, bar_->sizeHint().height());
    const int room = style()->subElementRect(QStyle::SE_TabWidgetTabBar, &option, this).width();
    bar_->SetWrapped(room < oneLine);
}
