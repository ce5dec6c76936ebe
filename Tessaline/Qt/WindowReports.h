#pragma once

#include "EscapeSequences.h"

#include <QSizeF>

#include <sys/ioctl.h>

#include <cstdint>
#include <vector>

namespace Tessaline {

// The sizes a view reports to the program in device pixels, from its cell size in logical pixels and
// the scale of its window.
struct WindowReports {
    // The text area: cell size x scale x cells, each side rounded to the nearest pixel.
    static QSize textAreaPixels(QSizeF cell, double scale, int cols, int rows);
    // One cell: cell size x scale, truncated.
    static QSize cellPixels(QSizeF cell, double scale);

    // CSI 4 ; height ; width t (the answer to CSI 14 t).
    static std::vector<uint8_t> textAreaReport(QSizeF cell, double scale, int cols, int rows, const CC& cc);
    // CSI 6 ; height ; width t (the answer to CSI 16 t).
    static std::vector<uint8_t> cellSizeReport(QSizeF cell, double scale, const CC& cc);

    // The size a pseudo-terminal is given: rows, columns and the text area in device pixels (what
    // CSI 14 t reports), every field held to its 16 bits.
    static winsize ptyWindowSize(QSizeF cell, double scale, int cols, int rows);
};

} // namespace Tessaline
