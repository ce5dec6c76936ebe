#include "ArtKit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLinearGradient>
#include <QRadialGradient>
#include <QRawFont>

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <vector>

namespace QuillabyArt {

namespace {

qreal length(QPointF v) {
    return std::hypot(v.x(), v.y());
}
QPointF unit(QPointF v) {
    qreal l = length(v);
    return l > 1e-9 ? v / l : QPointF();
}
qreal dot(QPointF a, QPointF b) {
    return a.x() * b.x() + a.y() * b.y();
}

// Qt's arc angles: degrees, counter-clockwise as seen, zero at three o'clock.
qreal qtAngle(QPointF centre, QPointF point) {
    return std::atan2(-(point.y() - centre.y()), point.x() - centre.x()) * 180.0 / M_PI;
}

// From the current point: a line to the arc's start, then the arc tangent to (current -> corner) and
// (corner -> next) with the given radius; a sharp corner when the radius is 0 or the edges are parallel.
void arcTangent(QPainterPath& path, QPointF corner, QPointF next, qreal radius) {
    QPointF u1 = unit(path.currentPosition() - corner);
    QPointF u2 = unit(next - corner);
    qreal cosine = std::clamp(dot(u1, u2), -1.0, 1.0);
    qreal angle = std::acos(cosine);
    if (radius <= 0 || angle < 1e-6 || M_PI - angle < 1e-6) {
        path.lineTo(corner);
        return;
    }
    qreal tangent = radius / std::tan(angle / 2);
    QPointF t1 = corner + u1 * tangent;
    QPointF t2 = corner + u2 * tangent;
    QPointF centre = corner + unit(u1 + u2) * (radius / std::sin(angle / 2));
    path.lineTo(t1);
    qreal start = qtAngle(centre, t1);
    qreal sweep = qtAngle(centre, t2) - start;
    while (sweep > 180)
        sweep -= 360;
    while (sweep < -180)
        sweep += 360;
    path.arcTo(QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)), start, sweep);
}

// A premultiplied layer in device pixels covering `bounds` (points) plus a margin, clipped to the canvas.
struct Layer {
    QImage image;
    QPoint origin;
    QTransform toLayer;
    qreal scale = 1;
};

Layer makeLayer(QPainter& painter, const QRectF& bounds, qreal margin) {
    Layer layer;
    QTransform world = painter.worldTransform();
    layer.scale = std::sqrt(std::abs(world.determinant()));
    QRect pixels = world.mapRect(bounds.adjusted(-margin, -margin, margin, margin)).toAlignedRect();
    if (QPaintDevice* device = painter.device()) pixels &= QRect(0, 0, device->width(), device->height());
    layer.origin = pixels.topLeft();
    layer.image = QImage(pixels.size().expandedTo(QSize(1, 1)), QImage::Format_ARGB32_Premultiplied);
    layer.image.fill(Qt::transparent);
    layer.toLayer = world * QTransform::fromTranslate(-pixels.x(), -pixels.y());
    return layer;
}

void compose(QPainter& painter, const Layer& layer) {
    painter.save();
    painter.resetTransform();
    painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    painter.drawImage(layer.origin, layer.image);
    painter.restore();
}

// One box pass along rows (or columns) of premultiplied pixels; outside the image counts as clear.
void boxPass(QImage& image, int radius, bool horizontal) {
    const int width = image.width(), height = image.height();
    const int lines = horizontal ? height : width;
    const int span = horizontal ? width : height;
    const int window = 2 * radius + 1;
    std::vector<quint32> source(span);
    uchar* bits = image.bits();
    const qsizetype stride = image.bytesPerLine();
    for (int line = 0; line < lines; ++line) {
        auto at = [&](int i) -> quint32& {
            return horizontal ? reinterpret_cast<quint32*>(bits + line * stride)[i]
                              : reinterpret_cast<quint32*>(bits + i * stride)[line];
        };
        for (int i = 0; i < span; ++i)
            source[i] = at(i);
        quint32 sum[4] = {0, 0, 0, 0};
        auto add = [&](quint32 pixel, int sign) {
            for (int c = 0; c < 4; ++c)
                sum[c] += sign * ((pixel >> (8 * c)) & 0xff);
        };
        for (int i = 0; i < std::min(radius, span); ++i)
            add(source[i], 1);
        for (int i = 0; i < span; ++i) {
            if (i + radius < span) add(source[i + radius], 1);
            if (i - radius - 1 >= 0) add(source[i - radius - 1], -1);
            quint32 out = 0;
            for (int c = 0; c < 4; ++c)
                out |= ((sum[c] + window / 2) / window) << (8 * c);
            at(i) = out;
        }
    }
}

// Three box passes per axis approximate a Gaussian whose sigma is half the blur radius.
void blur(QImage& image, qreal blurPixels) {
    qreal sigma = blurPixels / 2;
    int radius = std::max(1, int(std::lround((std::sqrt(4 * sigma * sigma + 1) - 1) / 2)));
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(image, radius, true);
        boxPass(image, radius, false);
    }
}

QString faceFile(Face face) {
    static const char* const names[] = {"DejaVuSans.ttf",     "DejaVuSans-Bold.ttf",
                                        "DejaVuSansMono.ttf", "DejaVuSansMono-Bold.ttf",
                                        "DejaVuSerif.ttf",    "DejaVuSerif-Bold.ttf"};
    return QStringLiteral("/usr/share/fonts/truetype/dejavu/") + names[int(face)];
}

// Outlines are taken at a fixed size and scaled, so every size shares one unhinted source.
constexpr qreal outlineSize = 100;

const QRawFont& rawFont(Face face) {
    static std::map<Face, QRawFont> fonts;
    auto found = fonts.find(face);
    if (found == fonts.end())
        found = fonts.emplace(face, QRawFont(faceFile(face), outlineSize, QFont::PreferNoHinting)).first;
    return found->second;
}

} // namespace

Quad quadCorners(const QRectF& rect, const Quad& offsets) {
    return {rect.topLeft() + offsets[0], rect.topRight() + offsets[1], rect.bottomRight() + offsets[2],
            rect.bottomLeft() + offsets[3]};
}

QPainterPath roundedQuadPath(const Quad& p, const Radii& radii) {
    Radii effective;
    for (int k = 0; k < 4; ++k) {
        qreal before = length(p[k] - p[(k + 3) % 4]);
        qreal after = length(p[k] - p[(k + 1) % 4]);
        qreal r = std::isfinite(radii[k]) ? radii[k] : 0;
        effective[k] = std::max(0.0, std::min(r, 0.5 * std::min(before, after)));
    }
    QPainterPath path;
    path.moveTo(p[0] + unit(p[3] - p[0]) * effective[0]);
    for (int k = 0; k < 4; ++k)
        arcTangent(path, p[k], p[(k + 1) % 4], effective[k]);
    path.closeSubpath();
    return path;
}

Quad grownQuad(const Quad& p, qreal by) {
    Quad out;
    for (int k = 0; k < 4; ++k) {
        QPointF in = unit(p[k] - p[(k + 3) % 4]);
        QPointF on = unit(p[(k + 1) % 4] - p[k]);
        // Outward normals of a clockwise outline in y-down space.
        QPointF n1(in.y(), -in.x());
        QPointF n2(on.y(), -on.x());
        out[k] = p[k] + (n1 + n2) * (by / (1 + dot(n1, n2)));
    }
    return out;
}

Radii grownRadii(const Radii& radii, qreal by) {
    Radii out;
    for (int k = 0; k < 4; ++k)
        out[k] = std::max(0.0, radii[k] + by);
    return out;
}

QPainterPath roundedRect(const QRectF& rect, qreal radius) {
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

QPainterPath circle(QPointF centre, qreal radius) {
    QPainterPath path;
    path.addEllipse(centre, radius, radius);
    return path;
}

QImage newCanvas(QSizeF points, qreal scale) {
    QImage image(int(std::lround(points.width() * scale)), int(std::lround(points.height() * scale)),
                 QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

void beginPoints(QPainter& painter, QImage& canvas, qreal scale) {
    painter.begin(&canvas);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    painter.scale(scale, scale);
}

void dropShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, qreal blurRadius,
                QColor colour) {
    Layer layer = makeLayer(painter, shape.boundingRect().translated(offset), blurRadius * 1.5 + 1);
    {
        QPainter p(&layer.image);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(layer.toLayer);
        p.fillPath(shape.translated(offset), colour);
    }
    blur(layer.image, blurRadius * layer.scale);
    compose(painter, layer);
}

void innerShadow(QPainter& painter, const QPainterPath& shape, QPointF offset, qreal blurRadius,
                 QColor colour) {
    Layer layer = makeLayer(painter, shape.boundingRect(), blurRadius * 1.5 + length(offset) + 1);
    {
        QPainter p(&layer.image);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillRect(layer.image.rect(), colour);
        p.setTransform(layer.toLayer);
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        p.fillPath(shape.translated(offset), Qt::black);
    }
    blur(layer.image, blurRadius * layer.scale);
    // Keep the shadow inside the shape only; a mask covering the whole layer, since a composition mode
    // acts only where something is drawn.
    QImage mask(layer.image.size(), QImage::Format_ARGB32_Premultiplied);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setRenderHint(QPainter::Antialiasing);
        p.setTransform(layer.toLayer);
        p.fillPath(shape, Qt::black);
    }
    {
        QPainter p(&layer.image);
        p.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        p.drawImage(0, 0, mask);
    }
    compose(painter, layer);
}

void punch(QPainter& painter, const QPainterPath& shape) {
    painter.save();
    painter.setCompositionMode(QPainter::CompositionMode_Clear);
    painter.fillPath(shape, Qt::black);
    painter.restore();
}

QColor mix(QColor a, QColor b, qreal t) {
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t,
                            a.alphaF() + (b.alphaF() - a.alphaF()) * t);
}

QColor withAlpha(QColor colour, qreal alpha) {
    colour.setAlphaF(alpha);
    return colour;
}

QLinearGradient verticalGradient(const QRectF& rect, QColor top, QColor bottom) {
    QLinearGradient gradient(rect.topLeft(), rect.bottomLeft());
    gradient.setColorAt(0, top);
    gradient.setColorAt(1, bottom);
    return gradient;
}

void litSurface(QPainter& painter, const QPainterPath& shape, QColor top, QColor bottom, qreal rim) {
    painter.fillPath(shape, verticalGradient(shape.boundingRect(), top, bottom));
    innerShadow(painter, shape, QPointF(0.7 * rim, 1.2 * rim), 2.2 * rim, QColor(255, 255, 255, 120));
    innerShadow(painter, shape, QPointF(-0.6 * rim, -1.5 * rim), 4 * rim, QColor(0, 0, 0, 70));
}

void recess(QPainter& painter, const QPainterPath& shape, QColor inside, qreal depth) {
    dropShadow(painter, shape, QPointF(0, 0.9 * depth), 0.9 * depth, QColor(255, 255, 255, 110));
    dropShadow(painter, shape, QPointF(0, -0.6 * depth), 0.8 * depth, QColor(0, 0, 0, 70));
    painter.fillPath(shape, inside);
    innerShadow(painter, shape, QPointF(0.4 * depth, 1.6 * depth), 2.6 * depth, QColor(0, 0, 0, 190));
}

void raisedCap(QPainter& painter, const QPainterPath& shape, QColor base, bool dished) {
    dropShadow(painter, shape, QPointF(0.6, 2.0), 3.6, QColor(0, 0, 0, 150));
    QRectF box = shape.boundingRect();
    painter.fillPath(shape, verticalGradient(box, base.lighter(122), base.darker(118)));
    innerShadow(painter, shape, QPointF(0.5, 1.1), 1.8, QColor(255, 255, 255, 110));
    innerShadow(painter, shape, QPointF(-0.4, -1.3), 2.6, QColor(0, 0, 0, 90));
    if (dished) {
        QTransform inset = QTransform::fromTranslate(box.center().x(), box.center().y())
                               .scale(0.8, 0.8)
                               .translate(-box.center().x(), -box.center().y());
        QPainterPath dish = inset.map(shape);
        painter.fillPath(dish, verticalGradient(dish.boundingRect(), base.darker(108), base.lighter(106)));
        innerShadow(painter, dish, QPointF(0, 1.4), 3, QColor(0, 0, 0, 70));
        innerShadow(painter, dish, QPointF(0, -1.0), 2, QColor(255, 255, 255, 70));
    }
    painter.save();
    painter.setPen(QPen(QColor(0, 0, 0, 90), 0.6));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(shape);
    painter.restore();
}

void screw(QPainter& painter, QPointF centre, qreal radius, qreal slotDegrees, bool cross) {
    recess(painter, circle(centre, radius * 1.22), QColor(40, 42, 46), 0.6);
    QRadialGradient head(centre - QPointF(radius * 0.35, radius * 0.45), radius * 1.7);
    head.setColorAt(0, QColor(246, 247, 249));
    head.setColorAt(0.45, QColor(176, 181, 188));
    head.setColorAt(1, QColor(92, 97, 104));
    QPainterPath disc = circle(centre, radius);
    painter.fillPath(disc, head);
    innerShadow(painter, disc, QPointF(-0.3, -0.6), 1.0, QColor(0, 0, 0, 90));
    painter.save();
    painter.translate(centre);
    painter.rotate(slotDegrees);
    QPainterPath cuts;
    qreal w = radius * 0.3, l = radius * 1.5;
    cuts.addRoundedRect(QRectF(-l / 2, -w / 2, l, w), w * 0.3, w * 0.3);
    if (cross) cuts.addRoundedRect(QRectF(-w / 2, -l / 2, w, l), w * 0.3, w * 0.3);
    cuts = cuts.simplified();
    painter.fillPath(cuts.translated(0, 0.35), QColor(255, 255, 255, 150));
    painter.fillPath(cuts, QColor(48, 51, 56));
    painter.restore();
}

void led(QPainter& painter, QPointF centre, qreal radius, QColor colour, bool lit) {
    recess(painter, circle(centre, radius * 1.4), QColor(24, 25, 28), 0.6);
    QPainterPath lens = circle(centre, radius);
    if (lit) dropShadow(painter, lens, QPointF(), radius * 3.2, withAlpha(colour, 0.85));
    QRadialGradient glass(centre, radius);
    if (lit) {
        glass.setColorAt(0, mix(colour, Qt::white, 0.75));
        glass.setColorAt(0.55, colour);
        glass.setColorAt(1, colour.darker(150));
    } else {
        QColor dim = mix(colour, QColor(20, 20, 20), 0.72);
        glass.setColorAt(0, dim.lighter(130));
        glass.setColorAt(1, dim.darker(140));
    }
    painter.fillPath(lens, glass);
    QPainterPath glint;
    glint.addEllipse(
        QRectF(centre.x() - radius * 0.55, centre.y() - radius * 0.7, radius * 0.7, radius * 0.45));
    painter.fillPath(glint, QColor(255, 255, 255, lit ? 190 : 110));
}

void holeGrille(QPainter& painter, const QPainterPath& area, qreal pitch, qreal holeRadius, QColor inside) {
    QRectF box = area.boundingRect();
    QPainterPath holes;
    const qreal rowStep = pitch * std::sqrt(3.0) / 2;
    int row = 0;
    for (qreal y = box.top() + holeRadius + 0.5; y <= box.bottom() - holeRadius - 0.5; y += rowStep, ++row) {
        qreal start = box.left() + holeRadius + 0.5 + ((row % 2) ? pitch / 2 : 0);
        for (qreal x = start; x <= box.right() - holeRadius - 0.5; x += pitch) {
            QRectF hole(x - holeRadius, y - holeRadius, 2 * holeRadius, 2 * holeRadius);
            if (area.contains(hole.adjusted(-0.5, -0.5, 0.5, 0.5))) holes.addEllipse(hole);
        }
    }
    recess(painter, holes, inside, 0.6);
}

void slotGrille(QPainter& painter, const QRectF& area, int count, qreal thickness, bool horizontal,
                QColor inside) {
    QPainterPath cuts;
    qreal span = horizontal ? area.height() : area.width();
    qreal step = count > 1 ? (span - thickness) / (count - 1) : 0;
    for (int i = 0; i < count; ++i) {
        QRectF slot = horizontal ? QRectF(area.left(), area.top() + i * step, area.width(), thickness)
                                 : QRectF(area.left() + i * step, area.top(), thickness, area.height());
        cuts.addRoundedRect(slot, thickness / 2, thickness / 2);
    }
    recess(painter, cuts, inside, 0.8);
}

void brushedStreaks(QPainter& painter, const QPainterPath& shape, quint32 seed, qreal strength) {
    QRectF box = shape.boundingRect();
    painter.save();
    painter.setClipPath(shape, Qt::IntersectClip);
    painter.setRenderHint(QPainter::Antialiasing, false);
    quint32 state = seed;
    for (qreal y = box.top(); y < box.bottom(); y += 0.5) {
        state = state * 1664525u + 1013904223u;
        qreal v = ((state >> 8) & 0xffff) / 65535.0;
        QColor tone = v > 0.5 ? QColor(255, 255, 255) : QColor(0, 0, 0);
        tone.setAlphaF(std::abs(v - 0.5) * 2 * strength);
        painter.fillRect(QRectF(box.left(), y, box.width(), 0.5), tone);
    }
    painter.restore();
}

bool loadFaces(QString* error) {
    for (Face face : {Face::Sans, Face::SansBold, Face::Mono, Face::MonoBold, Face::Serif, Face::SerifBold}) {
        if (!rawFont(face).isValid()) {
            if (error)
                *error = QStringLiteral("cannot load %1 (install fonts-dejavu-core)").arg(faceFile(face));
            return false;
        }
    }
    return true;
}

QPainterPath textPath(Face face, qreal size, const QString& text, qreal tracking) {
    const QRawFont& font = rawFont(face);
    QList<quint32> glyphs = font.glyphIndexesForString(text);
    QList<QPointF> advances = font.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances);
    const qreal k = size / outlineSize;
    QPainterPath path;
    qreal x = 0;
    for (qsizetype i = 0; i < glyphs.size(); ++i) {
        QPainterPath glyph = font.pathForGlyph(glyphs[i]);
        path.addPath(QTransform(k, 0, 0, k, x, 0).map(glyph));
        x += advances[i].x() * k + tracking;
    }
    return path;
}

qreal capHeight(Face face, qreal size) {
    return rawFont(face).capHeight() * size / outlineSize;
}

QPainterPath placed(const QPainterPath& text, QPointF anchor, Qt::Alignment alignment, qreal cap) {
    QRectF ink = text.boundingRect();
    qreal x = anchor.x() - ink.left();
    if (alignment & Qt::AlignHCenter)
        x = anchor.x() - ink.center().x();
    else if (alignment & Qt::AlignRight)
        x = anchor.x() - ink.right();
    qreal y = (alignment & Qt::AlignVCenter) ? anchor.y() + cap / 2 : anchor.y();
    return text.translated(x, y);
}

QPainterPath centredText(Face face, qreal size, const QString& text, QPointF centre, qreal tracking) {
    return placed(textPath(face, size, text, tracking), centre, Qt::AlignCenter, capHeight(face, size));
}

void printText(QPainter& painter, const QPainterPath& text, QColor colour) {
    painter.fillPath(text.translated(0, 0.35), QColor(0, 0, 0, 60));
    painter.fillPath(text, colour);
}

void embossText(QPainter& painter, const QPainterPath& text, QColor colour, bool engraved) {
    if (engraved) {
        painter.fillPath(text.translated(0, 0.55), QColor(255, 255, 255, 120));
        painter.fillPath(text, colour);
    } else {
        painter.fillPath(text.translated(0, 0.7), QColor(0, 0, 0, 110));
        painter.fillPath(text.translated(0, -0.45), QColor(255, 255, 255, 110));
        painter.fillPath(text, colour);
    }
}

bool writePng(const QImage& image, qreal pixelsPerPoint, const QString& path, QString* error) {
    const auto fail = [&](const QString& why) {
        if (error) *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    };
    QDir().mkpath(QFileInfo(path).absolutePath());
    // Straight (not premultiplied) alpha, bytes in PNG order on any host.
    const QImage out = image.convertToFormat(QImage::Format_RGBA8888);
    // Set, not inherited from the screen, so the bytes do not depend on the machine.
    const auto dotsPerMeter = png_uint_32(std::lround(pixelsPerPoint * 72 / 0.0254));
    FILE* file = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!file) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return fail(QStringLiteral("the image could not be written"));
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, png_uint_32(out.width()), png_uint_32(out.height()), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_pHYs(png, info, dotsPerMeter, dotsPerMeter, PNG_RESOLUTION_METER);
    // Rows without a filter: the frame art is decoded on the way to the first window, and unfiltered rows
    // decode in half the time for about a seventh more bytes.
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, 9);
    png_write_info(png, info);
    for (int y = 0; y < out.height(); ++y)
        png_write_row(png, out.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    if (std::fclose(file) != 0) return fail(QString::fromLocal8Bit(std::strerror(errno)));
    return true;
}

} // namespace QuillabyArt
