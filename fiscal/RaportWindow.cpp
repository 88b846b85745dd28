#include "RaportWindow.h"

#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QDateEdit>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QFile>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QLocale>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "Dysk.h"
#include "Ui.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const char* const kCaption = "Raport okresowy";
const char* const kPtuMark = "Zmiana stawek PTU";
const char* const kRamMark = "Zerowanie RAM";
const QColor kSumColor(32, 96, 160);
const QColor kPtuColor(230, 126, 34);
const QColor kRamColor(192, 57, 43);
constexpr int kPointsShownUpTo = 62;  // about two months: beyond that the dots hide the line

QDate DateOf(FiscalDay day) { return QDate(day / 10000, day / 100 % 100, day % 100); }
FiscalDay DayOf(const QDate& date) { return date.year() * 10000 + date.month() * 100 + date.day(); }
qint64 Msecs(const QDate& date, QTime time) { return QDateTime(date, time).toMSecsSinceEpoch(); }

QString Zloty(std::int64_t hundredths) { return AmountText(hundredths, QLocale::system()) + U(" zł"); }

}  // namespace

std::string FilePathForCore(const QString& path) {
#ifdef _WIN32
    return path.toStdString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

QChart* MakeFiscalChart(const FiscalReport& report, const std::vector<FiscalMark>& marks) {
    auto* chart = new QChart();
    chart->setLocalizeNumbers(true);
    chart->setLocale(QLocale::system());
    chart->setTitle(U("Sumy dobowe od %1 do %2")
                        .arg(QString::fromStdString(FiscalDayText(report.from)),
                             QString::fromStdString(FiscalDayText(report.to))));

    // The date axis spans the chosen days whole; each report stands at noon.
    const QDate from = DateOf(report.from);
    const QDate to = std::max(DateOf(report.to), from);
    auto* x = new QDateTimeAxis(chart);
    x->setFormat(QStringLiteral("yyyy-MM-dd"));
    x->setTitleText(U("Data"));
    x->setTickCount(7);
    x->setRange(QDateTime(from, QTime(0, 0)), QDateTime(to, QTime(23, 59, 59)));
    chart->addAxis(x, Qt::AlignBottom);

    auto* sums = new QLineSeries(chart);
    sums->setName(U("Suma dnia"));
    sums->setPen(QPen(kSumColor, 2));
    std::int64_t highest = 0;
    for (const DailyLine& line : report.lines) {
        const auto sum = line.Sum();
        const auto day = ParseFiscalDate(line.date);
        if (line.Damaged() || !sum || !day) continue;  // a damaged report has no sum to draw
        highest = std::max(highest, *sum);
        // Hundredths to złoty only here, for the drawing: nothing is summed in floating point.
        sums->append(static_cast<qreal>(Msecs(DateOf(*day), QTime(12, 0))), static_cast<qreal>(*sum) / 100.0);
    }
    sums->setPointsVisible(sums->count() <= kPointsShownUpTo);
    chart->addSeries(sums);
    sums->attachAxis(x);

    // The ticks where a value axis puts them, labelled by us: Qt groups Polish
    // numbers unevenly ("8000 000" beside "10 000 000"); the labels are grouped
    // as the report groups its amounts.
    // At least 10 zł high: the ticks then fall on whole złoty, as labelled.
    QValueAxis ticks;
    ticks.setRange(0, highest > 0 ? std::max<qreal>(10.0, static_cast<qreal>(highest) / 100.0 * 1.05) : 100.0);
    ticks.applyNiceNumbers();
    auto* y = new QCategoryAxis(chart);
    y->setTitleText(U("Suma dnia [zł]"));
    y->setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
    y->setRange(ticks.min(), ticks.max());
    y->setStartValue(ticks.min());
    const qreal step = (ticks.max() - ticks.min()) / std::max(1, ticks.tickCount() - 1);
    for (int i = 0; i < ticks.tickCount(); ++i) {
        const qreal value = ticks.min() + i * step;
        y->append(GroupedNumber(std::llround(value), QLocale::system()), value);
    }
    chart->addAxis(y, Qt::AlignLeft);
    sums->attachAxis(y);

    // One vertical line from the bottom to the top for each mark; the legend
    // names each kind once.
    bool named[2] = {false, false};
    for (const FiscalMark& mark : marks) {
        const bool ptu = mark.kind == FiscalKind::PtuChange;
        auto* line = new QLineSeries(chart);
        line->setName(U(ptu ? kPtuMark : kRamMark));
        // Changes wide and solid, resets dotted and drawn over them: a reset
        // and a change on the same day both stay visible.
        line->setPen(ptu ? QPen(kPtuColor, 4) : QPen(kRamColor, 2, Qt::DotLine));
        const qreal at = static_cast<qreal>(Msecs(DateOf(mark.day), QTime(12, 0)));
        line->append(at, y->min());
        line->append(at, y->max());
        chart->addSeries(line);
        line->attachAxis(x);
        line->attachAxis(y);
        bool& shown = named[ptu ? 0 : 1];
        if (shown)
            for (QLegendMarker* m : chart->legend()->markers(line)) m->setVisible(false);
        shown = true;
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
    return chart;
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

    chartView_ = new QChartView(this);
    chartView_->setObjectName("chart");
    chartView_->setRenderHint(QPainter::Antialiasing);
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

QChart* FiscalReportDialog::Chart() const { return chartView_->chart(); }

void FiscalReportDialog::OnRangeChanged() {
    const FiscalDay from = DayOf(From()), to = DayOf(To());
    report_ = MakeFiscalReport(tables_, from, to, order_);
    marks_ = FiscalMarks(tables_, from, to);

    QChart* old = chartView_->chart();
    chartView_->setChart(MakeFiscalChart(report_, marks_));
    delete old;  // the view leaves the chart it showed to its owner

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
