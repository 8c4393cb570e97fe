#pragma once

#include "VectorImport.h"

#include <QByteArray>

namespace Vector {

struct TSvgCheck
{
    TVectorProblem Problem = TVectorProblem::None;
    QString Detail;
};

// Reads the bytes once as XML before Qt's SVG renderer sees them: not XML or
// a root other than <svg> is NotSvg, broken XML after the root (and entities
// expanding beyond the XML reader's limit) Malformed, elements nested deeper
// than MaxNesting TooLarge. Costs time in proportion to the bytes.
TSvgCheck CheckSvg(const QByteArray& bytes);

} // namespace Vector
