#include "report/page_flow.h"

#include <QFontMetrics>
#include <QTextOption>

namespace torv::report {

PageFlow::PageFlow(QPagedPaintDevice& device, QPainter& painter) : device_(device), painter_(painter)
{
    // The painter's window is the page's printable area, margins left out.
    const QRect area = painter.viewport();
    width_ = area.width();
    bottom_ = area.height();
    body_ = QFont(QStringLiteral("DejaVu Sans"), 8);
    bold_ = body_;
    bold_.setBold(true);
    heading_ = QFont(QStringLiteral("DejaVu Sans"), 11, QFont::Bold);
    title_ = QFont(QStringLiteral("DejaVu Sans"), 16, QFont::Bold);
    // No ligatures: a digest or a path copied from the page must be the characters printed.
    for (QFont* font : {&body_, &bold_, &heading_, &title_})
        font->setStyleStrategy(QFont::PreferNoShaping);
}

int PageFlow::pixels(double millimetres) const { return static_cast<int>(millimetres / 25.4 * device_.logicalDpiX()); }

void PageFlow::newPage()
{
    device_.newPage();
    y_ = 0;
}

void PageFlow::ensure(int height)
{
    if (y_ > 0 && y_ + height > bottom_)
        newPage();
}

void PageFlow::title(const QString& text)
{
    painter_.setFont(title_);
    const int h = QFontMetrics(title_, &device_).height();
    ensure(h);
    painter_.drawText(QRect(0, y_, width_, h), Qt::AlignLeft | Qt::AlignVCenter, text);
    y_ += h + pixels(2);
}

void PageFlow::heading(const QString& text)
{
    painter_.setFont(heading_);
    const int h = QFontMetrics(heading_, &device_).height();
    // A heading with at least two lines under it, never alone at a page's foot.
    ensure(h + pixels(3) + 2 * QFontMetrics(body_, &device_).height());
    y_ += pixels(3);
    painter_.drawText(QRect(0, y_, width_, h), Qt::AlignLeft | Qt::AlignVCenter, text);
    y_ += h + pixels(1);
}

void PageFlow::text(const QString& text, bool bold)
{
    const QFont& font = bold ? bold_ : body_;
    painter_.setFont(font);
    const QFontMetrics metrics(font, &device_);
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        const QRect r = metrics.boundingRect(QRect(0, 0, width_, 1 << 20), Qt::TextWordWrap | Qt::TextWrapAnywhere, paragraph);
        const int h = std::max(r.height(), metrics.height());
        ensure(h);
        painter_.drawText(QRect(0, y_, width_, h), Qt::TextWordWrap | Qt::TextWrapAnywhere, paragraph);
        y_ += h;
    }
}

void PageFlow::space(double millimetres) { y_ = std::min(bottom_, y_ + pixels(millimetres)); }

void PageFlow::table(const QStringList& header, const std::vector<QStringList>& rows, const std::vector<double>& widths,
                     const std::vector<bool>& right)
{
    const QFontMetrics metrics(body_, &device_);
    const int pad = pixels(0.8);
    std::vector<int> x{0};
    for (double w : widths)
        x.push_back(x.back() + static_cast<int>(w * width_));
    const auto cellFlags = [&](std::size_t i) {
        return Qt::TextWordWrap | Qt::AlignVCenter | (i < right.size() && right[i] ? Qt::AlignRight : Qt::AlignLeft);
    };
    const auto heightOf = [&](const QStringList& cells) {
        int h = metrics.height();
        for (qsizetype i = 0; i < cells.size() && std::size_t(i) + 1 < x.size(); ++i)
            h = std::max(h, metrics.boundingRect(QRect(0, 0, x[i + 1] - x[i] - 2 * pad, 1 << 20),
                                                 Qt::TextWordWrap, cells[i]).height());
        return h + pad;
    };
    const auto draw = [&](const QStringList& cells, bool head) {
        const int h = heightOf(cells);
        painter_.setFont(head ? bold_ : body_);
        for (qsizetype i = 0; i < cells.size() && std::size_t(i) + 1 < x.size(); ++i)
            painter_.drawText(QRect(x[i] + pad, y_, x[i + 1] - x[i] - 2 * pad, h), cellFlags(std::size_t(i)), cells[i]);
        y_ += h;
        if (head) {
            painter_.setPen(QPen(Qt::black, pixels(0.2)));
            painter_.drawLine(0, y_, x.back(), y_);
            y_ += pixels(0.5);
        }
    };
    const int headHeight = heightOf(header) + pixels(0.5);
    ensure(headHeight + (rows.empty() ? 0 : heightOf(rows.front())));
    draw(header, true);
    for (const QStringList& row : rows) {
        if (y_ + heightOf(row) > bottom_) {
            newPage();
            draw(header, true);
        }
        draw(row, false);
    }
}

QRect PageFlow::block(int height)
{
    ensure(height);
    const QRect r(0, y_, width_, height);
    y_ += height;
    return r;
}

} // namespace torv::report
