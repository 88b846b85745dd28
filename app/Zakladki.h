// The main window's tabs. Nine captions do not fit side by side in the
// window's width at a usual desktop font, so when they would need scroll
// arrows each caption is drawn in two lines. The captions' texts stay as
// they are; only their drawing breaks them.
#pragma once

#include <QTabBar>
#include <QTabWidget>

class WrappingTabBar : public QTabBar {
    Q_OBJECT
public:
    explicit WrappingTabBar(QWidget* parent = nullptr);

    bool Wrapped() const { return wrapped_; }
    void SetWrapped(bool wrapped);
    // The width of all tabs with their captions in one line.
    int OneLineWidth() const;

protected:
    QSize tabSizeHint(int index) const override;
    void initStyleOption(QStyleOptionTab* option, int index) const override;

private:
    bool wrapped_ = false;
};

class MainTabs : public QTabWidget {
    Q_OBJECT
public:
    explicit MainTabs(QWidget* parent = nullptr);
    WrappingTabBar* Bar() const { return bar_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void tabInserted(int index) override;

private:
    void FitCaptions();

    WrappingTabBar* bar_;
};

// A caption broken into two lines at the space that leaves the longer line
// shortest, never right after the tab's number ("&7. Nagłówek" stays whole).
QString TwoLineCaption(const QString& caption, const QFontMetrics& metrics);
