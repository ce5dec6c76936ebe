#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QString>

#include <gtest/gtest.h>

#include <cmath>

namespace QuillabyTest {

// A device-like picture: an opaque body with a darker screen, on transparency.
inline QImage devicePicture(QSize size) {
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.fillRect(
        QRect(size.width() / 10, size.height() / 10, size.width() * 8 / 10, size.height() * 8 / 10),
        QColor(180, 170, 150));
    painter.fillRect(QRect(size.width() / 5, size.height() / 5, size.width() * 3 / 5, size.height() / 3),
                     QColor(20, 30, 25));
    return image;
}

// An image file of that many pixels stating the resolution (72 dpi: one point per pixel). Each kind of
// file is encoded once per test binary.
inline void writeImage(const QString& path, QSize pixels, double dpi = 72, const char* format = "png") {
    static QHash<QString, QByteArray> encoded;
    const QString key =
        QStringLiteral("%1x%2@%3.%4").arg(pixels.width()).arg(pixels.height()).arg(dpi).arg(format);
    QByteArray& bytes = encoded[key];
    if (bytes.isEmpty()) {
        QImage image = devicePicture(pixels);
        if (QByteArray(format) == "jpg") image = image.convertToFormat(QImage::Format_RGB32);
        image.setDotsPerMeterX(int(std::lround(dpi / 0.0254)));
        image.setDotsPerMeterY(int(std::lround(dpi / 0.0254)));
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(image.save(&buffer, format));
    }
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
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
