// SVG import: arbitrary bytes as a drawing. Never a crash or an exception;
// a frame only without a problem, within 65535 points, every point of it in
// the 95 % of the field the drawing is fitted into.

#include "FuzzCheck.h"
#include "VectorImport.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // Text needs Qt's fonts, which need an application; no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qputenv("QT_LOGGING_RULES", "qt.svg*=false");
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    Vector::TVectorOptions options;
    options.Optimise = (data[0] & 1) != 0;
    options.BlackAs = (data[0] & 2) ? Vector::TVectorOptions::Blanked : Vector::TVectorOptions::PaletteWhite;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const Vector::TVectorFrame f = Vector::ImportSvgBytes(bytes, TZLT_Pal(), options);
    FUZZ_CHECK(bool(f.Frame) == (f.Problem == Vector::TVectorProblem::None));
    if (!f.Frame)
        return 0;
    FUZZ_CHECK(f.Frame->Count() <= TZLT_Frame::MaxPoints);
    constexpr int Edge = 31130; // 95 % of 65536, halved and rounded up
    for (const TZLT_Point& p : f.Frame->AllPoints())
        FUZZ_CHECK(std::abs(p.X()) <= Edge && std::abs(p.Y()) <= Edge);
    return 0;
}
