#include "print/TablePrint.h"

#include "base/Cp932.h"
#include "model/DiBitmap.h"
#include "model/FieldNames.h"
#include "model/RecordSet.h"
#include "resources/StringIds.h"
#include "text/StringTable.h"

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextOption>
#include <algorithm>

namespace tessera {

namespace {

constexpr double kScreenDpi = 96.0;
constexpr double kFontPoints = 8.5;

// The picture of a memo field, black on white; null without one.
QImage FieldPicture(const CRecordSet& set, int record, int field) {
    const CDataRecord* r = set.RecordAt(record);
    const CField* f = r != nullptr ? r->FieldAt(field) : nullptr;
    if (f == nullptr || f->Class() != FieldClass::Image)
        return {};
    const CDiBitmap* bitmap = static_cast<const CImageField*>(f)->Bitmap();
    if (bitmap == nullptr || bitmap->IsEmpty() || bitmap->Width() <= 0 || bitmap->Height() <= 0)
        return {};
    QImage img(bitmap->Width(), bitmap->Height(), QImage::Format_Mono);
    img.setColor(0, qRgb(255, 255, 255));
    img.setColor(1, qRgb(0, 0, 0));
    for (int y = 0; y < bitmap->Height(); ++y)
        for (int x = 0; x < bitmap->Width(); ++x)
            img.setPixel(x, y, bitmap->IsBlack(x, y) ? 1 : 0);
    return img;
}

struct Cell {
    QString text;
    QImage picture;
};

// What the painter needs of the table, measured once for the page breaks and the painting.
struct Layout {
    QRectF body; // where the rows go (below the header, above the footer)
    QRectF footer;
    double headerHeight = 0;
    double padding = 0;
    std::vector<double> x;       // left edge of each column, and the right edge of the last
    std::vector<double> heights; // of each row
    std::vector<int> pageStarts; // first row of each page
};

QTextOption WrapOption() {
    QTextOption o(Qt::AlignLeft | Qt::AlignTop);
    o.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    return o;
}

double TextHeight(QPainter& p, const QString& text, double width) {
    if (text.isEmpty())
        return p.fontMetrics().height();
    return p.boundingRect(QRectF(0, 0, width, 1e6), text, WrapOption()).height();
}

Cell CellOf(const CPrintTable& t, int record, int field) {
    Cell c;
    c.picture = FieldPicture(*t.set, record, field);
    if (c.picture.isNull())
        c.text = PrintCellText(*t.set, record, field);
    return c;
}

// The size of a picture in a cell `width` wide: the picture's dots at screen size, smaller
// when the column is narrower, never taller than `maxHeight`.
QSizeF PictureSize(const QImage& img, double width, double maxHeight, double scale) {
    QSizeF s(img.width() * scale, img.height() * scale);
    if (s.width() > width)
        s *= width / s.width();
    if (s.height() > maxHeight)
        s *= maxHeight / s.height();
    return s;
}

// A column's head as the table shows it: a named field's name in the run's language, else
// the set's own title (the one files carry).
QString Title(const CRecordSet& set, int field) {
    const auto& tags = set.Tags();
    if (field >= 0 && field < static_cast<int>(tags.size())) {
        const std::string& shown = FieldDisplayName(MakeTag(tags[static_cast<std::size_t>(field)]));
        if (!shown.empty())
            return Cp932ToQString(shown);
    }
    const auto& titles = set.Titles();
    return field >= 0 && field < static_cast<int>(titles.size())
               ? Cp932ToQString(titles[static_cast<std::size_t>(field)])
               : QString();
}

} // namespace

CPrintTable CPrintTable::WholeSet(const CRecordSet& set, const QString& name, int width) {
    CPrintTable t;
    t.set = &set;
    t.documentName = name;
    for (int i = 0; i < set.RecordCount(); ++i)
        t.rows.push_back(i);
    for (int f = 0; f < set.FieldCount(); ++f)
        t.columns.push_back({f, width});
    return t;
}

QString PrintCellText(const CRecordSet& set, int record, int field) {
    const CDataRecord* r = set.RecordAt(record);
    std::string text;
    if (r == nullptr || !r->FormatField(field, text, true))
        return {};
    QString s = Cp932ToDisplayString(text);
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == QChar(0x1F))
            s[i] = QChar(0xFF5C);
        else if (s[i] == QLatin1Char('\t'))
            s[i] = QLatin1Char(' ');
    }
    return s;
}

int PaintTable(QPagedPaintDevice& device, const CPrintTable& t) {
    if (t.set == nullptr)
        return 0;
    QPainter p;
    if (!p.begin(&device))
        return 0;
    QFont font(QStringLiteral("IPAGothic"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(kFontPoints);
    p.setFont(font);
    const double scale = device.logicalDpiX() / kScreenDpi;
    const QRectF page(0, 0, device.width(), device.height());

    Layout l;
    l.padding = 2 * scale;
    const double line = p.fontMetrics().height();
    l.footer = QRectF(page.left(), page.bottom() - line * 1.6, page.width(), line * 1.6);

    // Column edges: the screen widths, all narrowed alike when they are wider than the page.
    double total = 0;
    for (const CPrintColumn& c : t.columns)
        total += std::max(8, c.width) * scale;
    const double fit = total > page.width() ? page.width() / total : 1.0;
    l.x.push_back(page.left());
    for (const CPrintColumn& c : t.columns)
        l.x.push_back(l.x.back() + std::max(8, c.width) * scale * fit);

    auto inner = [&](std::size_t col) { return l.x[col + 1] - l.x[col] - 2 * l.padding; };
    for (std::size_t c = 0; c < t.columns.size(); ++c)
        l.headerHeight =
            std::max(l.headerHeight, TextHeight(p, Title(*t.set, t.columns[c].field), inner(c)));
    l.headerHeight += 2 * l.padding;
    l.body = QRectF(page.left(), page.top() + l.headerHeight, page.width(),
                    l.footer.top() - page.top() - l.headerHeight);
    const double maxPicture = l.body.height() / 3;

    // Row heights and page breaks; a row taller than a page gets a page of its own.
    double y = 0;
    l.pageStarts.push_back(0);
    for (std::size_t r = 0; r < t.rows.size(); ++r) {
        double h = line;
        for (std::size_t c = 0; c < t.columns.size(); ++c) {
            const Cell cell = CellOf(t, t.rows[r], t.columns[c].field);
            h = std::max(h, cell.picture.isNull()
                                ? TextHeight(p, cell.text, inner(c))
                                : PictureSize(cell.picture, inner(c), maxPicture, scale).height());
        }
        h = std::min(h + 2 * l.padding, l.body.height());
        if (y > 0 && y + h > l.body.height()) {
            l.pageStarts.push_back(static_cast<int>(r));
            y = 0;
        }
        l.heights.push_back(h);
        y += h;
    }
    const int pages = static_cast<int>(l.pageStarts.size());
    const QString date = t.printed.toString(QStringLiteral("yyyy/MM/dd HH:mm"));

    const QPen grid(QColor(150, 150, 150), 0.5 * scale);
    for (int pg = 0; pg < pages; ++pg) {
        if (pg > 0 && !device.newPage())
            break;
        // The column titles, on every page.
        p.fillRect(QRectF(page.left(), page.top(), l.x.back() - page.left(), l.headerHeight),
                   QColor(230, 230, 230));
        p.setPen(Qt::black);
        for (std::size_t c = 0; c < t.columns.size(); ++c)
            p.drawText(QRectF(l.x[c] + l.padding, page.top() + l.padding, inner(c),
                              l.headerHeight - 2 * l.padding),
                       Title(*t.set, t.columns[c].field), WrapOption());
        const int first = l.pageStarts[static_cast<std::size_t>(pg)];
        const int last = pg + 1 < pages ? l.pageStarts[static_cast<std::size_t>(pg + 1)]
                                        : static_cast<int>(t.rows.size());
        double top = l.body.top();
        for (int r = first; r < last; ++r) {
            const double h = l.heights[static_cast<std::size_t>(r)];
            for (std::size_t c = 0; c < t.columns.size(); ++c) {
                const Cell cell =
                    CellOf(t, t.rows[static_cast<std::size_t>(r)], t.columns[c].field);
                const QRectF box(l.x[c] + l.padding, top + l.padding, inner(c), h - 2 * l.padding);
                p.save();
                p.setClipRect(box.adjusted(-l.padding, -l.padding, l.padding, l.padding));
                if (cell.picture.isNull()) {
                    p.drawText(box, cell.text, WrapOption());
                } else {
                    const QSizeF s = PictureSize(cell.picture, box.width(), maxPicture, scale);
                    p.drawImage(QRectF(box.topLeft(), s), cell.picture);
                }
                p.restore();
            }
            p.setPen(grid);
            p.drawLine(QPointF(page.left(), top + h), QPointF(l.x.back(), top + h));
            p.setPen(Qt::black);
            top += h;
        }
        p.setPen(grid);
        for (double x : l.x)
            p.drawLine(QPointF(x, page.top()), QPointF(x, top));
        p.drawLine(QPointF(page.left(), page.top()), QPointF(l.x.back(), page.top()));
        p.drawLine(QPointF(page.left(), l.body.top()), QPointF(l.x.back(), l.body.top()));
        // Footer: name, page, date.
        p.setPen(Qt::black);
        const QRectF f = l.footer.adjusted(0, line * 0.4, 0, 0);
        p.drawText(f, Qt::AlignLeft | Qt::AlignVCenter, t.documentName);
        p.drawText(f, Qt::AlignHCenter | Qt::AlignVCenter,
                   Cp932ToQString(FormatString(ids::kStrPrintPage, pg + 1, pages)));
        p.drawText(f, Qt::AlignRight | Qt::AlignVCenter, date);
    }
    p.end();
    return pages;
}

bool WriteTablePdf(const QString& path, const CPrintTable& table, bool landscape) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setTitle(table.documentName);
        writer.setCreator(QStringLiteral("Tessera"));
        writer.setResolution(300);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4),
                                         landscape ? QPageLayout::Landscape : QPageLayout::Portrait,
                                         QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        pages = PaintTable(writer, table);
    }
    if (pages == 0) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace tessera
