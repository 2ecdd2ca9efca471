#pragma once
#include <QFont>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <vector>

namespace torv::report {

// Text and tables flowing down A4 pages: a new page when the next line or
// row would not fit, a table's header again at the top of each page it runs onto.
class PageFlow {
public:
    // `device` is the PDF writer; the painter is open on it.
    PageFlow(QPagedPaintDevice& device, QPainter& painter);

    int width() const { return width_; }
    // Vertical room left on this page, device pixels.
    int room() const { return bottom_ - y_; }
    // Device pixels of `millimetres` at the page's resolution.
    int pixels(double millimetres) const;

    void title(const QString& text);
    void heading(const QString& text);
    // A paragraph, wrapped to the page's width.
    void text(const QString& text, bool bold = false);
    void space(double millimetres);
    // A table: column widths as shares of the page's width, right-aligned columns where `right`.
    void table(const QStringList& header, const std::vector<QStringList>& rows, const std::vector<double>& widths,
               const std::vector<bool>& right = {});
    // A block `height` pixels tall at the current position (a new page
    // first when it would not fit); returns where to draw it.
    QRect block(int height);
    void newPage();

private:
    void ensure(int height);

    QPagedPaintDevice& device_;
    QPainter& painter_;
    int width_ = 0, bottom_ = 0, y_ = 0;
    QFont body_, bold_, heading_, title_;
};

} // namespace torv::report
