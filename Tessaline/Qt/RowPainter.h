#pragma once

#include "CellGlyphs.h"
#include "KittyPlacementRecord.h"
#include "ViewLineInfo.h"

#include <QColor>
#include <QGlyphRun>
#include <QImage>
#include <QPointF>

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

class QPainter;

namespace Tessaline {

class BufferLine;
class KittyPlacementImage;
class TerminalImage;
class TerminalView;

// Paints rows of the view from the row builder's records, in layers: backgrounds and selection, images
// under the text, box and block cells as geometry, the text with every glyph pinned to its cell (cell
// width x column, whatever the font's advance), underlines and strikethroughs, the images of Kitty
// placeholder cells, and the images over the text. Double-width and double-height rows are painted
// through a scaled painter. The cursor is the caret's, not the rows'.
//
// Text goes out a run of one font and colour at a time through one reused glyph run; nothing is
// allocated per cell.
class RowPainter {
public:
    explicit RowPainter(TerminalView& view);
    ~RowPainter();

    // The view's faces or cell size changed.
    void reset();
    // A paint pass starts: placeholder placements and images are looked up afresh.
    void beginPass();
    // Paints line `line` of the buffer on display in the band from y `top` (logical pixels, y down).
    void draw(QPainter& painter, int line, const BufferLine& row, double top, const QRectF& dirtyRect);

    // The layers of one row, in the band from `top`.
    void drawBackgrounds(QPainter& painter, const ViewLineInfo& info, double top, int cols, double rightEdge);
    void drawBoxDrawings(QPainter& painter, std::span<const BoxDrawingRenderItem> items, double top,
                         double scale);
    void drawBlockElements(QPainter& painter, std::span<const BlockElementRenderItem> items, double top,
                           double scale);
    void drawText(QPainter& painter, const ViewLineInfo& info, double top);
    // Underlines and strikethroughs of a piece whose cells start at the given x, `cellWidth` apart.
    void drawRunAttributes(QPainter& painter, const TextAttributes& look, std::span<const double> cellXs,
                           double baseline, double cellWidth, double scale);

    // Where a strip hangs in its row: Kitty strips from the row's top edge, moved by their pixel offsets.
    static QRectF stripRect(const TerminalImage& strip, double top, double cellWidth, double scale);
    // The strips of a row in drawing order: Kitty strips below the text, Kitty strips over it (each by
    // z-index, then image id, else as attached), and the others as attached.
    struct StripLayers {
        std::vector<const TerminalImage*> under;
        std::vector<const TerminalImage*> over;
        std::vector<const TerminalImage*> other;
    };
    static void sortStrips(const ImageList& images, StripLayers& layers);
    // The largest rectangle of the image's proportions inside the rectangle, centred; the rectangle itself
    // when a size is not positive.
    static QRectF kittyAspectFitRect(QSizeF imageSize, const QRectF& rect);

private:
    void prepare(double scale);
    void addGlyph(QPainter& painter, int font, quint32 glyph, QPointF at, const TextAttributes& look);
    void flushRun(QPainter& painter);
    void drawStrips(QPainter& painter, std::span<const TerminalImage* const> strips, double top,
                    double scale);
    void drawPlaceholders(QPainter& painter, const ViewLineInfo& info, double top, double scale);
    void fillUnderline(QPainter& painter, int style, double left, double right, double centre,
                       double thickness, double scale);

    TerminalView& _view;
    bool _ready = false;
    CellGlyphs _glyphs;
    // Metrics of the normal face (and the x-heights of all four), in logical pixels.
    double _baselineOffset = 0;
    double _underlinePosition = 0;
    double _underlineThickness = 0;
    std::array<double, 4> _xHeight{};
    std::array<double, 4> _lineWidth{};

    // The run being collected: one font, one colour.
    int _runFont = -1;
    const TextAttributes* _runLook = nullptr;
    std::vector<quint32> _runGlyphs;
    std::vector<QPointF> _runPositions;
    QGlyphRun _glyphRun;
    QColor _penColor;
    bool _penSet = false;
    std::vector<double> _cellXs;
    StripLayers _layers;

    // Per paint pass: the virtual placements of the screen on display by image id, and their images.
    bool _placementsReady = false;
    std::unordered_map<uint32_t, std::vector<KittyPlacementRecord>> _placements;
    std::unordered_map<uint32_t, std::optional<QImage>> _placeholderImages;
};

} // namespace Tessaline
