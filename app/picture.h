#pragma once
#include <QImage>
#include <QWidget>

// A fixed picture drawn from the top-left corner of its box. A picture larger
// than the box is scaled down to fit with its proportions kept, unless
// scaleDown is off; a smaller one is drawn at its own size.
class Picture : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString source READ source WRITE setSource)
    Q_PROPERTY(bool scaleDown READ scaleDown WRITE setScaleDown)
public:
    explicit Picture(QWidget* parent = nullptr);

    QString source() const { return source_; }
    // A resource or file path; ".jpg"/".jpeg" go through the libjpeg decoder.
    void setSource(const QString& path);
    bool scaleDown() const { return scaleDown_; }
    void setScaleDown(bool on);

    const QImage& image() const { return image_; }
    // The size the picture is painted at in the current box.
    QSize drawnSize() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString source_;
    QImage image_;
    bool scaleDown_ = true;
};

// Loads a picture file: JPEG with libjpeg, anything else with QImage.
QImage LoadPicture(const QString& path);
