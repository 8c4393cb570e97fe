#include "ThumbCanvas.h"

#include "ThumbLines.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Tens of thousands of short steps over a thumbnail: what each step is gets
// decided four steps at a time in vector code, and the steps are then drawn
// by plain writes from a table, without a branch on their length, direction,
// the edges or whether they draw at all. The same pixels as TracePath.

#if defined(__SSE2__)

using namespace ThumbLines;

namespace {

// A step of the dense drawing: a short lit step, by its row of the table
// (0..80), a step that draws nothing, or one that goes the general way.
constexpr int GeneralStep = 0xFF;
constexpr int NoStep = 4 * 9 + 4; // a row of no offsets
// Pixels around the image in the dense drawing's copy: short steps that
// reach past an edge by a few pixels (a point at the far edge scales to
// the pixel past it) need no clipping, and the copy's first pixel takes
// the writes of steps that draw nothing.
constexpr int Margin = 4;

thread_local std::vector<uint32_t> DenseCopy;

// Draws a short step of the given kind from first; false for a step that
// goes the general way.
inline bool ShortStep(uint32_t* first, const int32_t* row, int kind, const uint32_t* colours)
{
    if ((kind & 0xFF) == GeneralStep)
        return false;
    const uint32_t color = colours[kind >> 8];
    const int32_t o1 = row[1], o2 = row[2], o3 = row[3];
    first[0] = color;
    first[o1] = color;
    first[o2] = color;
    first[o3] = color;
    return true;
}

// Whether both ends of a step lie in the copy of width x height pixels
// around the image.
inline bool InCopy(int x0, int y0, int x1, int y1, unsigned width, unsigned height)
{
    return unsigned(x0 + Margin) < width && unsigned(x1 + Margin) < width && unsigned(y0 + Margin) < height &&
           unsigned(y1 + Margin) < height;
}

} // namespace

// False, drawing nothing, when the path is not one for it.
bool TThumbCanvas::TraceDense(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    const int n = path.Count();
    const int w = path.Width();
    const int h = path.Height();
    const int64_t area = int64_t(FWidth) * FHeight;
    // Points and the copy's pixels in 16 bits, with room for the margin.
    if (n < 1024 || 4 * int64_t(n) < area || FWidth > 4096 || FHeight > 4096 || w > 65535 || h > 65535 ||
        left < -32768 + Margin || top < -32768 + Margin || left + w > 32767 - Margin ||
        top + h > 32767 - Margin)
        return false;

    MoveTo(path.X(0), path.Y(0));
    uint32_t colours[64];
    for (int c = 0; c < 64; ++c) {
        const TZLT_PalEntry& e = path.Palette().ColorOf(uint8_t(c));
        colours[c] = 0xFF000000u | (uint32_t(e.Red) << 16) | (uint32_t(e.Green) << 8) | uint32_t(e.Blue);
    }
    const int stride = FWidth + 2 * Margin;
    DenseCopy.resize(size_t(stride) * size_t(FHeight + 2 * Margin));
    uint32_t* const copy = DenseCopy.data();
    uint32_t* const imageBits = FBits;
    const int64_t imageStride = FStride;
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(copy + (ptrdiff_t(y + Margin) * stride + Margin), imageBits + y * imageStride,
                    size_t(FWidth) * 4);
    // Line and InsideLine draw into the copy.
    FBits = copy + (Margin * stride + Margin);
    FStride = stride;

    const TShortOffsets shortLines(stride);
    const TZLT_Point* const points = &path.Point(0);
    const bool moveLines = FMoveLines;

    // Points as x + Margin | (y + Margin) << 16, in the copy's pixels.
    constexpr int Batch = 256;
    int32_t packed[Batch + 1];
    int32_t kinds[Batch];   // the step's table row | its colour << 8
    int32_t offsets[Batch]; // its first pixel in the copy
    int steps[Batch];
    const auto pack = [](int64_t x, int64_t y) {
        return int32_t(uint32_t(uint16_t(x + Margin)) | uint32_t(uint16_t(y + Margin)) << 16);
    };
    const auto xOf = [](int32_t p) { return int(int16_t(uint16_t(p))) - Margin; };
    const auto yOf = [](int32_t p) { return int(int16_t(uint16_t(uint32_t(p) >> 16))) - Margin; };
    packed[Batch] = pack(FX, FY);

    const __m128i sizes = _mm_set1_epi32(int(uint32_t(w) | (uint32_t(h) << 16)));
    const __m128i half = _mm_set1_epi16(int16_t(0x8000));
    const __m128i one = _mm_set1_epi16(1);
    const __m128i origin =
        _mm_set1_epi32(int(uint32_t(uint16_t(left + Margin)) | uint32_t(uint16_t(top + Margin)) << 16));
    const __m128i fours = _mm_set1_epi16(4);
    const __m128i eights = _mm_set1_epi16(8);
    const __m128i lastPixel =
        _mm_set1_epi32(int(uint32_t(FWidth + 2 * Margin - 1) | uint32_t(FHeight + 2 * Margin - 1) << 16));
    const __m128i rowOf = _mm_set1_epi32(1 | 9 << 16);
    const __m128i offsetOf = _mm_set1_epi32(1 | stride << 16);
    const __m128i blank = _mm_set1_epi32(TZLT_Point::BlankBit << 16);
    const __m128i colourMask = _mm_set1_epi32(TZLT_Point::ColorMask);
    const __m128i general = _mm_set1_epi32(GeneralStep);
    const __m128i noStep = _mm_set1_epi32(NoStep);
    const __m128i hideMoves = _mm_set1_epi32(moveLines ? 0 : -1);
    const __m128i zero = _mm_setzero_si128();

    for (int base = 1; base < n; base += Batch) {
        const int count = std::min(Batch, n - base);
        packed[0] = packed[Batch];
        const TZLT_Point* batch = points + base;
        for (int k = Batch; k < 2 * Batch && base + k < n; k += 64 / int(sizeof(TZLT_Point)))
            __builtin_prefetch(batch + k);
        int k = 0;
        int nothingCount = 0;
        __m128i previous = _mm_cvtsi32_si128(packed[0]);
        for (; k + 4 <= count; k += 4) {
            const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(batch + k)));
            const __m128 b =
                _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(batch + k + 2)));
            // Scaled as Scale does it (see TracePath), then placed.
            const __m128i xy =
                _mm_xor_si128(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))), half);
            const __m128i low = _mm_mullo_epi16(xy, sizes);
            const __m128i high = _mm_mulhi_epu16(xy, sizes);
            const __m128i past = _mm_cmpgt_epi16(_mm_xor_si128(low, half), zero);
            const __m128i even =
                _mm_and_si128(_mm_cmpeq_epi16(low, half), _mm_cmpeq_epi16(_mm_and_si128(high, one), one));
            const __m128i ends = _mm_add_epi16(_mm_sub_epi16(high, _mm_or_si128(past, even)), origin);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + k + 1), ends);
            // The steps into these four points start at the point before each.
            const __m128i starts = _mm_or_si128(_mm_slli_si128(ends, 4), previous);
            previous = _mm_srli_si128(ends, 12);
            const __m128i d = _mm_sub_epi16(ends, starts);
            const __m128i d4 = _mm_add_epi16(d, fours);
            // Both ends in the copy, at most 4 pixels along either axis, lit.
            const __m128i isShort = _mm_cmpeq_epi32(_mm_subs_epu16(d4, eights), zero);
            const __m128i within = _mm_cmpeq_epi32(
                _mm_or_si128(_mm_subs_epu16(starts, lastPixel), _mm_subs_epu16(ends, lastPixel)), zero);
            const __m128i none = _mm_cmpeq_epi32(d, zero);
            const __m128i upper = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
            const __m128i lit = _mm_cmpeq_epi32(_mm_and_si128(upper, blank), zero);
            const __m128i fast = _mm_andnot_si128(none, _mm_and_si128(_mm_and_si128(lit, within), isShort));
            const __m128i nothing = _mm_or_si128(none, _mm_andnot_si128(lit, hideMoves));
            nothingCount += (0x4332322132212110ull >> (4 * _mm_movemask_ps(_mm_castsi128_ps(nothing)))) & 0xF;
            __m128i row =
                _mm_or_si128(_mm_and_si128(fast, _mm_madd_epi16(d4, rowOf)), _mm_andnot_si128(fast, general));
            row = _mm_or_si128(_mm_and_si128(nothing, noStep), _mm_andnot_si128(nothing, row));
            const __m128i colour = _mm_and_si128(_mm_srli_epi32(upper, 16), colourMask);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(kinds + k),
                             _mm_or_si128(row, _mm_slli_epi32(colour, 8)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(offsets + k),
                             _mm_andnot_si128(nothing, _mm_madd_epi16(starts, offsetOf)));
        }
        for (; k < count; ++k) {
            const TZLT_Point& p = batch[k];
            const int x1 = int(left) + TZLT_FramePath::Scale(int(p.X()) + 32768, w);
            const int y1 = int(top) + TZLT_FramePath::Scale(int(p.Y()) + 32768, h);
            packed[k + 1] = pack(x1, y1);
            const int x0 = xOf(packed[k]);
            const int y0 = yOf(packed[k]);
            const int dx = x1 - x0;
            const int dy = y1 - y0;
            const bool lit = !p.Blanked();
            const bool within = InCopy(x0, y0, x1, y1, unsigned(stride), unsigned(FHeight + 2 * Margin));
            const bool none = (dx | dy) == 0;
            const bool nothing = none || (!lit && !moveLines);
            const int row = nothing ? NoStep
                            : lit && within && unsigned(dx + 4) < 9u && unsigned(dy + 4) < 9u
                                ? (dy + 4) * 9 + dx + 4
                                : GeneralStep;
            kinds[k] = row | p.ColorIndex() << 8;
            nothingCount += nothing;
            offsets[k] = nothing ? 0 : (y0 + Margin) * stride + x0 + Margin;
        }
        const auto draw = [&](int k) {
            if (!ShortStep(copy + offsets[k], shortLines.Offsets[kinds[k] & 0xFF], kinds[k], colours))
                DenseStep(xOf(packed[k]), yOf(packed[k]), xOf(packed[k + 1]), yOf(packed[k + 1]),
                          batch[k].Blanked(), colours[kinds[k] >> 8]);
        };
        if (4 * nothingCount > count) {
            // Dense curves: most steps stay within a pixel, and are left
            // out without a branch.
            int drawn = 0;
            for (k = 0; k < count; ++k) {
                steps[drawn] = k;
                drawn += (kinds[k] & 0xFF) != NoStep;
            }
            for (int j = 0; j < drawn; ++j)
                draw(steps[j]);
        } else {
            for (k = 0; k < count; ++k)
                draw(k);
        }
        packed[Batch] = packed[count];
    }
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(imageBits + y * imageStride, copy + (ptrdiff_t(y + Margin) * stride + Margin),
                    size_t(FWidth) * 4);
    FBits = imageBits;
    FStride = imageStride;
    FX = xOf(packed[Batch]);
    FY = yOf(packed[Batch]);
    FColor = colours[points[n - 1].ColorIndex()];
    return true;
}

// A step of the dense drawing that is not a short lit one, out of line so
// that the loops of writes keep their registers.
Q_NEVER_INLINE void TThumbCanvas::DenseStep(int x0, int y0, int x1, int y1, bool blanked, uint32_t color)
{
    const bool within = InCopy(x0, y0, x1, y1, unsigned(FWidth + 2 * Margin), unsigned(FHeight + 2 * Margin));
    if (blanked) {
        if (within)
            InsideLine<true>(FBits, int(FStride), x0, y0, x1, y1, FMoveColor, FBackground);
        else
            Line<true>(x0, y0, x1, y1, FMoveColor);
    } else if (within) {
        InsideLine<false>(FBits, int(FStride), x0, y0, x1, y1, color, 0);
    } else {
        Line<false>(x0, y0, x1, y1, color);
    }
}
#else
bool TThumbCanvas::TraceDense(const TZLT_FramePath&, int64_t, int64_t)
{
    return false;
}

void TThumbCanvas::DenseStep(int, int, int, int, bool, uint32_t) {}
#endif
