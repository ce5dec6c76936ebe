#pragma once

#include <QImage>
#include <QPixmap>
#include <QString>
#include <QWidget>

#include <optional>

namespace Quillaby {

// The product's mark from the resource folder: "quillaby-mark.png" for light backgrounds and
// "quillaby-mark-dark.png" for dark ones. Each is read at most once per process; a missing or unreadable
// image is remembered as absent. Main thread only.
class BrandMark {
public:
    // The light mark, loaded on first use; none when it is absent.
    static const std::optional<QImage>& cached();
    static const std::optional<QImage>& cachedDark();

    // The preferred mark (dark with `onDark`), else the other one, as a view of the given height whose
    // width follows the image's aspect ratio; null when neither image can be loaded.
    static QWidget* view(qreal height, bool onDark, QWidget* parent = nullptr);

    // Tests: forget both images, so the next use reads the resource folder again.
    static void resetForTesting();

private:
    static std::optional<QImage> load(const QString& name);
};

// The mark drawn at a fixed height with high-quality scaling; invisible to screen readers' text.
class BrandMarkView : public QWidget {
    Q_OBJECT

public:
    BrandMarkView(QImage image, qreal height, QWidget* parent = nullptr);
    const QImage& image() const { return _image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage _image;
    QPixmap _scaled;
};

} // namespace Quillaby
