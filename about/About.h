// The About box: picture, title, author with a mail link, and the program's version.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QString>

// The address the mail link opens: a new message with the program's name as subject.
QString MailLinkUrl();

// An underlined label with a hand cursor that opens MailLinkUrl() when clicked.
class MailLink : public QLabel {
    Q_OBJECT
public:
    explicit MailLink(QWidget* parent = nullptr);

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);

    // The main window's version line; its text is copied each time the box is
    // shown. Without one the box shows ProgramVersionText().
    void SetVersionSource(QLabel* versionLine);

    QLabel* versionLine() const { return version_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPointer<QLabel> source_;
    QLabel* version_ = nullptr;
};
