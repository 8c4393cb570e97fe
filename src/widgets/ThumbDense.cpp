#include "ThumbCanvas.h"

#if defined(__GNUC__) && !defined(__clang__)
// The 256-bit vectors pass through templates that only code compiled for
// AVX2 calls, all inlined: no call passes them.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
#include "ThumbLines.h"

#include <QtGlobal>

#include <algorithm>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__GNUC__) && defined(__x86_64__)
#include <immintrin.h>
#endif

// Tens of thousands of short steps over a thumbnail: what each step is gets
// decided four or eight steps at a time in vector code, and the steps are
// then drawn by plain writes from a table, without a branch on their length,
// direction, the edges or whether they draw at all. The same pixels as
// TracePath.

#if defined(__SSE2__)

using namespace ThumbLines;

// The loops over the steps are compiled twice: for every x86-64 processor,
// four steps at a time, and for those with AVX2, eight at a time and in
// three-operand instructions that leave the loops their registers (in
// about half the time). Everything they call in a batch is inlined, so it
// is compiled for the same processors.

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
THUMB_INLINE int XOf(int32_t p)
{
    return int(int16_t(uint16_t(p))) - Margin;
}
THUMB_INLINE int YOf(int32_t p)
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

    // What a batch of steps holds.
    struct TBatch
    {
        int Nothing; // steps that draw nothing
        int Longest; // pixels along the longer axis of the longest step in the table
    };
    // Scales count points into packed (from 1 on, packed[0] holding the
    // point before) and decides each step's kind and first pixel.
    template<class Vec>
    THUMB_INLINE TBatch Decide(const TZLT_Point* batch, int count, int32_t* packed, int32_t* kinds,
                               int32_t* offsets) const;
};

template<class Vec>
THUMB_INLINE TDenseGeometry::TBatch TDenseGeometry::Decide(const TZLT_Point* batch, int count,
                                                           int32_t* packed, int32_t* kinds,
                                                           int32_t* offsets) const
{
    using V = typename Vec::V;
    const int w = W, h = H, left = Left, top = Top, stride = Stride, rows = Rows, aside = Aside;
    const bool moveLines = MoveLines;
    const V sizes = Vec::Set32(int(uint32_t(w) | (uint32_t(h) << 16)));
    const V origin =
        Vec::Set32(int(uint32_t(uint16_t(left + Margin)) | uint32_t(uint16_t(top + Margin)) << 16));
    const V fours = Vec::Set16(4);
    const V eights = Vec::Set16(8);
    const V lastPixel = Vec::Set32(int(uint32_t(stride - 1) | uint32_t(rows - 1) << 16));
    const V rowOf = Vec::Set32(1 | 9 << 16);
    const V offsetOf = Vec::Set32(1 | stride << 16);
    const V blank = Vec::Set32(TZLT_Point::BlankBit << 16);
    const V colourBits = Vec::Set32(TZLT_Point::ColorMask << 16);
    const V generalBit = Vec::Set32(General);
    const V nothingBit = Vec::Set32(Nothing);
    const V rowBits = Vec::Set32(RowBits);
    const V asides = Vec::Set32(aside);
    const V hideMoves = Vec::Set32(moveLines ? 0 : -1);
    const V all = Vec::Set32(-1);
    const V zero = Vec::Set32(0);

    int k = 0;
    V nothings = zero; // minus the count in each lane
    V longest = zero;  // of the steps in the table, along x and y
    V previous = Vec::Carry(packed[0]);
    for (; k + Vec::Points <= count; k += Vec::Points) {
        V xy, upper;
        Vec::Load(batch + k, xy, upper);
        // Scaled, then placed in the copy.
        const V ends = Vec::Add16(ScalePoints<Vec>(xy, sizes), origin);
        Vec::Store(packed + k + 1, ends);
        // The steps into these points, each from the point before.
        const V starts = Vec::Before(ends, previous);
        const V d4 = Vec::Add16(Vec::Sub16(ends, starts), fours);
        // The table has the step when both ends lie in the copy, at most
        // 4 pixels apart along either axis; a blanked step with moves
        // shown takes the general way. One of no length, or blanked
        // with moves hidden, draws nothing.
        const V inTable = Vec::And(
            Vec::Eq32(Vec::SubSatU16(d4, eights), zero),
            Vec::Eq32(Vec::Or(Vec::SubSatU16(starts, lastPixel), Vec::SubSatU16(ends, lastPixel)), zero));
        const V blanked = Vec::Xor(Vec::Eq32(Vec::And(upper, blank), zero), all);
        const V nothing = Vec::Or(Vec::Eq32(ends, starts), Vec::And(blanked, hideMoves));
        const V general = Vec::Or(Vec::Xor(inTable, all), Vec::AndNot(hideMoves, blanked));
        nothings = Vec::Add32(nothings, nothing);
        longest =
            Vec::Max16(longest, Vec::And(inTable, Vec::Max16(Vec::Sub16(d4, fours), Vec::Sub16(fours, d4))));
        const V kind = Vec::Or(Vec::Or(Vec::And(Vec::template Left32<4>(Vec::MulAdd16(d4, rowOf)), rowBits),
                                       Vec::And(upper, colourBits)),
                               Vec::Or(Vec::And(general, generalBit), Vec::And(nothing, nothingBit)));
        Vec::Store(kinds + k, kind);
        Vec::Store(offsets + k,
                   Vec::Or(Vec::And(nothing, asides), Vec::AndNot(nothing, Vec::MulAdd16(starts, offsetOf))));
    }
    int nothingCount = -Vec::SumOf32(nothings);
    int longestStep = Vec::MaxOf16(longest);
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
        if (inTable)
            longestStep = std::max({longestStep, std::abs(dx), std::abs(dy)});
        kinds[k] = (inTable ? ((dy + 4) * 9 + dx + 4) * 16 : 0) | p.ColorIndex() << 16 |
                   (general ? General : 0) | (nothing ? Nothing : 0);
        offsets[k] = nothing ? aside : (y0 + Margin) * stride + x0 + Margin;
    }
    return TBatch{nothingCount, longestStep};
}

// What the loops over the steps draw, and with what.
struct TDenseRun
{
    TDenseGeometry Geometry;
    const TZLT_Point* Points;
    int Count;
    uint32_t* Copy;
    const char* TableRows; // of TShortOffsets
    const uint32_t* Colours;
    int32_t Pen; // packed, before the first step and after the last
    // The steps that are not short lit ones.
    TThumbCanvas* Canvas;
    void (TThumbCanvas::*General)(int x0, int y0, int x1, int y1, bool blanked, uint32_t color);
};

constexpr int Batch = 128;

// A batch of steps, decided.
struct TDecided
{
    const TZLT_Point* Points;
    int32_t Packed[Batch + 1]; // points as x | y << 16 in the copy's pixels
    int32_t Kinds[Batch];
    int32_t Offsets[Batch]; // a step's first pixel in the copy
};

// Step k of a batch in as many writes as the batch's longest step in the
// table has pixels, the shorter ones repeating their last. What the writes
// need comes in values of their own: the compiler cannot know that the
// writes leave the run alone.
template<int Writes>
THUMB_INLINE void WriteStep(const TDenseRun& run, uint32_t* copy, const char* tableRows,
                            const uint32_t* colours, const TDecided& d, int k)
{
    const int kind = d.Kinds[k];
    if (kind & General) {
        (run.Canvas->*run.General)(XOf(d.Packed[k]), YOf(d.Packed[k]), XOf(d.Packed[k + 1]),
                                   YOf(d.Packed[k + 1]), d.Points[k].Blanked(),
                                   colours[d.Points[k].ColorIndex()]);
        return;
    }
    const int32_t* const row = reinterpret_cast<const int32_t*>(tableRows + (kind & RowBits));
    uint32_t* const first = copy + d.Offsets[k];
    const uint32_t color = colours[kind >> 16];
    int32_t o[4] = {};
    for (int i = 1; i < Writes; ++i)
        o[i] = row[i];
    first[0] = color;
    for (int i = 1; i < Writes; ++i)
        first[o[i]] = color;
}

template<int Writes>
THUMB_INLINE void WriteBatch(const TDenseRun& run, const TDecided& d, int count, int nothingCount)
{
    uint32_t* const copy = run.Copy;
    const char* const tableRows = run.TableRows;
    const uint32_t* const colours = run.Colours;
    if (4 * nothingCount > count) {
        // Dense curves: most steps stay within a pixel, and are left out
        // without a branch.
        int steps[Batch];
        int drawn = 0;
        for (int k = 0; k < count; ++k) {
            steps[drawn] = k;
            drawn += !(d.Kinds[k] & Nothing);
        }
        for (int j = 0; j < drawn; ++j)
            WriteStep<Writes>(run, copy, tableRows, colours, d, steps[j]);
    } else {
        for (int k = 0; k < count; ++k)
            WriteStep<Writes>(run, copy, tableRows, colours, d, k);
    }
}

template<class Vec>
THUMB_INLINE void RunBatches(TDenseRun& run)
{
    TDecided d;
    d.Packed[Batch] = run.Pen;
    const int n = run.Count;
    for (int base = 1; base < n; base += Batch) {
        const int count = std::min(Batch, n - base);
        d.Packed[0] = d.Packed[Batch];
        d.Points = run.Points + base;
        for (int k = Batch; k < 2 * Batch && base + k < n; k += 64 / int(sizeof(TZLT_Point)))
            __builtin_prefetch(d.Points + k);
        const TDenseGeometry::TBatch what =
            run.Geometry.template Decide<Vec>(d.Points, count, d.Packed, d.Kinds, d.Offsets);
        switch (what.Longest) {
        case 0:
        case 1:
            WriteBatch<1>(run, d, count, what.Nothing);
            break;
        case 2:
            WriteBatch<2>(run, d, count, what.Nothing);
            break;
        case 3:
            WriteBatch<3>(run, d, count, what.Nothing);
            break;
        default:
            WriteBatch<4>(run, d, count, what.Nothing);
        }
        d.Packed[Batch] = d.Packed[count];
    }
    run.Pen = d.Packed[Batch];
}

void RunBatchesBaseline(TDenseRun& run)
{
    RunBatches<TVec128>(run);
}

#if THUMB_AVX2
__attribute__((target("avx2"), flatten)) void RunBatchesAvx2(TDenseRun& run)
{
    RunBatches<TVec256>(run);
}
#endif

} // namespace

void TThumbCanvas::AllowAvx2(bool allowed)
{
#if THUMB_AVX2
    Avx2Allowed = allowed;
#else
    Q_UNUSED(allowed);
#endif
}

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
    const auto colours = PixelColours(path.Palette());
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
    const TZLT_Point* const points = &path.Point(0);
    TDenseRun run{TDenseGeometry{w, h, int(left), int(top), stride, rows, aside, FMoveLines},
                  points,
                  n,
                  copy,
                  reinterpret_cast<const char*>(table.Offsets),
                  colours.data(),
                  Pack(FX, FY),
                  this,
                  &TThumbCanvas::DenseStep};
#if THUMB_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && Avx2Allowed)
        RunBatchesAvx2(run);
    else
#endif
        RunBatchesBaseline(run);
    for (int y = 0; y < FHeight; ++y)
        std::memcpy(imageBits + y * imageStride, copy + (ptrdiff_t(y + Margin) * stride + Margin),
                    size_t(FWidth) * 4);
    FBits = imageBits;
    FStride = imageStride;
    FX = XOf(run.Pen);
    FY = YOf(run.Pen);
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

void TThumbCanvas::AllowAvx2(bool) {}
#endif
