#pragma once

#include "FramePaths.h"
#include "VectorImport.h"

#include <QColor>

#include <functional>

namespace Vector {

// Makes the paths of a frame at a flattening tolerance; false when they
// would be far too many points to try (more than 16 frames' worth).
using TPathMaker = std::function<bool(double tolerance, std::vector<TFramePath>& paths)>;

// The frame of the paths, optimised when the options say so. When it would
// hold more than TZLT_Frame::MaxPoints the paths are made again with the
// tolerance doubled, up to coarsenings times, and else refused as
// TooManyPoints. A coarser frame says so in its Detail.
TVectorFrame BuildFrame(const TPathMaker& make, const TVectorOptions& options, int coarsenings);

// A colour as a palette index by the options: black lines (and those whose
// nearest palette colour is black) as BlackAs.
int PaletteIndex(const TZLT_Pal& palette, const QColor& colour, const TVectorOptions& options);
// An index or PaletteWhite or Blanked, resolved to an index or -1.
int ResolvedIndex(const TZLT_Pal& palette, int index);

} // namespace Vector
