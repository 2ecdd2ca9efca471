#include "picture.h"

#include <algorithm>

#include <QFile>
#include <QPainter>

#include "jpeg_image.h"

QImage LoadPicture(const QString& path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".jpg")) || lower.endsWith(QLatin1String(".jpeg"))) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return DecodeJpeg(file.readAll());
    }
    return QImage(path);
}

Picture::Picture(QWidget* parent)
    : QWidget(parent)
{
}

void Picture::setSource(const QString& path)
{
    source_ = path;
    image_ = LoadPicture(path);
    update();
}

void Picture::setScaleDown(bool on)
{
    scaleDown_ = on;
    update();
}

QSize Picture::drawnSize() const
{
    const QSize own = image_.size();
    if (!scaleDown_ || (own.width() <= width() && own.height() <= height()))
        return own;
    // The tighter of the two ratios, rounded to whole pixels.
    const double ratio = std::min(double(width()) / own.width(), double(height()) / own.height());
    return QSize(std::max(1, int(own.width() * ratio + 0.5)), std::max(1, int(own.height() * ratio + 0.5)));
}

void Picture::paintEvent(QPaintEvent*)
{
    if (image_.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), drawnSize()), image_);
}
