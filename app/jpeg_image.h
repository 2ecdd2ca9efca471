#pragma once
#include <QByteArray>
#include <QImage>

// Decodes a baseline or progressive JPEG with libjpeg into an RGB image.
// Corrupt or unsupported data gives a null image; it never ends the program.
QImage DecodeJpeg(const QByteArray& data);
