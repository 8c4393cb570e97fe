#include "ThumbCanvas.h"

#if defined(__GNUC__) && !defined(__clang__)
// The 256-bit vectors pass only between functions compiled for AVX2, all
// inlined.
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
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
// The last steps, enough to cover the cell several times, are painted in
// order without asking which pixels are set; then, if the inside is not yet
// set, the steps before, newest first, into unset pixels only. The few
// pixels left unset are then listed by the edge nearest to each, in the
// order of their places along it. A step can only reach one of them if one
// of its ends lies as near to that edge (a line's pixels lie between its
// ends on both axes), so most steps are passed over on their ends alone, 64
// at a time. A step that is not is tested exactly against the listed pixels
// at the places it passes near the edge, a vector of them at a time.

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

// 65536 / m rounded up: a step's reach within a strip without dividing.
const auto Reciprocals = [] {
    std::array<uint32_t, MaxSide + 1> table{};
    for (uint32_t m = 1; m <= MaxSide; ++m)
        table[m] = (65536u + m - 1) / m;
    return table;
}();

// Pixels are tested this many at a time, the widest vectors' lanes.
constexpr int Lanes = 8;

// Two 16-bit lanes of a 32-bit one, as x | y << 16.
constexpr uint32_t Pack(int low, int high)
{
    return uint32_t(uint16_t(low)) | uint32_t(uint16_t(high)) << 16;
}

// A pixel no step reaches: fills the lists up to whole vectors.
constexpr uint32_t Nowhere = Pack(0x4000, 0x4000);

// A step as the test of a pixel x, y against it takes it: with r the
// pixel's offset from the step's first one, i = r . Major is how far along
// the longer axis it lies, and c = r . Across twice how far it lies off
// the line, scaled by that axis' length n. The pixel is the step's when
// 0 <= i < n and -n <= c < n: it lies within the step and its row (or
// column) is the one the step takes there, (2 * m * i + n) / (2 * n).
struct TStepTest
{
    uint32_t First, Major, Across;
    int N;
};

// Which of the pixels (count of them, then Nowhere up to whole vectors)
// the step reaches, into hits; returns how many.
template<class L>
THUMB_INLINE int Hits(const uint32_t* pixels, int count, const TStepTest& step, int* hits)
{
    using V = typename L::V;
    const V first = L::Set32(int(step.First)), major = L::Set32(int(step.Major));
    const V across = L::Set32(int(step.Across));
    const V n = L::Set32(step.N), last = L::Set32(step.N - 1);
    int found = 0;
    for (int p = 0; p < count; p += L::Points) {
        const V r = L::Sub16(L::Load32(pixels + p), first);
        const V i = L::MulAdd16(r, major), c = L::MulAdd16(r, across);
        // Negative when any of i, n - 1 - i, c + n and n - 1 - c is.
        const V outside = L::Or(L::Or(i, L::Sub32(last, i)), L::Or(L::Add32(c, n), L::Sub32(last, c)));
        for (unsigned bits = L::NonNegative32(outside); bits; bits &= bits - 1)
            hits[found++] = p + __builtin_ctz(bits);
    }
    return found;
}

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

    // The unset pixels by the edge nearest to each, as x | y << 16 in the
    // order of their places along it (those set since are Nowhere), where
    // each place's begin, how many at each depth from it, and the deepest.
    int Unset = 0;
    int Depth[Edges] = {};
    std::vector<int> AtDepth[Edges];
    std::vector<uint32_t> Pixels[Edges];
    std::vector<int> PlaceStart[Edges];
    int Set[Edges] = {}; // Nowhere in Pixels
    std::vector<int> Found; // the pixels a step reaches
    bool Wide = false;      // whether the loops run with AVX2, eight lanes at a time

    void Start(const TZLT_Point* points, int n, int w, int h, int visibleW, int visibleH);
    int StepLength(int j) const;
    template<class L>
    int ChunkPixels(int first, int last);
    template<class L>
    void Paint(int first, int last);
    template<class L>
    void PaintUnder(int first, int last);
    bool InnerSet(int depth) const;
    void CountUnset();
    void Sort(int edge);
    void Compact(int edge);
    void UpdateDepths();
    struct TCandidate
    {
        TStepTest Step;
        int Begin, Count, Edge, Ink;
    };
    template<int Edge>
    int Queue(int j, TCandidate* to) const;
    template<int Edge>
    int QueueAll(uint64_t near, int j, TCandidate* to) const;
    template<class L>
    void Test(const TCandidate* candidates, int count);
    template<class L>
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

// Scales whole vectors of points into XY and Ink; returns how many.
template<class L>
THUMB_INLINE int ScaleWith(TLongLines& drawing, const TZLT_Point* points, int n, int w, int h)
{
    using V = typename L::V;
    const V sizes = L::Set32(int(uint32_t(w) | uint32_t(h) << 16));
    const V statusBits = L::Set32(0xFF);
    const V colourBits = L::Set32(TZLT_Point::ColorMask);
    const V blankBit = L::Set32(TZLT_Point::BlankBit);
    const V one = L::Set32(1);
    uint32_t* const scaled = drawing.XY.data();
    uint8_t* const inks = drawing.Ink.data();
    int i = 0;
    for (; i + L::Points <= n; i += L::Points) {
        V xy, upper;
        // A frame's points come from memory: asked for 4 KiB ahead, they
        // are in the cache in time (asking past the end is harmless).
        _mm_prefetch(reinterpret_cast<const char*>(points + i) + 4096, _MM_HINT_T0);
        L::Load(points + i, xy, upper);
        L::Store(reinterpret_cast<int32_t*>(scaled + i), ScalePoints<L>(xy, sizes));
        const V status = L::And(L::template Right32<16>(upper), statusBits);
        const V lit = L::Eq32(L::And(status, blankBit), L::Set32(0));
        L::StoreBytes(inks + i, L::And(lit, L::Add32(L::And(status, colourBits), one)));
    }
    return i;
}

int ScaleBaseline(TLongLines& drawing, const TZLT_Point* points, int n, int w, int h)
{
    return ScaleWith<TVec128>(drawing, points, n, w, h);
}

#if THUMB_AVX2
__attribute__((target("avx2"))) int ScaleAvx2(TLongLines& drawing, const TZLT_Point* points, int n, int w, int h)
{
    return ScaleWith<TVec256>(drawing, points, n, w, h);
}
#endif

// Scales the points into the work area (w + 1) x (h + 1), of which only
// visibleW x visibleH lie in the image.
void TLongLines::Start(const TZLT_Point* points, int n, int w, int h, int visibleW, int visibleH)
{
    W = w + 1;
    H = h + 1;
    XY.resize(size_t(n));
    Ink.resize(size_t(n));
    int i = 0;
#if THUMB_AVX2
    if (Wide)
        i = ScaleAvx2(*this, points, n, w, h);
    else
#endif
        i = ScaleBaseline(*this, points, n, w, h);
    for (; i < n; ++i) {
        const TZLT_Point& p = points[i];
        XY[size_t(i)] = uint32_t(TZLT_FramePath::Scale(int(p.X()) + 32768, w)) |
                        uint32_t(TZLT_FramePath::Scale(int(p.Y()) + 32768, h)) << 16;
        Ink[size_t(i)] = p.Blanked() ? 0 : uint8_t(p.ColorIndex() + 1);
    }
    // With a vector's bytes past the end, set, for reading whole vectors.
    Marks.assign(size_t(W) * size_t(H) + 16, 0);
    std::fill(Marks.end() - 16, Marks.end(), Outside);
    for (int y = 0; y < H; ++y)
        for (int x = y < visibleH ? visibleW : 0; x < W; ++x)
            Marks[size_t(y) * size_t(W) + size_t(x)] = Outside;
    Offsets.resize(size_t(Chunk) * size_t(std::max(W, H)) + Lanes);
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
// canvas counts: computed a vector at a time in floats, with a half added
// so that no quotient is whole, exact for steps of up to MaxSide pixels.
template<class L>
THUMB_INLINE int TLongLines::ChunkPixels(int first, int last)
{
    // In locals: the writes below could otherwise change them, as far as
    // the compiler knows.
    const uint32_t* const xy = XY.data();
    const uint8_t* const inkOf = Ink.data();
    int32_t* const offsets = Offsets.data();
    uint8_t* const inks = Inks.data();
    const int width = W;
    const auto lanes = L::SetF(float(L::Points));
    int k = 0;
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
        const auto twoM = L::SetF(float(2 * m));
        const auto nHalf = L::SetF(float(n) + 0.5f);
        const auto inverse = L::SetF(0.5f / float(n));
        const auto major = L::SetF(float(xMajor ? sx : sy));
        const auto minor = L::SetF(float(xMajor ? sy : sx));
        const auto start = L::SetF(float(y0 * width + x0));
        const uint64_t eightInks = ink * 0x0101010101010101u;
        auto i = L::Lanes();
        for (int q = 0; q < n; q += L::Points) {
            std::memcpy(inks + k + q, &eightInks, sizeof eightInks);
            const auto along = L::Truncate(L::MulF(L::AddF(L::MulF(i, twoM), nHalf), inverse));
            L::Store(offsets + k + q,
                     L::Truncate(L::AddF(L::AddF(start, L::MulF(i, major)), L::MulF(L::Float(along), minor))));
            i = L::AddF(i, lanes);
        }
        k += n;
    }
    return k;
}

// The steps into points first + 1 ... last, over whatever is there.
template<class L>
THUMB_INLINE void TLongLines::Paint(int first, int last)
{
    uint8_t* const marks = Marks.data();
    const int32_t* const offsets = Offsets.data();
    const uint8_t* const inks = Inks.data();
    for (int from = first; from < last; from += Chunk) {
        const int k = ChunkPixels<L>(from, std::min(last, from + Chunk));
        for (int i = 0; i < k; ++i)
            marks[offsets[i]] = inks[i];
    }
}

// The same steps, newest first, into unset pixels only.
template<class L>
THUMB_INLINE void TLongLines::PaintUnder(int first, int last)
{
    uint8_t* const marks = Marks.data();
    const int32_t* const offsets = Offsets.data();
    const uint8_t* const inks = Inks.data();
    for (int to = last; to > first; to -= Chunk) {
        const int k = ChunkPixels<L>(std::max(first, to - Chunk), to);
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
        Pixels[e].clear();
    }
    Unset = 0;
    for (int y = 0; y < H; ++y) {
        const uint8_t* const row = Marks.data() + size_t(y) * size_t(W);
        for (int x0 = 0; x0 < W; x0 += 16) {
            const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x0));
            unsigned bits = unsigned(_mm_movemask_epi8(_mm_cmpeq_epi8(block, _mm_setzero_si128())));
            if (W - x0 < 16)
                bits &= (1u << (W - x0)) - 1;
            for (; bits; bits &= bits - 1) {
                const int x = x0 + __builtin_ctz(bits);
                const TEdgePlace at = EdgeOf(x, y, W, H);
                ++Unset;
                ++AtDepth[at.Edge][size_t(at.Depth)];
                Pixels[at.Edge].push_back(Pack(x, y));
            }
        }
    }
    for (int e = 0; e < Edges; ++e) {
        Sort(e);
        Depth[e] = maxDepth;
    }
    Found.resize(size_t(Unset) + Lanes);
    UpdateDepths();
}

// Orders edge's unset pixels by their places along it, without those set.
void TLongLines::Sort(int edge)
{
    std::vector<uint32_t>& pixels = Pixels[edge];
    std::vector<int>& start = PlaceStart[edge];
    const int places = edge < 2 ? H : W;
    const int shift = edge < 2 ? 16 : 0; // the place's lane
    start.assign(size_t(places) + 1, 0);
    for (const uint32_t pixel : pixels)
        if (pixel != Nowhere)
            ++start[size_t((pixel >> shift) & 0xFFFF) + 1];
    for (int place = 0; place < places; ++place)
        start[size_t(place) + 1] += start[size_t(place)];
    std::vector<uint32_t> sorted(size_t(start[size_t(places)]) + Lanes, Nowhere);
    std::vector<int> next(start.begin(), start.end() - 1);
    for (const uint32_t pixel : pixels)
        if (pixel != Nowhere)
            sorted[size_t(next[(pixel >> shift) & 0xFFFF]++)] = pixel;
    pixels.swap(sorted);
    Set[edge] = 0;
}

// Drops the pixels set since from edge's list, which keeps its order.
void TLongLines::Compact(int edge)
{
    std::vector<uint32_t>& pixels = Pixels[edge];
    std::vector<int>& start = PlaceStart[edge];
    const int places = int(start.size()) - 1;
    const int shift = edge < 2 ? 16 : 0;
    size_t kept = 0;
    for (size_t i = 0; i + Lanes < pixels.size(); ++i)
        if (pixels[i] != Nowhere)
            pixels[kept++] = pixels[i];
    pixels.resize(kept);
    size_t at = 0;
    for (int place = 0; place <= places; ++place) {
        while (at < kept && int((pixels[at] >> shift) & 0xFFFF) < place)
            ++at;
        start[size_t(place)] = int(at);
    }
    pixels.resize(kept + Lanes, Nowhere);
    Set[edge] = 0;
}

void TLongLines::UpdateDepths()
{
    for (int e = 0; e < Edges; ++e)
        while (Depth[e] >= 0 && AtDepth[e][size_t(Depth[e])] == 0)
            --Depth[e];
}

// The step into point j, which the ends' test did not pass over for edge,
// with the unset pixels nearest to it that it may reach, at to; returns 1,
// or 0 when it reaches none. Without branches: whether it does is seldom
// foreseeable.
template<int Edge>
THUMB_INLINE int TLongLines::Queue(int j, TCandidate* to) const
{
    // Selects a where mask is -1, b where it is 0.
    const auto select = [](int mask, int a, int b) { return b ^ ((a ^ b) & mask); };
    const uint32_t a = XY[size_t(j - 1)], b = XY[size_t(j)];
    const int x0 = int(a & 0xFFFF), y0 = int(a >> 16), x1 = int(b & 0xFFFF), y1 = int(b >> 16);
    // The places the step passes within the edge's deepest unset pixel's
    // depth: from the end within it (or both) towards the other end, as far
    // as the line goes in that depth and half a pixel more, with a pixel to
    // spare.
    const int depth = Depth[Edge];
    const int u0 = DepthFrom(Edge, x0, y0, W, H), u1 = DepthFrom(Edge, x1, y1, W, H);
    const int p0 = Edge < 2 ? y0 : x0, p1 = Edge < 2 ? y1 : x1;
    const int firstIn = -int(u0 <= depth);
    const int uIn = select(firstIn, u0, u1), pIn = select(firstIn, p0, p1), pOut = select(firstIn, p1, p0);
    const int du = std::abs(u1 - u0), dp = std::abs(p1 - p0);
    const int bothIn = -int(std::max(u0, u1) <= depth);
    const int reach = select(bothIn, MaxSide,
                             int((uint64_t(uint32_t(std::max(depth - uIn + 1, 0)) * uint32_t(dp)) *
                                  Reciprocals[size_t(du)]) >> 16) + 2);
    const int forward = -int(pOut >= pIn);
    const int lo = select(forward, pIn, std::max(pOut, pIn - reach));
    const int hi = select(forward, std::min(pOut, pIn + reach), pIn);
    const int* const start = PlaceStart[Edge].data();
    const int begin = start[lo];
    const int count = start[hi + 1] - begin;
    const int dx = x1 - x0, dy = y1 - y0;
    const int adx = std::abs(dx), ady = std::abs(dy);
    const int xMajor = -int(adx >= ady);
    const int sx = (dx >> 31) | 1, sy = (dy >> 31) | 1, sign = sx * sy;
    const int ink = Ink[size_t(j)];
    to->Step.First = a;
    to->Step.Major = uint32_t(select(xMajor, int(Pack(sx, 0)), int(Pack(0, sy))));
    to->Step.Across = uint32_t(
        select(xMajor, int(Pack(2 * sign * dy, -2 * sign * dx)), int(Pack(-2 * sign * dy, 2 * sign * dx))));
    to->Step.N = std::max(adx, ady);
    to->Begin = begin;
    to->Count = count;
    to->Edge = Edge;
    to->Ink = ink;
    return int(uIn <= depth) & int(count > 0) & int((adx | ady) != 0) & int(ink != 0);
}

// The steps of bits (bit b for the step into point j - 63 + b), newest first.
template<int Edge>
THUMB_INLINE int TLongLines::QueueAll(uint64_t bits, int j, TCandidate* to) const
{
    int queued = 0;
    while (bits) {
        const int b = 63 - __builtin_clzll(bits);
        bits &= ~(uint64_t(1) << b);
        queued += Queue<Edge>(j - 63 + b, to + queued);
    }
    return queued;
}

// Sets the unset pixels that the candidates reach, each in the colour of the
// first that does.
template<class L>
THUMB_INLINE void TLongLines::Test(const TCandidate* candidates, int count)
{
    bool compact[Edges] = {};
    for (int k = 0; k < count; ++k) {
        const TCandidate& candidate = candidates[k];
        const int edge = candidate.Edge;
        uint32_t* const pixels = Pixels[edge].data() + candidate.Begin;
        const int found = Hits<L>(pixels, candidate.Count, candidate.Step, Found.data());
        if (found == 0)
            continue;
        for (int f = 0; f < found; ++f) {
            uint32_t& pixel = pixels[Found[size_t(f)]];
            const int x = int(pixel & 0xFFFF), y = int(pixel >> 16);
            Marks[size_t(y) * size_t(W) + size_t(x)] = uint8_t(candidate.Ink);
            --AtDepth[edge][size_t(DepthFrom(edge, x, y, W, H))];
            pixel = Nowhere;
        }
        Unset -= found;
        // Set pixels are tested on as if unset until most are, and at least
        // a vector of them; the places' begins stay until all candidates are
        // tested.
        Set[edge] += found;
        compact[edge] = compact[edge] || (Set[edge] >= Lanes && 2 * Set[edge] > int(Pixels[edge].size()) - Lanes);
    }
    for (int e = 0; e < Edges; ++e)
        if (compact[e])
            Compact(e);
}

// The low and the high halves of lanes of 32 bits that hold 0 or -1 in
// each half, as lanes of 32 bits.
template<class L>
THUMB_INLINE typename L::V LowHalves(typename L::V v)
{
    return L::template ArithRight32<16>(L::template Left32<16>(v));
}

template<class L>
THUMB_INLINE typename L::V HighHalves(typename L::V v)
{
    return L::template ArithRight32<16>(v);
}

// The steps into points last ... 1, newest first, until every pixel is set.
// The unset pixels of different edges are apart, so each edge takes the
// steps of a block of 64 in turn.
template<class L>
THUMB_INLINE void TLongLines::PassOver(int last)
{
    const uint32_t* const xy = XY.data();
    int j = last;
    while (j >= 64 && Unset > 0) {
        UpdateDepths();
        // A step can reach an edge's unset pixels when an end lies within
        // its deepest one's depth: the lower of x and y at most the left and
        // top depths, the higher at least the right and bottom ones.
        using V = typename L::V;
        const V lows = L::Set32(int(uint32_t(Depth[0] + 1) | uint32_t(Depth[2] + 1) << 16));
        const V highs = L::Set32(int(uint32_t(W - 2 - Depth[1]) | uint32_t(H - 2 - Depth[3]) << 16));
        // Per edge, bit b for the step into point j - 63 + b, from groups of
        // four vectors of steps.
        constexpr int Group = 4 * L::Points;
        uint64_t near[Edges] = {};
        for (int group = 0; group < 64 / Group; ++group) {
            V low[4], high[4];
            for (int k = 0; k < 4; ++k) {
                const uint32_t* const to = xy + (j - 63 + Group * group + L::Points * k);
                const V from = L::Load32(to - 1), into = L::Load32(to);
                low[k] = L::Gt16(lows, L::Min16(from, into));
                high[k] = L::Gt16(L::Max16(from, into), highs);
            }
            const int shift = Group * group;
            near[0] |= uint64_t(L::Bits(LowHalves<L>(low[0]), LowHalves<L>(low[1]), LowHalves<L>(low[2]),
                                        LowHalves<L>(low[3])))
                       << shift;
            near[1] |= uint64_t(L::Bits(LowHalves<L>(high[0]), LowHalves<L>(high[1]), LowHalves<L>(high[2]),
                                        LowHalves<L>(high[3])))
                       << shift;
            near[2] |= uint64_t(L::Bits(HighHalves<L>(low[0]), HighHalves<L>(low[1]), HighHalves<L>(low[2]),
                                        HighHalves<L>(low[3])))
                       << shift;
            near[3] |= uint64_t(L::Bits(HighHalves<L>(high[0]), HighHalves<L>(high[1]), HighHalves<L>(high[2]),
                                        HighHalves<L>(high[3])))
                       << shift;
        }
        TCandidate candidates[64 * Edges];
        int queued = 0;
        queued += QueueAll<0>(near[0], j, candidates + queued);
        queued += QueueAll<1>(near[1], j, candidates + queued);
        queued += QueueAll<2>(near[2], j, candidates + queued);
        queued += QueueAll<3>(near[3], j, candidates + queued);
        Test<L>(candidates, queued);
        j -= 64;
    }
    for (; j >= 1 && Unset > 0; --j) {
        UpdateDepths();
        const int x0 = int(xy[j - 1] & 0xFFFF), y0 = int(xy[j - 1] >> 16);
        const int x1 = int(xy[j] & 0xFFFF), y1 = int(xy[j] >> 16);
        const bool reaches[Edges] = {std::min(x0, x1) <= Depth[0], std::max(x0, x1) >= W - 1 - Depth[1],
                                     std::min(y0, y1) <= Depth[2], std::max(y0, y1) >= H - 1 - Depth[3]};
        TCandidate candidates[Edges];
        int queued = 0;
        if (reaches[0])
            queued += Queue<0>(j, candidates + queued);
        if (reaches[1])
            queued += Queue<1>(j, candidates + queued);
        if (reaches[2])
            queued += Queue<2>(j, candidates + queued);
        if (reaches[3])
            queued += Queue<3>(j, candidates + queued);
        Test<L>(candidates, queued);
    }
}

// The drawing's loops compiled for every x86-64 processor, and for those
// with AVX2.
template<class L>
THUMB_INLINE void PaintWith(TLongLines& drawing, int first, int last, bool under)
{
    if (under)
        drawing.PaintUnder<L>(first, last);
    else
        drawing.Paint<L>(first, last);
}

void PaintBaseline(TLongLines& drawing, int first, int last, bool under)
{
    PaintWith<TVec128>(drawing, first, last, under);
}

void PassOverBaseline(TLongLines& drawing, int last)
{
    drawing.PassOver<TVec128>(last);
}

#if THUMB_AVX2
__attribute__((target("avx2"))) void PaintAvx2(TLongLines& drawing, int first, int last, bool under)
{
    PaintWith<TVec256>(drawing, first, last, under);
}

__attribute__((target("avx2"))) void PassOverAvx2(TLongLines& drawing, int last)
{
    drawing.PassOver<TVec256>(last);
}
#endif

void Paint(TLongLines& drawing, int first, int last, bool under)
{
#if THUMB_AVX2
    if (drawing.Wide)
        PaintAvx2(drawing, first, last, under);
    else
#endif
        PaintBaseline(drawing, first, last, under);
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
#if THUMB_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    drawing.Wide = avx2 && Avx2Allowed;
#endif
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
    int first = stepsBack(8 * area);
    Paint(drawing, first, end, false);
    end = first;
    // Then about one cover at a time under them until the inside is set.
    const int inner = std::max(1, std::min(w, h) / 3);
    while (end > 0 && !drawing.InnerSet(inner)) {
        first = stepsBack(area);
        Paint(drawing, first, end, true);
        end = first;
    }
    if (end > 0) {
        drawing.CountUnset();
#if THUMB_AVX2
        if (drawing.Wide)
            PassOverAvx2(drawing, end);
        else
#endif
            PassOverBaseline(drawing, end);
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
