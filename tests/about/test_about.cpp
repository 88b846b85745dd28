// The About box on screen: its texts, the version copied on each showing, the mail link.
#include <QDesktopServices>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include "About.h"

// Stands in for the system's mail program.
class MailCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> opened;
public slots:
    void Open(const QUrl& url) { opened.append(url); }
};

class AboutTest : public QObject {
    Q_OBJECT
private slots:
    void TextsAndLook();
    void VersionCopiedOnEachShowing();
    void MailLinkOpensANewMessage();
};

void AboutTest::TextsAndLook() {
    AboutBox box;
    QCOMPARE(box.windowTitle(), QStringLiteral("ZELTRA SA - O programie"));
    auto* title = box.findChild<QLabel*>("title");
    QVERIFY(title);
    QCOMPARE(title->text(), QStringLiteral("Program serwisowy ZELTRA SA"));
    QVERIFY(title->font().bold());
    QVERIFY(title->font().underline());
    QCOMPARE(title->palette().color(QPalette::WindowText), QColor(Qt::red));
    auto* picture = box.findChild<QLabel*>("picture");
    QVERIFY(picture && !picture->pixmap().isNull());
    QVERIFY(picture->pixmap().hasAlphaChannel());
    auto* author = box.findChild<QLabel*>("author");
    QVERIFY(author && !author->text().isEmpty());
    auto* mail = box.findChild<QLabel*>("mail");
    QVERIFY(mail && mail->font().underline());
    QCOMPARE(mail->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(MailLinkUrl().startsWith(QStringLiteral("mailto:") + mail->text() + "?"));

    // Without a main window the box shows the program's own version.
    box.show();
    QCOMPARE(box.versionLine()->text(), QStringLiteral(" - wersja programu: " ZELTRA_EXPECTED_VERSION));
    auto* ok = box.findChild<QPushButton*>("ok");
    QVERIFY(ok);
    QCOMPARE(ok->text(), QStringLiteral("OK"));
    QTest::mouseClick(ok, Qt::LeftButton);
    QVERIFY(!box.isVisible());
}

void AboutTest::VersionCopiedOnEachShowing() {
    QLabel mainWindowLine(QStringLiteral(" - wersja programu: 1.7.0.0"));
    AboutBox box;
    box.SetVersionSource(&mainWindowLine);
    box.show();
    QCOMPARE(box.versionLine()->text(), QStringLiteral(" - wersja programu: 1.7.0.0"));
    box.hide();
    mainWindowLine.setText(QStringLiteral(" - wersja programu: 1.10.0.12"));
    box.show();
    QCOMPARE(box.versionLine()->text(), QStringLiteral(" - wersja programu: 1.10.0.12"));
    box.hide();
    {
        // A source that is gone is not read.
        auto* gone = new QLabel(QStringLiteral("x"));
        box.SetVersionSource(gone);
        delete gone;
    }
    box.show();
    QCOMPARE(box.versionLine()->text(), QStringLiteral(" - wersja programu: " ZELTRA_EXPECTED_VERSION));
}

void AboutTest::MailLinkOpensANewMessage() {
    MailCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &catcher, "Open");
    AboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    auto* mail = box.findChild<QLabel*>("mail");
    QTest::mouseClick(mail, Qt::LeftButton);
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));
    QCOMPARE(catcher.opened.size(), 1);
    const QUrl url = catcher.opened.first();
    QCOMPARE(url.scheme(), QStringLiteral("mailto"));
    QCOMPARE(url.path(), mail->text());
    QCOMPARE(QUrlQuery(url).queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded),
             QStringLiteral("Program serwisowy ZELTRA SA"));
    QCOMPARE(MailLinkUrl(), QStringLiteral("mailto:") + mail->text() +
                                QStringLiteral("?subject=Program serwisowy ZELTRA SA"));
}

QTEST_MAIN(AboutTest)
#include "test_about.moc"
