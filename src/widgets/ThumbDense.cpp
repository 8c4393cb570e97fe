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

// A step's kind: the byte offset of its row in TShortOffsets, this bit when
// it draws nothing (its writes then go aside), this when it goes the
// general way, and its colour from bit 16 on.
constexpr int RowBits = 0x3FFF;
constexpr int Nothing = 0x4000;
constexpr int General = 0x8000;
// Pixels around the image in the dense drawing's copy: short steps that
// reach past an edge by a few pixels (a point at the far edge scales to
// the pixel past it) need no clipping. Rows below it take the writes aside.
constexpr int Margin = 4;
constexpr int AsideRows = 8;

thread_local std::vector<uint32_t> DenseCopy;

// Whether both ends of a step lie in the copy of width x height pixels
// around the image.
inline bool InCopy(int x0, int y0, int x1, int y1, unsigned width, unsigned height)
{
    return unsigned(x0 + Margin) < width && unsigned(x1 + Margin) < width && unsigned(y0 + Margin) < height &&
           unsigned(y1 + Margin) < height;
}

// A point of the copy as x | y << 16, and back.
inline int32_t Pack(int64_t x, int64_t y)
{
    return int32_t(uint32_t(uint16_t(x + Margin)) | uint32_t(uint16_t(y + Margin)) << 16);
}
inline int XOf(int32_t p)
{
    return int(int16_t(uint16_t(p))) - Margin;
}
inline int YOf(int32_t p)
{
    return int(int16_t(uint16_t(uint32_t(p) >> 16))) - Margin;
}

// Where the drawing goes and how: the copy's size, where the path lies in
// it, and whether blanked moves are drawn.
struct TDenseGeometry
{
    int W, H;      // the path's size
    int Left, Top; // its place in the picture
    int Stride;    // the copy's width and height
    int Rows;
    int Aside; // where steps that draw nothing write
    bool MoveLines;

    // Scales count points into packed (from 1 on, packed[0] holding the
    // point before) and decides each step's kind and first pixel; returns
    // how many steps draw nothing.
    int Decide(const TZLT_Point* batch, int count, int32_t* packed, int32_t* kinds, int32_t* offsets) const;
};

int TDenseGeometry::Decide(const TZLT_Point* batch, int count, int32_t* packed, int32_t* kinds,
                           int32_t* offsets) const
{
    const int w = W, h = H, left = Left, top = Top, stride = Stride, rows = Rows, aside = Aside;
    const bool moveLines = MoveLines;
    const __m128i sizes = _mm_set1_epi32(int(uint32_t(w) | (uint32_t(h) << 16)));
    const __m128i origin =
        _mm_set1_epi32(int(uint32_t(uint16_t(left + Margin)) | uint32_t(uint16_t(top + Margin)) << 16));
    const __m128i fours = _mm_set1_epi16(4);
    const __m128i eights = _mm_set1_epi16(8);
    const __m128i lastPixel = _mm_set1_epi32(int(uint32_t(stride - 1) | uint32_t(rows - 1) << 16));
    const __m128i rowOf = _mm_set1_epi32(1 | 9 << 16);
    const __m128i offsetOf = _mm_set1_epi32(1 | stride << 16);
    const __m128i blank = _mm_set1_epi32(TZLT_Point::BlankBit << 16);
    const __m128i colourBits = _mm_set1_epi32(TZLT_Point::ColorMask << 16);
    const __m128i generalBit = _mm_set1_epi32(General);
    const __m128i nothingBit = _mm_set1_epi32(Nothing);
    const __m128i rowBits = _mm_set1_epi32(RowBits);
    const __m128i asides = _mm_set1_epi32(aside);
    const __m128i hideMoves = _mm_set1_epi32(moveLines ? 0 : -1);
    const __m128i all = _mm_set1_epi32(-1);
    const __m128i zero = _mm_setzero_si128();

    int k = 0;
    __m128i nothings = zero; // minus the count in each lane
    __m128i previous = _mm_cvtsi32_si128(packed[0]);
    for (; k + 4 <= count; k += 4) {
        const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(batch + k)));
        const __m128 b = _mm_castsi128_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(batch + k + 2)));
        // Scaled, then placed in the copy.
        const __m128i ends = _mm_add_epi16(ScaleFour(a, b, sizes), origin);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(packed + k + 1), ends);
        // The steps into these four points, each from the point before.
        const __m128i starts = _mm_or_si128(_mm_slli_si128(ends, 4), previous);
        previous = _mm_srli_si128(ends, 12);
        const __m128i d4 = _mm_add_epi16(_mm_sub_epi16(ends, starts), fours);
        // The table has the step when both ends lie in the copy, at most
        // 4 pixels apart along either axis; a blanked step with moves
        // shown takes the general way. One of no length, or blanked
        // with moves hidden, draws nothing.
        const __m128i inTable = _mm_and_si128(
            _mm_cmpeq_epi32(_mm_subs_epu16(d4, eights), zero),
            _mm_cmpeq_epi32(_mm_or_si128(_mm_subs_epu16(starts, lastPixel), _mm_subs_epu16(ends, lastPixel)),
                            zero));
        const __m128i upper = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
        const __m128i blanked = _mm_xor_si128(_mm_cmpeq_epi32(_mm_and_si128(upper, blank), zero), all);
        const __m128i nothing =
            _mm_or_si128(_mm_cmpeq_epi32(ends, starts), _mm_and_si128(blanked, hideMoves));
        const __m128i general =
            _mm_or_si128(_mm_xor_si128(inTable, all), _mm_andnot_si128(hideMoves, blanked));
        nothings = _mm_add_epi32(nothings, nothing);
        const __m128i kind = _mm_or_si128(
            _mm_or_si128(_mm_and_si128(_mm_slli_epi32(_mm_madd_epi16(d4, rowOf), 4), rowBits),
                         _mm_and_si128(upper, colourBits)),
            _mm_or_si128(_mm_and_si128(general, generalBit), _mm_and_si128(nothing, nothingBit)));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(kinds + k), kind);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(offsets + k),
                         _mm_or_si128(_mm_and_si128(nothing, asides),
                                      _mm_andnot_si128(nothing, _mm_madd_epi16(starts, offsetOf))));
    }
    nothings = _mm_add_epi32(nothings, _mm_srli_si128(nothings, 8));
    nothings = _mm_add_epi32(nothings, _mm_srli_si128(nothings, 4));
    int nothingCount = -_mm_cvtsi128_si32(nothings);
    for (; k < count; ++k) {
        const TZLT_Point& p = batch[k];
        const int x1 = int(left) + TZLT_FramePath::Scale(int(p.X()) + 32768, w);
        const int y1 = int(top) + TZLT_FramePath::Scale(int(p.Y()) + 32768, h);
        packed[k + 1] = Pack(x1, y1);
        const int x0 = XOf(packed[k]);
        const int y0 = YOf(packed[k]);
        const int dx = x1 - x0;
        const int dy = y1 - y0;
        const bool inTable = unsigned(dx + 4) < 9u && unsigned(dy + 4) < 9u &&
                             InCopy(x0, y0, x1, y1, unsigned(stride), unsigned(rows));
        const bool nothing = (dx | dy) == 0 || (p.Blanked() && !moveLines);
        const bool general = !inTable || (p.Blanked() && moveLines);
        nothingCount += nothing;
        kinds[k] = (inTable ? ((dy + 4) * 9 + dx + 4) * 16 : 0) | p.ColorIndex() << 16 |
                   (general ? General : 0) | (nothing ? Nothing : 0);
        offsets[k] = nothing ? aside : (y0 + Margin) * stride + x0 + Margin;
    }
    return nothingCount;
}

} // namespace

// False, drawing nothing, when the path is not one for it.
bool TThumbCanvas::TraceDense(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    const int n = path.Count();
    const int w = path.Width();
    const int h = path.Height();
    const int64_t area = int64_t(FWidth) * FHeight;
    // Worth the copy, and every point and pixel of the copy in 16 bits.
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
    const int rows = FHeight + 2 * Margin;
    DenseCopy.resize(size_t(stride) * size_t(rows + AsideRows));
    const int aside = (rows + AsideRows / 2) * stride + Margin;
    uint32_t* const copy = DenseCopy.data();
    uint32_t* const imageBits = FBits;
    const int64_t imageStride = FStride;
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(copy + (ptrdiff_t(y + Margin) * stride + Margin), imageBits + y * imageStride,
                    size_t(FWidth) * 4);
    // Line and InsideLine draw into the copy.
    FBits = copy + (Margin * stride + Margin);
    FStride = stride;

    const TShortOffsets table(stride);
    const char* const tableRows = reinterpret_cast<const char*>(table.Offsets);
    const TZLT_Point* const points = &path.Point(0);
    const bool moveLines = FMoveLines;

    // Points as x | y << 16 in the copy's pixels.
    constexpr int Batch = 256;
    int32_t packed[Batch + 1];
    int32_t kinds[Batch];
    int32_t offsets[Batch]; // a step's first pixel in the copy
    int steps[Batch];
    packed[Batch] = Pack(FX, FY);

    const TDenseGeometry geometry{w, h, int(left), int(top), stride, rows, aside, moveLines};

    for (int base = 1; base < n; base += Batch) {
        const int count = std::min(Batch, n - base);
        packed[0] = packed[Batch];
        const TZLT_Point* batch = points + base;
        for (int k = Batch; k < 2 * Batch && base + k < n; k += 64 / int(sizeof(TZLT_Point)))
            __builtin_prefetch(batch + k);
        const int nothingCount = geometry.Decide(batch, count, packed, kinds, offsets);
        const auto draw = [&](int k) {
            const int kind = kinds[k];
            if (kind & General) {
                DenseStep(XOf(packed[k]), YOf(packed[k]), XOf(packed[k + 1]), YOf(packed[k + 1]),
                          batch[k].Blanked(), colours[batch[k].ColorIndex()]);
                return;
            }
            const int32_t* const row = reinterpret_cast<const int32_t*>(tableRows + (kind & RowBits));
            uint32_t* const first = copy + offsets[k];
            const uint32_t color = colours[kind >> 16];
            const int32_t o1 = row[1], o2 = row[2], o3 = row[3];
            first[0] = color;
            first[o1] = color;
            first[o2] = color;
            first[o3] = color;
        };
        if (4 * nothingCount > count) {
            // Dense curves: most steps stay within a pixel, and are left
            // out without a branch.
            int drawn = 0;
            for (int k = 0; k < count; ++k) {
                steps[drawn] = k;
                drawn += !(kinds[k] & Nothing);
            }
            for (int j = 0; j < drawn; ++j)
                draw(steps[j]);
        } else {
            for (int k = 0; k < count; ++k)
                draw(k);
        }
        packed[Batch] = packed[count];
    }
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(imageBits + y * imageStride, copy + (ptrdiff_t(y + Margin) * stride + Margin),
                    size_t(FWidth) * 4);
    FBits = imageBits;
    FStride = imageStride;
    FX = XOf(packed[Batch]);
    FY = YOf(packed[Batch]);
    FColor = colours[points[n - 1].ColorIndex()];
    return true;
}

// A step of the dense drawing that is not a short lit one, out of line so
// that the loops of writes keep their registers.
Q_NEVER_INLINE void TThumbCanvas::DenseStep(int x0, int y0, int x1, int y1, bool blanked, uint32_t color)
{
    const bool within = InCopy(x0, y0, x1, y1, unsigned(FWidth + 2 * Margin), unsigned(FHeight + 2 * Margin));
    if (blanked) {
        if (!FMoveLines)
            return;
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
