#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>

namespace QuillabyTest {

// A device-like picture: an opaque body with a darker screen, on transparency.
inline QImage devicePicture(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = size.height() / 10; y < size.height() * 9 / 10; ++y)
        for (int x = size.width() / 10; x < size.width() * 9 / 10; ++x)
            image.setPixel(x, y, qRgba(180, 170, 150, 255));
    return image;
}

// An image file of that many pixels stating the resolution (72 dpi: one point per pixel).
inline void writeImage(const QString& path, QSize pixels, double dpi = 72, const char* format = "png") {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QImage image = devicePicture(pixels);
    if (QByteArray(format) == "jpg") image = image.convertToFormat(QImage::Format_RGB32);
    image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
    image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
    ASSERT_TRUE(image.save(path, format));
}

inline void writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return QByteArray();
    return file.readAll();
}

inline QJsonObject readJson(const QString& path) {
    return QJsonDocument::fromJson(readBytes(path)).object();
}

} // namespace QuillabyTest
