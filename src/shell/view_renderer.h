#pragma once

#include "document/document_data.h"
#include "regions/region.h"

#include <QFont>
#include <QImage>
#include <QRect>

namespace nubo {

// The font of the region and background labels.
QFont labelFont();

// The view's picture for one area of the view: white background, the picture 1:1, outlines, highlight and rubber
// band composed exactly on the pixels (view_overlay), and the labels drawn in black from their rectangles' top-left
// corners, clipped, on a transparent or white background. The result is area.size() in Format_RGB32.
QImage renderView(const DocumentData& document, const Region* rubberBand, const QRect& area,
                  const QFont& font = labelFont());

// Splits a label at its own line breaks; "\n\r", "\r\n", "\n" and "\r" each end one line.
QStringList labelLines(const QString& text);

} // namespace nubo
