#include "RaportDruk.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLocale>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>

#include <algorithm>
#include <array>

#include "Wykres.h"

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const char* const kTitle = "Raport okresowy z pamięci fiskalnej";
const char* const kUnreadable = "błąd";      // a field that could not be read
const char* const kNotSummed = "pominięty";  // the day's sum of a damaged report
const char* const kNotRead = "nie odczytano";

constexpr int kColumns = 13;
const std::array<const char*, kColumns> kColumnTitles = {
    "Nr", "Data", "PTU A", "PTU B", "PTU C", "PTU D", "PTU E", "PTU F", "PTU G",
    "Paragony", "Anulowania", "Kwota anul.", "Suma dnia"};
constexpr int kTextColumns = 2;  // number and date on the left, the figures on the right

constexpr double kBodyPoints = 8;
const QColor kDamagedColor(170, 0, 0);

QString CountText(const std::optional<std::int64_t>& v, const QLocale& locale) {
    return v ? GroupedNumber(*v, locale) : U(kUnreadable);
}

QString AmountOrBad(const std::optional<std::int64_t>& v, const QLocale& locale) {
    return v ? AmountText(*v, locale) : U(kUnreadable);
}

QStringList LineCells(const DailyLine& line, const QLocale& locale) {
    QStringList cells = {QString::number(line.number), QString::fromStdString(line.date)};
    for (const auto& t : line.totals) cells << AmountOrBad(t, locale);
    cells << CountText(line.receipts, locale) << CountText(line.cancellations, locale)
          << AmountOrBad(line.cancelledAmount, locale);
    const auto sum = line.Sum();
    cells << (sum && !line.Damaged() ? AmountText(*sum, locale) : U(kNotSummed));
    return cells;
}

QStringList SumCells(const ReportSums& sums, const QLocale& locale, const char* label = "Razem") {
    QStringList cells = {U(label), QString()};
    for (std::int64_t t : sums.totals) cells << AmountText(t, locale);
    cells << GroupedNumber(sums.receipts, locale) << GroupedNumber(sums.cancellations, locale)
          << AmountText(sums.cancelledAmount, locale)
          << AmountText(sums.sum, locale);
    return cells;
}

QString Numbers(const std::vector<DailyLine>& lines, bool damagedOnly) {
    QStringList numbers;
    for (const DailyLine& line : lines)
        if (!damagedOnly || line.Damaged()) numbers << QString::number(line.number);
    return numbers.join(QStringLiteral(", "));
}

// What goes down the pages, in order.
struct Item {
    enum Kind { Row, Sums, Text, Subtitle } kind;
    QStringList cells;  // Row, Sums
    QString text;       // Text, Subtitle
    bool damaged = false;
};

std::vector<Item> Items(const FiscalReport& report, const std::vector<FiscalMark>& marks, const QLocale& locale) {
    std::vector<Item> items;
    auto rates = [&locale](const std::string& text) {
        return QString::fromStdString(text).replace(QLatin1Char('.'), locale.decimalPoint());
    };
    // Each set of PTU rates under its own heading with its own "Razem".
    const std::size_t periods = std::max<std::size_t>(1, report.periods.size());
    for (std::size_t p = 0; p < periods; ++p) {
        if (!report.periods.empty()) {
            const RatePeriod& period = report.periods[p];
            const QString opening =
                period.change > 0
                    ? U("Stawki PTU ze zmiany nr %1 z %2: %3")
                          .arg(period.change).arg(QString::fromStdString(period.date), rates(period.rates))
                    : U("Stawki PTU sprzed zmiany nr %1 z %2")
                          .arg(report.periods[p + 1].change).arg(QString::fromStdString(report.periods[p + 1].date));
            items.push_back({Item::Text, {}, opening, false});
        }
        for (const DailyLine& line : report.lines)
            if (report.periods.empty() || line.period == static_cast<int>(p))
                items.push_back({Item::Row, LineCells(line, locale), {}, line.Damaged()});
        if (!report.periods.empty()) items.push_back({Item::Sums, SumCells(report.periods[p].sums, locale), {}, false});
    }
    if (report.lines.empty()) {
        items.push_back({Item::Text, {}, U("Brak raportów dobowych w wybranym okresie."), false});
    } else {
        const bool split = !report.periods.empty();
        items.push_back({Item::Sums, SumCells(report.sums, locale, split ? "Łącznie" : "Razem"), {}, false});
        QString summed = U("Zsumowano raportów: %1.").arg(report.sums.reports);
        if (split)
            summed += U(" Stawki PTU zmieniły się w tym okresie: w wierszu „Łącznie” jedna kolumna PTU łączy "
                        "kwoty różnych stawek; sumy według stawek są w wierszach „Razem”.");
        items.push_back({Item::Text, {}, summed, false});
    }
    const int damaged = static_cast<int>(report.lines.size()) - report.sums.reports;
    if (damaged > 0)
        items.push_back({Item::Text, {},
                         U("Raporty z polami, których nie można odczytać (w nich „%1”), nie są wliczone do sum: "
                           "%2 (nr %3).")
                             .arg(U(kUnreadable)).arg(damaged).arg(Numbers(report.lines, true)),
                         true});
    if (!report.undated.empty()) {
        items.push_back({Item::Subtitle, {},
                         U("Raporty dobowe z nieczytelną datą: nie należą do żadnego okresu i nie są wliczone do sum"),
                         false});
        for (const DailyLine& line : report.undated) items.push_back({Item::Row, LineCells(line, locale), {}, true});
    }
    for (FiscalKind kind : {FiscalKind::PtuChange, FiscalKind::RamReset}) {
        bool any = false;
        for (const FiscalMark& mark : marks) {
            if (mark.kind != kind) continue;
            if (!any)
                items.push_back({Item::Subtitle, {},
                                 U(kind == FiscalKind::PtuChange ? "Zmiany stawek PTU w okresie"
                                                                 : "Zerowania RAM w okresie"),
                                 false});
            any = true;
            const QString when = QString::fromStdString(FiscalDayText(mark.day));
            const QString details =
                kind == FiscalKind::PtuChange ? rates(mark.details) : QString::fromStdString(mark.details);
            items.push_back({Item::Text, {},
                             kind == FiscalKind::PtuChange ? U("nr %1, %2: %3").arg(mark.number).arg(when, details)
                                                           : U("nr %1, %2, godz. %3").arg(mark.number).arg(when, details),
                             false});
        }
    }
    return items;
}

// Lays the items out on pages and draws them; the same walk counts the pages
// first, so that every footer can say how many there are.
class Pages {
public:
    Pages(QPagedPaintDevice& device, QPainter& painter, const FiscalReport& report, const ReportHeading& heading,
          std::vector<Item> items, const FiscalChart& chart)
        : device_(device), p_(painter), items_(std::move(items)), page_(0, 0, device.width(), device.height()),
          chart_(chart) {
        const QLocale locale = QLocale::system();
        const QString notRead = U(kNotRead);
        identity_ = U("Nr unikatowy: %1     NIP podatnika: %2")
                        .arg(heading.uniqueNumber.isEmpty() ? notRead : heading.uniqueNumber,
                             heading.nip.isEmpty() ? notRead : heading.nip);
        period_ = U("Okres: od %1 do %2 (włącznie)")
                      .arg(QString::fromStdString(FiscalDayText(report.from)),
                           QString::fromStdString(FiscalDayText(report.to)));
        made_ = U("Sporządzono: %1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm")));
        running_ = U("%1 · nr unikatowy %2 · od %3 do %4")
                       .arg(U(kTitle), heading.uniqueNumber.isEmpty() ? notRead : heading.uniqueNumber,
                            QString::fromStdString(FiscalDayText(report.from)),
                            QString::fromStdString(FiscalDayText(report.to)));
        incomplete_ = heading.incomplete;
        if (!incomplete_.isEmpty()) running_ += U(" · odczyt niepełny");
        FitColumns();
    }

    // The report's pages, then the chart on a page of its own when there
    // are sums to draw.
    void Draw() {
        const bool chart = !chart_.points.empty();
        total_ = Walk(false) + (chart ? 1 : 0);
        const int pages = Walk(true);
        if (!chart) return;
        device_.newPage();
        const int top = Top(pages + 1, true);
        DrawFiscalChart(p_, QRectF(0, top, page_.width(), Bottom() - top), chart_);
        Footer(pages + 1);
    }

private:
    QFont Font(double points, bool bold = false) const {
        QFont f = QGuiApplication::font();
        f.setPointSizeF(points);
        f.setBold(bold);
        return f;
    }

    // Each column as wide as its widest text; the body type shrinks when the
    // page is too narrow for them, and spare width is shared out.
    void FitColumns() {
        for (double points = kBodyPoints;; points -= 0.5) {
            body_ = Font(points);
            bold_ = Font(points, true);
            const QFontMetrics bodyMetrics(body_, &device_), boldMetrics(bold_, &device_);
            pad_ = bodyMetrics.horizontalAdvance(QLatin1Char('0'));
            std::array<int, kColumns> widths{};
            for (int c = 0; c < kColumns; ++c) widths[c] = boldMetrics.horizontalAdvance(U(kColumnTitles[c]));
            for (const Item& item : items_) {
                if (item.kind != Item::Row && item.kind != Item::Sums) continue;
                const QFontMetrics& m = item.kind == Item::Sums ? boldMetrics : bodyMetrics;
                // "Razem" stands across the number and the date.
                for (int c = item.kind == Item::Sums ? kTextColumns : 0; c < kColumns; ++c)
                    widths[c] = std::max(widths[c], m.horizontalAdvance(item.cells.value(c)));
            }
            int sum = 0;
            for (int& w : widths) sum += (w += 2 * pad_);
            if (sum <= page_.width() || points <= 4) {
                const int spare = std::max(0, page_.width() - sum) / kColumns;
                int x = 0;
                for (int c = 0; c < kColumns; ++c) {
                    left_[c] = x;
                    width_[c] = widths[c] + spare;
                    x += width_[c];
                }
                break;
            }
        }
        const QFontMetrics m(body_, &device_);
        rowHeight_ = m.height() * 5 / 4;
        small_ = Font(7);
        smallHeight_ = QFontMetrics(small_, &device_).height();
    }

    int TextHeight(const QFont& font, const QString& text) {
        return QFontMetrics(font, &device_)
                   .boundingRect(QRect(0, 0, page_.width(), 1 << 24), Qt::TextWordWrap, text)
                   .height() +
               rowHeight_ / 4;
    }

    int Height(const Item& item) {
        switch (item.kind) {
        case Item::Row: return rowHeight_;
        case Item::Sums: return rowHeight_ * 3 / 2;
        case Item::Text: return TextHeight(body_, item.text);
        case Item::Subtitle: return rowHeight_ + TextHeight(bold_, item.text);
        }
        return rowHeight_;
    }

    // Page 1 opens with the title, the identity and the period; the others
    // with one small line that says which report they belong to.
    int Top(int page, bool draw) {
        int y = 0;
        if (page == 1) {
            const QFont title = Font(14, true), info = Font(9);
            const int titleHeight = QFontMetrics(title, &device_).height();
            const int infoHeight = QFontMetrics(info, &device_).height() * 6 / 5;
            if (draw) {
                p_.setFont(title);
                p_.drawText(QRect(0, y, page_.width(), titleHeight), Qt::AlignLeft | Qt::AlignVCenter, U(kTitle));
            }
            y += titleHeight * 3 / 2;
            for (const QString& line : {identity_, period_, made_}) {
                if (draw) {
                    p_.setFont(info);
                    p_.drawText(QRect(0, y, page_.width(), infoHeight), Qt::AlignLeft | Qt::AlignVCenter, line);
                }
                y += infoHeight;
            }
            if (!incomplete_.isEmpty()) {
                // Above every figure: these sums are not the register's.
                const QFont warning = Font(9, true);
                const int height = TextHeight(warning, incomplete_);
                if (draw) {
                    p_.setFont(warning);
                    p_.setPen(kDamagedColor);
                    p_.drawText(QRect(0, y, page_.width(), height), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                                incomplete_);
                    p_.setPen(Qt::black);
                }
                y += height;
            }
            return y + infoHeight;
        }
        if (draw) {
            p_.setFont(small_);
            p_.setPen(Qt::darkGray);
            p_.drawText(QRect(0, y, page_.width(), smallHeight_), Qt::AlignLeft | Qt::AlignVCenter, running_);
            p_.setPen(Qt::black);
        }
        return smallHeight_ * 2;
    }

    int Bottom() const { return page_.height() - smallHeight_ * 2; }

    void Footer(int page) {
        p_.setFont(small_);
        p_.setPen(Qt::black);
        p_.drawText(QRect(0, page_.height() - smallHeight_, page_.width(), smallHeight_),
                    Qt::AlignRight | Qt::AlignVCenter, U("Strona %1 z %2").arg(page).arg(total_));
    }

    void Cells(const QStringList& cells, int y, int height, bool sums) {
        for (int c = 0; c < kColumns; ++c) {
            if (sums && c == 1) continue;
            int width = width_[c] - 2 * pad_;
            if (sums && c == 0) width += width_[1];
            const Qt::Alignment align = (c < kTextColumns ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
            p_.drawText(QRect(left_[c] + pad_, y, width, height), align, cells.value(c));
        }
    }

    void ColumnTitles(int y) {
        p_.setFont(bold_);
        p_.setPen(Qt::black);
        QStringList titles;
        for (const char* t : kColumnTitles) titles << U(t);
        Cells(titles, y, rowHeight_, false);
        p_.drawLine(0, y + rowHeight_, page_.width(), y + rowHeight_);
    }

    void DrawItem(const Item& item, int y, int height) {
        p_.setPen(item.damaged ? kDamagedColor : QColor(Qt::black));
        switch (item.kind) {
        case Item::Row:
            p_.setFont(body_);
            Cells(item.cells, y, rowHeight_, false);
            break;
        case Item::Sums:
            p_.drawLine(0, y + rowHeight_ / 8, page_.width(), y + rowHeight_ / 8);
            p_.setFont(bold_);
            Cells(item.cells, y + rowHeight_ / 4, rowHeight_, true);
            break;
        case Item::Text:
            p_.setFont(body_);
            p_.drawText(QRect(0, y, page_.width(), height), Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop,
                        item.text);
            break;
        case Item::Subtitle:
            p_.setFont(bold_);
            p_.drawText(QRect(0, y + rowHeight_, page_.width(), height - rowHeight_),
                        Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop, item.text);
            break;
        }
    }

    // Returns the number of pages. A table row that opens a page, or follows
    // a text, gets the column titles above it.
    int Walk(bool draw) {
        int page = 1;
        int y = Top(page, draw);
        bool titled = false;
        for (const Item& item : items_) {
            const bool table = item.kind == Item::Row || item.kind == Item::Sums;
            const int height = Height(item);
            const int titles = table && !titled ? rowHeight_ * 5 / 4 : 0;
            if (y + titles + height > Bottom() && y > Top(page, false)) {
                if (draw) {
                    Footer(page);
                    device_.newPage();
                }
                ++page;
                y = Top(page, draw);
                titled = false;
            }
            if (table && !titled) {
                if (draw) ColumnTitles(y);
                y += rowHeight_ * 5 / 4;
                titled = true;
            }
            if (!table) titled = false;
            if (draw) DrawItem(item, y, height);
            y += height;
        }
        if (draw) Footer(page);
        return page;
    }

    QPagedPaintDevice& device_;
    QPainter& p_;
    std::vector<Item> items_;
    QRect page_;
    QString identity_, period_, made_, running_, incomplete_;
    QFont body_, bold_, small_;
    int pad_ = 0, rowHeight_ = 0, smallHeight_ = 0;
    std::array<int, kColumns> left_{}, width_{};
    int total_ = 1;
    const FiscalChart& chart_;
};

}  // namespace

// Grouped by hand: Qt's own grouping for Polish leaves the first four digits
// of a long number together ("7695 350 119"). Four digits stay whole, as
// Polish writes them.
QString GroupedNumber(std::int64_t value, const QLocale& locale) {
    const bool negative = value < 0;
    const std::uint64_t m = negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    QString digits = QString::number(m);
    if (digits.size() > 4)
        for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, locale.groupSeparator());
    return negative ? QStringLiteral("-") + digits : digits;
}

QString AmountText(std::int64_t hundredths, const QLocale& locale) {
    const bool negative = hundredths < 0;
    const std::uint64_t m =
        negative ? 0 - static_cast<std::uint64_t>(hundredths) : static_cast<std::uint64_t>(hundredths);
    return (negative ? QStringLiteral("-") : QString()) + GroupedNumber(static_cast<std::int64_t>(m / 100), locale) +
           locale.decimalPoint() + QString::number(m % 100).rightJustified(2, QLatin1Char('0'));
}

bool DrawFiscalReport(QPagedPaintDevice& device, const FiscalReport& report, const std::vector<FiscalMark>& marks,
                      const ReportHeading& heading) {
    QPainter painter;
    if (!painter.begin(&device)) return false;
    const QLocale locale = QLocale::system();
    const FiscalChart chart = MakeFiscalChart(report, marks, locale);
    Pages(device, painter, report, heading, Items(report, marks, locale), chart).Draw();
    return painter.end();
}

void SetReportPage(QPagedPaintDevice& device) {
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(12, 12, 12, 12),
                                     QPageLayout::Millimeter));
}

QByteArray FiscalReportPdf(const FiscalReport& report, const std::vector<FiscalMark>& marks,
                           const ReportHeading& heading) {
    QBuffer buffer;
    if (!buffer.open(QIODevice::WriteOnly)) return {};
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        writer.setTitle(U(kTitle));
        writer.setCreator(QStringLiteral("Zeltra Serwis"));
        SetReportPage(writer);
        if (!DrawFiscalReport(writer, report, marks, heading)) return {};
    }
    return buffer.data();
}
