// The About box, created hidden at start-up and shown from "P&omoc".
#include "About.h"

#include <QDesktopServices>
#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "Wersja.h"

namespace {

const char* const kAuthor = "Autor: Dział Serwisu ZELTRA SA";
const char* const kMailAddress = "serwis@zeltra.example";

// The logo, drawn here so the program needs no picture files: a red disc with a
// white "Z" on a transparent ground.
QPixmap Logo() {
    QPixmap pixmap(72, 72);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0xC0, 0x10, 0x10));
    painter.drawEllipse(QRectF(2, 2, 68, 68));
    QPainterPath z;
    z.moveTo(20, 18);
    z.lineTo(52, 18);
    z.lineTo(52, 26);
    z.lineTo(32, 46);
    z.lineTo(52, 46);
    z.lineTo(52, 54);
    z.lineTo(20, 54);
    z.lineTo(20, 46);
    z.lineTo(40, 26);
    z.lineTo(20, 26);
    z.closeSubpath();
    painter.setBrush(Qt::white);
    painter.drawPath(z);
    return pixmap;
}

}  // namespace

QString MailLinkUrl() {
    return QStringLiteral("mailto:") + QString::fromUtf8(kMailAddress) +
           QStringLiteral("?subject=Program serwisowy ZELTRA SA");
}

MailLink::MailLink(QWidget* parent) : QLabel(QString::fromUtf8(kMailAddress), parent) {
    QFont f = font();
    f.setUnderline(true);
    setFont(f);
    // Qt has no active-caption colour role; the highlight colour is the nearest system colour.
    QPalette p = palette();
    p.setColor(QPalette::WindowText, p.color(QPalette::Active, QPalette::Highlight));
    setPalette(p);
    setCursor(Qt::PointingHandCursor);
}

void MailLink::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        QDesktopServices::openUrl(QUrl(MailLinkUrl()));  // no mail program: nothing to report
}

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("ZELTRA SA - O programie"));

    auto* panel = new QFrame(this);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);

    auto* picture = new QLabel(panel);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(Logo());
    picture->setAttribute(Qt::WA_TranslucentBackground);

    auto* title = new QLabel(QStringLiteral("Program serwisowy ZELTRA SA"), panel);
    title->setObjectName(QStringLiteral("title"));
    QFont titleFont = title->font();
    titleFont.setPointSize(16);
    titleFont.setBold(true);
    titleFont.setUnderline(true);
    title->setFont(titleFont);
    QPalette titlePalette = title->palette();
    titlePalette.setColor(QPalette::WindowText, Qt::red);
    title->setPalette(titlePalette);

    auto* author = new QLabel(QString::fromUtf8(kAuthor), panel);
    author->setObjectName(QStringLiteral("author"));
    auto* mail = new MailLink(panel);
    mail->setObjectName(QStringLiteral("mail"));

    version_ = new QLabel(panel);
    version_->setObjectName(QStringLiteral("version"));

    auto* authorRow = new QHBoxLayout;
    authorRow->addWidget(author);
    authorRow->addWidget(mail);
    authorRow->addStretch();

    auto* panelLayout = new QVBoxLayout(panel);
    panelLayout->addWidget(picture, 0, Qt::AlignHCenter);
    panelLayout->addWidget(title, 0, Qt::AlignHCenter);
    panelLayout->addLayout(authorRow);
    panelLayout->addWidget(version_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(ok, 0, Qt::AlignHCenter);
}

void AboutBox::SetVersionSource(QLabel* versionLine) { source_ = versionLine; }

void AboutBox::showEvent(QShowEvent* event) {
    // Copied on every showing, so the box always matches the main window.
    version_->setText(source_ ? source_->text() : QString::fromStdString(ProgramVersionText()));
    QDialog::showEvent(event);
}
