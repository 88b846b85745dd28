#include "RaportWindow.h"

#include <QDateEdit>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "Dysk.h"
#include "Ui.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const char* const kCaption = "Raport okresowy";

QDate DateOf(FiscalDay day) { return QDate(day / 10000, day / 100 % 100, day % 100); }
FiscalDay DayOf(const QDate& date) { return date.year() * 10000 + date.month() * 100 + date.day(); }

QString Zloty(std::int64_t hundredths) { return AmountText(hundredths, QLocale::system()) + U(" zł"); }

}  // namespace

std::string FilePathForCore(const QString& path) {
#ifdef _WIN32
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

FiscalReportDialog::FiscalReportDialog(const FiscalTables& tables, const ReportHeading& heading,
                                       const FiscalReadingOrder& order, QWidget* parent)
    : QDialog(parent), tables_(tables), heading_(heading), order_(order) {
    setObjectName("FiscalReport");
    setWindowTitle(U(kCaption));
    resize(900, 600);

    auto* layout = new QVBoxLayout(this);
    auto* range = new QHBoxLayout();
    auto dateEdit = [this](const char* name) {
        auto* edit = new QDateEdit(this);
        edit->setObjectName(name);
        edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        edit->setCalendarPopup(true);
        return edit;
    };
    fromEdit_ = dateEdit("from");
    toEdit_ = dateEdit("to");
    auto* fromLabel = new QLabel(U("&Od:"), this);
    fromLabel->setBuddy(fromEdit_);
    auto* toLabel = new QLabel(U("&Do:"), this);
    toLabel->setBuddy(toEdit_);
    range->addWidget(fromLabel);
    range->addWidget(fromEdit_);
    range->addSpacing(12);
    range->addWidget(toLabel);
    range->addWidget(toEdit_);
    range->addSpacing(24);
    summary_ = new QLabel(this);
    summary_->setObjectName("summary");
    range->addWidget(summary_, 1);
    layout->addLayout(range);
    auto* incomplete = new QLabel(heading_.incomplete, this);
    incomplete->setObjectName("incomplete");
    incomplete->setWordWrap(true);
    incomplete->setStyleSheet(QStringLiteral("color: #aa0000; font-weight: bold"));
    incomplete->setVisible(!heading_.incomplete.isEmpty());
    layout->addWidget(incomplete);
    periods_ = new QLabel(this);
    periods_->setObjectName("periods");
    layout->addWidget(periods_);

    chartView_ = new FiscalChartView(this);
    chartView_->setObjectName("chart");
    layout->addWidget(chartView_, 1);

    auto* buttons = new QHBoxLayout();
    buttons->addStretch(1);
    savePdf_ = new QPushButton(U("Zapisz &PDF…"), this);
    savePdf_->setObjectName("savePdf");
    print_ = new QPushButton(U("Dr&ukuj…"), this);  // Alt+D is the "Do:" date
    print_->setObjectName("print");
    auto* close = new QPushButton(U("Zamknij"), this);
    close->setObjectName("close");
    for (QPushButton* b : {savePdf_, print_, close}) {
        b->setAutoDefault(false);
        buttons->addWidget(b);
    }
    layout->addLayout(buttons);

    connect(savePdf_, &QPushButton::clicked, this, &FiscalReportDialog::OnSavePdf);
    connect(print_, &QPushButton::clicked, this, &FiscalReportDialog::OnPrint);
    connect(close, &QPushButton::clicked, this, &QDialog::close);

    const auto span = FiscalDateSpan(tables_);
    const QDate today = QDate::currentDate();
    SetRange(span ? DateOf(span->first) : today, span ? DateOf(span->second) : today);
    connect(fromEdit_, &QDateEdit::dateChanged, this, &FiscalReportDialog::OnRangeChanged);
    connect(toEdit_, &QDateEdit::dateChanged, this, &FiscalReportDialog::OnRangeChanged);
}

void FiscalReportDialog::SetRange(const QDate& from, const QDate& to) {
    {
        const QSignalBlocker a(fromEdit_), b(toEdit_);
        fromEdit_->setDate(from);
        toEdit_->setDate(to);
    }
    OnRangeChanged();
}

QDate FiscalReportDialog::From() const { return fromEdit_->date(); }

QDate FiscalReportDialog::To() const { return toEdit_->date(); }

const FiscalChart& FiscalReportDialog::Chart() const { return chartView_->Chart(); }

void FiscalReportDialog::OnRangeChanged() {
    const FiscalDay from = DayOf(From()), to = DayOf(To());
    report_ = MakeFiscalReport(tables_, from, to, order_);
    marks_ = FiscalMarks(tables_, from, to);

    chartView_->SetChart(MakeFiscalChart(report_, marks_, QLocale::system()));

    QString text = from > to ? U("Data początkowa jest późniejsza niż końcowa.")
                             : U("Raportów dobowych: %1, suma: %2")
                                   .arg(report_.sums.reports)
                                   .arg(Zloty(report_.sums.sum));
    if (report_.DamagedCount() > 0) text += U("; uszkodzonych, pominiętych w sumach: %1").arg(report_.DamagedCount());
    summary_->setText(text);

    // One "Razem" line for each set of PTU rates, as the printed report has.
    QStringList periods;
    const auto& rated = report_.periods;
    for (std::size_t i = 0; i < rated.size(); ++i) {
        const RatePeriod& p = rated[i].change > 0 ? rated[i] : rated[i + 1];  // only the first can lack its change
        periods << U("Razem ze stawkami PTU %1 zmiany nr %2 z %3: raportów %4, suma %5")
                       .arg(U(rated[i].change > 0 ? "od" : "sprzed"))
                       .arg(p.change)
                       .arg(QString::fromStdString(p.date))
                       .arg(rated[i].sums.reports)
                       .arg(Zloty(rated[i].sums.sum));
    }
    periods_->setText(periods.join(QLatin1Char('\n')));
    periods_->setVisible(!periods.isEmpty());
}

bool FiscalReportDialog::SavePdf(const QString& path) {
    const QByteArray pdf = FiscalReportPdf(report_, marks_, heading_);
    if (pdf.isEmpty() || !ReplaceWholeFile(FilePathForCore(path), pdf.toStdString())) {
        CurrentUi().Message(("Nie można zapisać pliku " + path).toStdString());
        return false;
    }
    return true;
}

void FiscalReportDialog::OnSavePdf() {
    const QString name = U("Raport %1 - %2.pdf").arg(From().toString(Qt::ISODate), To().toString(Qt::ISODate));
    const QString path = QFileDialog::getSaveFileName(this, U("Zapisz raport"), name, U("Dokument PDF (*.pdf)"));
    if (!path.isEmpty()) SavePdf(path);
}

void FiscalReportDialog::OnPrint() {
    QPrinter printer(QPrinter::HighResolution);
    SetReportPage(printer);
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(U("Drukuj raport"));
    if (dialog.exec() != QDialog::Accepted) return;
    if (!DrawFiscalReport(printer, report_, marks_, heading_)) CurrentUi().Message("Nie można wydrukować raportu");
}
