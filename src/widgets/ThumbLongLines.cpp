#include "ThumbCanvas.h"

#include "ThumbLines.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

// Long lines over a small cell, drawn from the last step to the first: each
// pixel takes the colour of the last step that reaches it. Random long lines
// set the pixels inside the cell many times over but those along its edges
// late, so the drawing seldom ends early, and what it costs is how fast the
// many later steps are passed over.
//
// The last steps, enough to cover the cell a few times, are painted in order
// without asking which pixels are set; then the steps before, newest first,
// only into pixels still unset, until none is left deeper inside than a
// tenth of the cell. From then on a step can only reach an unset pixel near
// an edge if one of its ends lies as near to that edge (a line's pixels lie
// between its ends on both axes), and most steps are passed over on their
// ends alone, four at a time. Only the part of a step that lies in such a
// strip is walked, and only where the strip holds unset pixels.

#if defined(__SSE2__)

using namespace ThumbLines;

namespace {

// A pixel of the work area past the image: set from the start.
constexpr uint8_t Outside = 0xFF;

// Work areas up to this side; beyond, the pixels' offsets are no longer
// exact in the single floats they are computed in.
constexpr int MaxSide = 1024;

// Steps painted or asked about at a time; their pixels stay in the cache.
constexpr int Chunk = 32;

// The edges of the work area: left, right, top, bottom.
constexpr int Edges = 4;

// 65536 / m rounded up, for the length of a steep step's part in a strip.
const auto Reciprocals = [] {
    std::array<uint32_t, MaxSide + 1> table{};
    for (uint32_t m = 1; m <= MaxSide; ++m)
        table[m] = (65536u + m - 1) / m;
    return table;
}();

struct TLongLines
{
    int W = 0, H = 0;         // the work area, one pixel per point position
    std::vector<uint32_t> XY; // the points scaled into it, x | y << 16
    // Per point: 0 when the step into it draws nothing, else its colour
    // index + 1.
    std::vector<uint8_t> Ink;
    // Per pixel: 0 while unset, else the ink that set it.
    std::vector<uint8_t> Marks;
    std::vector<int32_t> Offsets; // the pixels of a chunk of steps
    std::vector<uint8_t> Inks;

    // The unset pixels by the edge nearest to each: how many at each depth
    // from it and at each place along it (and a bit per place that has
    // any), and the deepest.
    int Unset = 0;
    int Depth[Edges] = {};
    std::vector<int> AtDepth[Edges];
    std::vector<int> AtPlace[Edges];
    std::vector<uint64_t> Places[Edges];

    void Start(const TZLT_Point* points, int n, int w, int h, int visibleW, int visibleH);
    int StepLength(int j) const;
    int ChunkPixels(int first, int last);
    void Paint(int first, int last);
    void PaintUnder(int first, int last);
    bool InnerSet(int depth) const;
    void CountUnset();
    void Settle(int offset);
    void UpdateDepths();
    bool AnyPlace(int edge, int lo, int hi) const;
    bool Near(int edge, int x0, int y0, int x1, int y1) const;
    void Walk(int edge, int x0, int y0, int x1, int y1, uint8_t ink);
    void Candidate(int j);
    void PassOver(int last);
};

thread_local TLongLines Long;

// The edge nearest to pixel x, y, the pixel's depth from it and its place
// along it.
struct TEdgePlace
{
    int Edge, Depth, Place;
};

inline TEdgePlace EdgeOf(int x, int y, int w, int h)
{
    const int depths[Edges] = {x, w - 1 - x, y, h - 1 - y};
    int edge = 0;
    for (int e = 1; e < Edges; ++e)
        if (depths[e] < depths[edge])
            edge = e;
    return TEdgePlace{edge, depths[edge], edge < 2 ? y : x};
}

// Scales the points into the work area (w + 1) x (h + 1), of which only
// visibleW x visibleH lie in the image.
void TLongLines::Start(const TZLT_Point* points, int n, int w, int h, int visibleW, int visibleH)
{
    W = w + 1;
    H = h + 1;
    XY.resize(size_t(n));
    Ink.resize(size_t(n));
    const __m128i sizes = _mm_set1_epi32(int(uint32_t(w) | uint32_t(h) << 16));
    const __m128i statusBits = _mm_set1_epi32(0xFF);
    const __m128i colourBits = _mm_set1_epi32(TZLT_Point::ColorMask);
    const __m128i blankBit = _mm_set1_epi32(TZLT_Point::BlankBit);
    const __m128i one = _mm_set1_epi32(1);
    uint32_t* const scaled = XY.data();
    uint8_t* const inks = Ink.data();
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i xy, upper;
        TVec128::Load(points + i, xy, upper);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(scaled + i), ScalePoints<TVec128>(xy, sizes));
        const __m128i status = _mm_and_si128(_mm_srli_epi32(upper, 16), statusBits);
        const __m128i lit = _mm_cmpeq_epi32(_mm_and_si128(status, blankBit), _mm_setzero_si128());
        const __m128i ink = _mm_and_si128(lit, _mm_add_epi32(_mm_and_si128(status, colourBits), one));
        _mm_storeu_si32(inks + i, _mm_packus_epi16(_mm_packs_epi32(ink, ink), ink));
    }
    for (; i < n; ++i) {
        const TZLT_Point& p = points[i];
        XY[size_t(i)] = uint32_t(TZLT_FramePath::Scale(int(p.X()) + 32768, w)) |
                        uint32_t(TZLT_FramePath::Scale(int(p.Y()) + 32768, h)) << 16;
        Ink[size_t(i)] = p.Blanked() ? 0 : uint8_t(p.ColorIndex() + 1);
    }
    Marks.assign(size_t(W) * size_t(H), 0);
    for (int y = 0; y < H; ++y)
        for (int x = y < visibleH ? visibleW : 0; x < W; ++x)
            Marks[size_t(y) * size_t(W) + size_t(x)] = Outside;
    Offsets.resize(size_t(Chunk) * size_t(std::max(W, H)) + 8);
    Inks.resize(Offsets.size());
}

// Pixels of the step into point j, 0 when it draws nothing.
int TLongLines::StepLength(int j) const
{
    const uint32_t a = XY[size_t(j - 1)], b = XY[size_t(j)];
    const int dx = int(b & 0xFFFF) - int(a & 0xFFFF);
    const int dy = int(b >> 16) - int(a >> 16);
    return Ink[size_t(j)] ? std::max(std::abs(dx), std::abs(dy)) : 0;
}

// The pixels of the steps into points first + 1 ... last, in order, as
// offsets into the work area, with their inks; returns how many. Pixel i of
// a step lies (2 * m * i + n) / (2 * n) steps along its shorter axis, as the
// canvas counts: computed four at a time in floats, with a half added so
// that no quotient is whole, exact for steps of up to MaxSide pixels.
int TLongLines::ChunkPixels(int first, int last)
{
    // In locals: the writes below could otherwise change them, as far as
    // the compiler knows.
    const uint32_t* const xy = XY.data();
    const uint8_t* const inkOf = Ink.data();
    int32_t* const offsets = Offsets.data();
    uint8_t* const inks = Inks.data();
    const int width = W;
    int k = 0;
    const __m128 lanes = _mm_setr_ps(0, 1, 2, 3);
    const __m128 four = _mm_set1_ps(4);
    for (int j = first + 1; j <= last; ++j) {
        const uint8_t ink = inkOf[j];
        const int x0 = int(xy[j - 1] & 0xFFFF), y0 = int(xy[j - 1] >> 16);
        const int dx = int(xy[j] & 0xFFFF) - x0, dy = int(xy[j] >> 16) - y0;
        const int adx = std::abs(dx), ady = std::abs(dy);
        const bool xMajor = adx >= ady;
        const int n = xMajor ? adx : ady;
        if (!ink || n == 0)
            continue;
        const int m = xMajor ? ady : adx;
        const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -width : width;
        const __m128 twoM = _mm_set1_ps(float(2 * m));
        const __m128 nHalf = _mm_set1_ps(float(n) + 0.5f);
        const __m128 inverse = _mm_set1_ps(0.5f / float(n));
        const __m128 major = _mm_set1_ps(float(xMajor ? sx : sy));
        const __m128 minor = _mm_set1_ps(float(xMajor ? sy : sx));
        const __m128 start = _mm_set1_ps(float(y0 * width + x0));
        const __m128i fourInks = _mm_set1_epi8(char(ink));
        __m128 i = lanes;
        for (int q = 0; q < n; q += 4) {
            const __m128i along =
                _mm_cvttps_epi32(_mm_mul_ps(_mm_add_ps(_mm_mul_ps(i, twoM), nHalf), inverse));
            const __m128 offset = _mm_add_ps(_mm_add_ps(start, _mm_mul_ps(i, major)),
                                             _mm_mul_ps(_mm_cvtepi32_ps(along), minor));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(offsets + k + q), _mm_cvttps_epi32(offset));
            _mm_storeu_si32(inks + k + q, fourInks);
            i = _mm_add_ps(i, four);
        }
        k += n;
    }
    return k;
}

// The steps into points first + 1 ... last, over whatever is there.
void TLongLines::Paint(int first, int last)
{
    uint8_t* const marks = Marks.data();
    const int32_t* const offsets = Offsets.data();
    const uint8_t* const inks = Inks.data();
    for (int from = first; from < last; from += Chunk) {
        const int k = ChunkPixels(from, std::min(last, from + Chunk));
        for (int i = 0; i < k; ++i)
            marks[offsets[i]] = inks[i];
    }
}

// The same steps, newest first, into unset pixels only.
void TLongLines::PaintUnder(int first, int last)
{
    uint8_t* const marks = Marks.data();
    const int32_t* const offsets = Offsets.data();
    const uint8_t* const inks = Inks.data();
    for (int to = last; to > first; to -= Chunk) {
        const int k = ChunkPixels(std::max(first, to - Chunk), to);
        for (int i = k - 1; i >= 0; --i) {
            uint8_t& mark = marks[offsets[i]];
            mark = mark ? mark : inks[i];
        }
    }
}

// Whether every pixel deeper than depth from all edges is set.
bool TLongLines::InnerSet(int depth) const
{
    const int x0 = depth + 1, x1 = W - 1 - depth; // x0 <= x < x1
    const __m128i zero = _mm_setzero_si128();
    for (int y = depth + 1; y < H - 1 - depth; ++y) {
        const uint8_t* row = Marks.data() + size_t(y) * size_t(W);
        int x = x0;
        __m128i any = zero;
        for (; x + 16 <= x1; x += 16)
            any = _mm_or_si128(
                any, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), zero));
        if (_mm_movemask_epi8(any) != 0)
            return false;
        for (; x < x1; ++x)
            if (row[x] == 0)
                return false;
    }
    return true;
}

void TLongLines::CountUnset()
{
    const int maxDepth = (std::max(W, H) + 1) / 2;
    for (int e = 0; e < Edges; ++e) {
        AtDepth[e].assign(size_t(maxDepth) + 1, 0);
        AtPlace[e].assign(size_t(std::max(W, H)), 0);
        Places[e].assign((size_t(std::max(W, H)) + 63) / 64, 0);
    }
    Unset = 0;
    const uint8_t* const marks = Marks.data();
    const int size = W * H;
    const auto count = [&](int p) {
        const TEdgePlace at = EdgeOf(p % W, p / W, W, H);
        ++Unset;
        ++AtDepth[at.Edge][size_t(at.Depth)];
        ++AtPlace[at.Edge][size_t(at.Place)];
        Places[at.Edge][size_t(at.Place) >> 6] |= uint64_t(1) << (at.Place & 63);
    };
    int p = 0;
    for (; p + 16 <= size; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(marks + p));
        for (unsigned bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_setzero_si128()))); bits;
             bits &= bits - 1)
            count(p + __builtin_ctz(bits));
    }
    for (; p < size; ++p)
        if (marks[p] == 0)
            count(p);
    for (int e = 0; e < Edges; ++e)
        Depth[e] = maxDepth;
    UpdateDepths();
}

// Pixel offset has just been set.
void TLongLines::Settle(int offset)
{
    const TEdgePlace at = EdgeOf(offset % W, offset / W, W, H);
    --Unset;
    --AtDepth[at.Edge][size_t(at.Depth)];
    if (--AtPlace[at.Edge][size_t(at.Place)] == 0)
        Places[at.Edge][size_t(at.Place) >> 6] &= ~(uint64_t(1) << (at.Place & 63));
}

void TLongLines::UpdateDepths()
{
    for (int e = 0; e < Edges; ++e)
        while (Depth[e] >= 0 && AtDepth[e][size_t(Depth[e])] == 0)
            --Depth[e];
}

// Whether an unset pixel nearest to edge lies at a place from lo to hi.
bool TLongLines::AnyPlace(int edge, int lo, int hi) const
{
    const std::vector<uint64_t>& words = Places[edge];
    lo = std::max(lo, 0);
    hi = std::min(hi, int(words.size()) * 64 - 1);
    for (int word = lo >> 6; word <= hi >> 6; ++word) {
        uint64_t bits = words[size_t(word)];
        if (word == lo >> 6)
            bits &= ~uint64_t(0) << (lo & 63);
        if (word == hi >> 6)
            bits &= ~uint64_t(0) >> (63 - (hi & 63));
        if (bits)
            return true;
    }
    return false;
}

// The depth of a point from edge.
inline int DepthFrom(int edge, int x, int y, int w, int h)
{
    switch (edge) {
    case 0:
        return x;
    case 1:
        return w - 1 - x;
    case 2:
        return y;
    default:
        return h - 1 - y;
    }
}

// Whether the part of the line from x0, y0 to x1, y1 within edge's strip
// (of its deepest unset pixel's depth) can reach one of the unset pixels
// nearest to that edge: whether any lies at the places that part spans.
bool TLongLines::Near(int edge, int x0, int y0, int x1, int y1) const
{
    const int depth = Depth[edge];
    const int u0 = DepthFrom(edge, x0, y0, W, H), u1 = DepthFrom(edge, x1, y1, W, H);
    const bool acrossX = edge < 2;
    const int p0 = acrossX ? y0 : x0, p1 = acrossX ? y1 : x1;
    if (u0 <= depth && u1 <= depth)
        return AnyPlace(edge, std::min(p0, p1), std::max(p0, p1));
    const int adx = std::abs(x1 - x0), ady = std::abs(y1 - y0);
    const int n = std::max(adx, ady), m = std::min(adx, ady);
    // The depths the part spans. Across them it goes as many steps along
    // the longer axis, so at most as many places, or along the shorter one
    // (the ends' depths differ: m > 0) up to n / m places for each; from
    // the end in the strip towards the other.
    const int levels = depth - (u0 <= depth ? u0 : u1) + 1;
    const bool alongMajor = acrossX == (adx >= ady);
    const int reach =
        alongMajor ? levels + 1 : int((uint64_t(levels) * uint64_t(n) * Reciprocals[size_t(m)]) >> 16) + 2;
    const int p = u0 <= depth ? p0 : p1;
    const int other = u0 <= depth ? p1 : p0;
    return other >= p ? AnyPlace(edge, p, p + reach) : AnyPlace(edge, p - reach, p);
}

// Sets the unset pixels of the line's steps within edge's strip.
void TLongLines::Walk(int edge, int x0, int y0, int x1, int y1, uint8_t ink)
{
    const int dx = x1 - x0, dy = y1 - y0;
    const int adx = std::abs(dx), ady = std::abs(dy);
    const bool xMajor = adx >= ady;
    const int n = xMajor ? adx : ady, m = xMajor ? ady : adx;
    if (n == 0)
        return;
    const int twoN = 2 * n, twoM = 2 * m;
    const int sx = dx < 0 ? -1 : 1, sy = dy < 0 ? -W : W;
    const int majorStep = xMajor ? sx : sy, minorStep = xMajor ? sy : sx;
    const int depth = Depth[edge];
    const int u0 = DepthFrom(edge, x0, y0, W, H);
    const int du = DepthFrom(edge, x1, y1, W, H) - u0;
    const bool alongMajor = (edge < 2) == xMajor;
    // Steps first to last, the first at minor step k with remainder rem.
    int first = 0, k = 0, rem = n, last = n - 1;
    if (u0 <= depth) {
        if (du > 0) {
            // Leaves the strip at the step that reaches depth + 1.
            const int out = depth - u0 + 1;
            last = std::min(last, alongMajor ? out - 1 : (twoN * out - n + twoM - 1) / twoM - 1);
        }
    } else {
        // Enters it at the step that reaches depth.
        const int in = u0 - depth;
        if (alongMajor) {
            first = in;
            if (first >= n)
                return;
            const int at = twoM * first + n;
            k = at / twoN;
            rem = at - k * twoN;
        } else {
            first = (twoN * in - n + twoM - 1) / twoM;
            if (first >= n)
                return;
            k = in;
            rem = twoM * first + n - twoN * in;
        }
    }
    uint8_t* const marks = Marks.data();
    int offset = y0 * W + x0 + first * majorStep + k * minorStep;
    for (int i = first; i <= last; ++i) {
        if (marks[offset] == 0) {
            marks[offset] = ink;
            Settle(offset);
        }
        rem += twoM;
        const int carry = -int(rem >= twoN);
        rem -= twoN & carry;
        offset += majorStep + (minorStep & carry);
    }
}

// The step into point j, which the ends' test did not pass over.
void TLongLines::Candidate(int j)
{
    const uint8_t ink = Ink[size_t(j)];
    if (!ink)
        return;
    const int x0 = int(XY[size_t(j - 1)] & 0xFFFF), y0 = int(XY[size_t(j - 1)] >> 16);
    const int x1 = int(XY[size_t(j)] & 0xFFFF), y1 = int(XY[size_t(j)] >> 16);
    const bool reaches[Edges] = {std::min(x0, x1) <= Depth[0], std::max(x0, x1) >= W - 1 - Depth[1],
                                 std::min(y0, y1) <= Depth[2], std::max(y0, y1) >= H - 1 - Depth[3]};
    for (int e = 0; e < Edges; ++e)
        if (reaches[e] && Near(e, x0, y0, x1, y1))
            Walk(e, x0, y0, x1, y1, ink);
}

// The steps into points last ... 1, newest first, until every pixel is set.
void TLongLines::PassOver(int last)
{
    const uint32_t* const xy = XY.data();
    int j = last;
    while (j >= 4 && Unset > 0) {
        UpdateDepths();
        // A step can reach an edge's unset pixels when an end lies within
        // its deepest one's depth: the lower of x and y at most the left and
        // top depths, the higher at least the right and bottom ones.
        const __m128i lows = _mm_set1_epi32(int(uint32_t(Depth[0] + 1) | uint32_t(Depth[2] + 1) << 16));
        const __m128i highs =
            _mm_set1_epi32(int(uint32_t(W - 2 - Depth[1]) | uint32_t(H - 2 - Depth[3]) << 16));
        for (int run = 0; run < 16 && j >= 4; ++run, j -= 4) {
            // The steps into points j - 3 ... j.
            const __m128i from = _mm_loadu_si128(reinterpret_cast<const __m128i*>(xy + j - 4));
            const __m128i to = _mm_loadu_si128(reinterpret_cast<const __m128i*>(xy + j - 3));
            const __m128i near = _mm_or_si128(_mm_cmpgt_epi16(lows, _mm_min_epi16(from, to)),
                                              _mm_cmpgt_epi16(_mm_max_epi16(from, to), highs));
            for (unsigned bits = unsigned(_mm_movemask_epi8(near)); bits;) {
                const int lane = (31 - __builtin_clz(bits)) >> 2;
                bits &= ~(0xFu << (4 * lane));
                Candidate(j - 3 + lane);
            }
        }
    }
    for (; j >= 1 && Unset > 0; --j) {
        UpdateDepths();
        Candidate(j);
    }
}

} // namespace

// False, drawing nothing, when the path is not one for it: its points must
// all land in the image or one pixel past its far edges.
bool TThumbCanvas::TraceLongLines(const TZLT_FramePath& path, int64_t left, int64_t top)
{
    const int n = path.Count();
    const int w = path.Width();
    const int h = path.Height();
    if (n < 2 || w < 1 || h < 1 || w >= MaxSide || h >= MaxSide || left < 0 || top < 0 || left + w > FWidth ||
        top + h > FHeight)
        return false;

    MoveTo(path.X(0), path.Y(0));
    const auto colours = PixelColours(path.Palette());
    TLongLines& drawing = Long;
    const int visibleW = int(std::min<int64_t>(w + 1, FWidth - left));
    const int visibleH = int(std::min<int64_t>(h + 1, FHeight - top));
    drawing.Start(&path.Point(0), n, w, h, visibleW, visibleH);
    const int64_t area = int64_t(w + 1) * (h + 1);

    // The newest steps, enough to cover the cell about five times.
    int end = n - 1;
    const auto stepsBack = [&](int64_t cover) {
        int first = end;
        for (int64_t steps = 0; first > 0 && steps < cover; --first)
            steps += drawing.StepLength(first);
        return first;
    };
    int first = stepsBack(5 * area);
    drawing.Paint(first, end);
    end = first;
    // Then about one cover at a time under them until the inside is set.
    const int inner = std::max(1, std::min(w, h) / 10);
    while (end > 0 && !drawing.InnerSet(inner)) {
        first = stepsBack(area);
        drawing.PaintUnder(first, end);
        end = first;
    }
    if (end > 0) {
        drawing.CountUnset();
        drawing.PassOver(end);
    }

    const uint8_t* marks = drawing.Marks.data();
    for (int y = 0; y < visibleH; ++y) {
        uint32_t* row = FBits + (top + y) * FStride + left;
        const uint8_t* from = marks + size_t(y) * size_t(drawing.W);
        for (int x = 0; x < visibleW; ++x)
            if (from[x])
                row[x] = colours[from[x] - 1];
    }
    FX = left + int(drawing.XY[size_t(n - 1)] & 0xFFFF);
    FY = top + int(drawing.XY[size_t(n - 1)] >> 16);
    FColor = colours[path.Point(n - 1).ColorIndex()];
    return true;
}

#else
bool TThumbCanvas::TraceLongLines(const TZLT_FramePath&, int64_t, int64_t)
{
    return false;
}
#endif
