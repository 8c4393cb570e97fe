#pragma once

// How the thumbnail canvas steps a 1-pixel line, shared by its ways of
// drawing a path. Internal to the canvas.

#include "ZLT_Catalog.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Code over points is compiled for every x86-64 processor and, with GCC or
// Clang, once more for those with AVX2.
#if defined(__SSE2__) && defined(__GNUC__) && defined(__x86_64__)
#define THUMB_AVX2 1
#include <immintrin.h>
#else
#define THUMB_AVX2 0
#endif

// Always inlined where the compiler allows, so that code compiled for a
// wider instruction set compiles it for that set too.
#if defined(__GNUC__)
#define THUMB_INLINE __attribute__((always_inline)) inline
#else
#define THUMB_INLINE inline
#endif

namespace ThumbLines {

// Whether the canvas may use AVX2 where the processor has it; off, it draws
// as on any x86-64 processor (the same pixels).
inline bool Avx2Allowed = true;

// The palette's colours as pixels of the image.
inline std::array<uint32_t, 64> PixelColours(const TZLT_Pal& palette)
{
    std::array<uint32_t, 64> colours{};
    for (size_t c = 0; c < colours.size(); ++c) {
        const TZLT_PalEntry& e = palette.ColorOf(uint8_t(c));
        colours[c] = 0xFF000000u | (uint32_t(e.Red) << 16) | (uint32_t(e.Green) << 8) | uint32_t(e.Blue);
    }
    return colours;
}

// The pixels of a line of n <= 4 steps along the longer axis and m along
// the shorter: pixel i lies Major[i] steps along the one and Minor[i] =
// (2 * m * i + n) / (2 * n) along the other, as Line counts them. Entries
// past the end repeat the last pixel, and a line of no steps has none, so
// drawing one takes four writes and no branch.
struct TShortLine
{
    uint8_t Major[4];
    uint8_t Minor[4];
};

constexpr auto ShortLines = [] {
    std::array<std::array<TShortLine, 5>, 5> table{};
    for (int n = 1; n <= 4; ++n)
        for (int m = 0; m <= n; ++m)
            for (int i = 0; i < 4; ++i) {
                const int last = std::min(i, n - 1);
                table[size_t(n)][size_t(m)].Major[i] = uint8_t(last);
                table[size_t(n)][size_t(m)].Minor[i] = uint8_t((2 * m * last + n) / (2 * n));
            }
    return table;
}();

// For every step (dx, dy) of at most 4 pixels along either axis, the four
// pixels the line sets, as offsets from its first pixel in an image of the
// given stride, the last pixel repeated for lines of fewer steps.
struct TShortOffsets
{
    int32_t Offsets[81][4];

    explicit TShortOffsets(int stride)
    {
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                const int adx = std::abs(dx);
                const int ady = std::abs(dy);
                const bool xMajor = adx >= ady;
                const TShortLine& line = ShortLines[size_t(std::max(adx, ady))][size_t(std::min(adx, ady))];
                const int majorStep = xMajor ? (dx < 0 ? -1 : 1) : (dy < 0 ? -stride : stride);
                const int minorStep = xMajor ? (dy < 0 ? -stride : stride) : (dx < 0 ? -1 : 1);
                for (int i = 0; i < 4; ++i)
                    Offsets[(dy + 4) * 9 + dx + 4][i] = line.Major[i] * majorStep + line.Minor[i] * minorStep;
            }
        }
    }
};

// Sets one pixel, or under strokes only one that holds the background.
template<bool Under>
inline void Plot(uint32_t* pixel, uint32_t color, uint32_t background)
{
    if constexpr (Under)
        *pixel = *pixel == background ? color : *pixel;
    else
        *pixel = color;
}

// A line whose ends both lie in the image, as Line draws it.
template<bool Under>
inline void InsideLine(uint32_t* bits, int stride, int x0, int y0, int x1, int y1, uint32_t color,
                       uint32_t background)
{
    const int dx = x1 - x0;
    const int dy = y1 - y0;
    const int adx = dx < 0 ? -dx : dx;
    const int ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int n = xMajor ? adx : ady;
    const int m = xMajor ? ady : adx;
    const int sx = dx < 0 ? -1 : 1;
    const int sy = dy < 0 ? -stride : stride;
    const int majorStep = xMajor ? sx : sy;
    const int minorStep = xMajor ? sy : sx;
    uint32_t* pixel = bits + (ptrdiff_t(y0) * stride + x0);
    if (n <= 4) {
        // Dense frames are mostly such short steps; a branch on their length
        // or direction would often be mispredicted. A line of no steps
        // writes aside.
        const TShortLine& line = ShortLines[size_t(n)][size_t(m)];
        uint32_t aside = 0;
        const uintptr_t none = -uintptr_t(n == 0);
        uint32_t* const first = reinterpret_cast<uint32_t*>((reinterpret_cast<uintptr_t>(pixel) & ~none) |
                                                            (reinterpret_cast<uintptr_t>(&aside) & none));
        Plot<Under>(first + (line.Major[0] * majorStep + line.Minor[0] * minorStep), color, background);
        Plot<Under>(first + (line.Major[1] * majorStep + line.Minor[1] * minorStep), color, background);
        Plot<Under>(first + (line.Major[2] * majorStep + line.Minor[2] * minorStep), color, background);
        Plot<Under>(first + (line.Major[3] * majorStep + line.Minor[3] * minorStep), color, background);
        return;
    }
    const int twoN = 2 * n;
    const int twoM = 2 * m;
    int rem = n;
    for (int i = 0; i < n; ++i) {
        Plot<Under>(pixel, color, background);
        // Branch-free: the minor step of a random path is unpredictable.
        rem += twoM;
        const int carry = -int(rem >= twoN); // all ones or zero
        rem -= twoN & carry;
        pixel += majorStep + (minorStep & carry);
    }
}

#if defined(__SSE2__)
// Vector operations on four lanes of 32 bits (eight of 16), so that the
// code over points can be written once for vectors of any width.
struct TVec128
{
    using V = __m128i;
    static constexpr int Points = 4;
    static THUMB_INLINE V Set16(int v) { return _mm_set1_epi16(int16_t(v)); }
    static THUMB_INLINE V Set32(int v) { return _mm_set1_epi32(v); }
    // x | y << 16 and the status and aux bytes << 16 of four points.
    static THUMB_INLINE void Load(const void* points, V& xy, V& upper)
    {
        const __m128 a = _mm_castsi128_ps(_mm_loadu_si128(static_cast<const __m128i*>(points)));
        const __m128 b = _mm_castsi128_ps(_mm_loadu_si128(static_cast<const __m128i*>(points) + 1));
        xy = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        upper = _mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    static THUMB_INLINE void Store(int32_t* to, V v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(to), v); }
    static THUMB_INLINE V Load32(const uint32_t* from)
    {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(from));
    }
    // Lane i of each point's predecessor: lane i - 1, and for lane 0 the
    // last lane of the vector before, which carry holds in lane 0.
    static THUMB_INLINE V Before(V v, V& carry)
    {
        const V before = _mm_or_si128(_mm_slli_si128(v, 4), carry);
        carry = _mm_srli_si128(v, 12);
        return before;
    }
    static THUMB_INLINE V Carry(int32_t last) { return _mm_cvtsi32_si128(last); }
    static THUMB_INLINE V Add16(V a, V b) { return _mm_add_epi16(a, b); }
    static THUMB_INLINE V Sub16(V a, V b) { return _mm_sub_epi16(a, b); }
    static THUMB_INLINE V SubSatU16(V a, V b) { return _mm_subs_epu16(a, b); }
    static THUMB_INLINE V MulLo16(V a, V b) { return _mm_mullo_epi16(a, b); }
    static THUMB_INLINE V MulHiU16(V a, V b) { return _mm_mulhi_epu16(a, b); }
    static THUMB_INLINE V Max16(V a, V b) { return _mm_max_epi16(a, b); }
    static THUMB_INLINE V Gt16(V a, V b) { return _mm_cmpgt_epi16(a, b); }
    static THUMB_INLINE V Eq16(V a, V b) { return _mm_cmpeq_epi16(a, b); }
    static THUMB_INLINE V Add32(V a, V b) { return _mm_add_epi32(a, b); }
    static THUMB_INLINE V Eq32(V a, V b) { return _mm_cmpeq_epi32(a, b); }
    static THUMB_INLINE V MulAdd16(V a, V b) { return _mm_madd_epi16(a, b); }
    static THUMB_INLINE V Sub32(V a, V b) { return _mm_sub_epi32(a, b); }
    // A bit per 32-bit lane that is not negative.
    static THUMB_INLINE unsigned NonNegative32(V v)
    {
        return ~unsigned(_mm_movemask_ps(_mm_castsi128_ps(v))) & 0xFu;
    }
    // Four lanes of floats.
    using F = __m128;
    static THUMB_INLINE F SetF(float v) { return _mm_set1_ps(v); }
    static THUMB_INLINE F Lanes() { return _mm_setr_ps(0, 1, 2, 3); }
    static THUMB_INLINE F AddF(F a, F b) { return _mm_add_ps(a, b); }
    static THUMB_INLINE F MulF(F a, F b) { return _mm_mul_ps(a, b); }
    static THUMB_INLINE V Truncate(F a) { return _mm_cvttps_epi32(a); }
    static THUMB_INLINE F Float(V a) { return _mm_cvtepi32_ps(a); }
    template<int Bits>
    static THUMB_INLINE V Left32(V a)
    {
        return _mm_slli_epi32(a, Bits);
    }
    template<int Bits>
    static THUMB_INLINE V Right32(V a)
    {
        return _mm_srli_epi32(a, Bits);
    }
    template<int Bits>
    static THUMB_INLINE V ArithRight32(V a)
    {
        return _mm_srai_epi32(a, Bits);
    }
    static THUMB_INLINE V Min16(V a, V b) { return _mm_min_epi16(a, b); }
    // A bit per lane of four vectors of lanes of 32 bits that are 0 or -1,
    // the first vector's first lane lowest.
    static THUMB_INLINE unsigned Bits(V a, V b, V c, V d)
    {
        return unsigned(_mm_movemask_epi8(_mm_packs_epi16(_mm_packs_epi32(a, b), _mm_packs_epi32(c, d))));
    }
    // The low bytes of the lanes, each under 256.
    static THUMB_INLINE void StoreBytes(uint8_t* to, V v)
    {
        _mm_storeu_si32(to, _mm_packus_epi16(_mm_packs_epi32(v, v), v));
    }
    static THUMB_INLINE V And(V a, V b) { return _mm_and_si128(a, b); }
    static THUMB_INLINE V AndNot(V a, V b) { return _mm_andnot_si128(a, b); }
    static THUMB_INLINE V Or(V a, V b) { return _mm_or_si128(a, b); }
    static THUMB_INLINE V Xor(V a, V b) { return _mm_xor_si128(a, b); }
    static THUMB_INLINE int SumOf32(V v)
    {
        v = _mm_add_epi32(v, _mm_srli_si128(v, 8));
        return _mm_cvtsi128_si32(_mm_add_epi32(v, _mm_srli_si128(v, 4)));
    }
    static THUMB_INLINE int MaxOf16(V v)
    {
        v = _mm_max_epi16(v, _mm_srli_si128(v, 8));
        v = _mm_max_epi16(v, _mm_srli_si128(v, 4));
        return int16_t(_mm_extract_epi16(_mm_max_epi16(v, _mm_srli_si128(v, 2)), 0));
    }
};

#if THUMB_AVX2
// Compiled for AVX2 and inlined into the functions compiled for it, which
// are: a function for other processors cannot inline them.
#define THUMB_AVX2_INLINE __attribute__((target("avx2"))) inline

// The operations of TVec128 on eight lanes of 32 bits.
struct TVec256
{
    using V = __m256i;
    static constexpr int Points = 8;
    static THUMB_AVX2_INLINE V Set16(int v) { return _mm256_set1_epi16(int16_t(v)); }
    static THUMB_AVX2_INLINE V Set32(int v) { return _mm256_set1_epi32(v); }
    static THUMB_AVX2_INLINE void Load(const void* points, V& xy, V& upper)
    {
        // Points 0, 1 and 4, 5 in one, 2, 3 and 6, 7 in the other, so that
        // the shuffles within halves put them in order.
        const __m128i* const p = static_cast<const __m128i*>(points);
        const __m256 a = _mm256_castsi256_ps(_mm256_loadu2_m128i(p + 2, p));
        const __m256 b = _mm256_castsi256_ps(_mm256_loadu2_m128i(p + 3, p + 1));
        xy = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
        upper = _mm256_castps_si256(_mm256_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
    }
    static THUMB_AVX2_INLINE void Store(int32_t* to, V v)
    {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), v);
    }
    static THUMB_AVX2_INLINE V Load32(const uint32_t* from)
    {
        return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from));
    }
    // carry holds the vector before turned by one lane.
    static THUMB_AVX2_INLINE V Before(V v, V& carry)
    {
        const V turned = _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6));
        const V before = _mm256_blend_epi32(turned, carry, 1);
        carry = turned;
        return before;
    }
    static THUMB_AVX2_INLINE V Carry(int32_t last) { return _mm256_set1_epi32(last); }
    static THUMB_AVX2_INLINE V Add16(V a, V b) { return _mm256_add_epi16(a, b); }
    static THUMB_AVX2_INLINE V Sub16(V a, V b) { return _mm256_sub_epi16(a, b); }
    static THUMB_AVX2_INLINE V SubSatU16(V a, V b) { return _mm256_subs_epu16(a, b); }
    static THUMB_AVX2_INLINE V MulLo16(V a, V b) { return _mm256_mullo_epi16(a, b); }
    static THUMB_AVX2_INLINE V MulHiU16(V a, V b) { return _mm256_mulhi_epu16(a, b); }
    static THUMB_AVX2_INLINE V Max16(V a, V b) { return _mm256_max_epi16(a, b); }
    static THUMB_AVX2_INLINE V Gt16(V a, V b) { return _mm256_cmpgt_epi16(a, b); }
    static THUMB_AVX2_INLINE V Eq16(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
    static THUMB_AVX2_INLINE V Add32(V a, V b) { return _mm256_add_epi32(a, b); }
    static THUMB_AVX2_INLINE V Eq32(V a, V b) { return _mm256_cmpeq_epi32(a, b); }
    static THUMB_AVX2_INLINE V MulAdd16(V a, V b) { return _mm256_madd_epi16(a, b); }
    static THUMB_AVX2_INLINE V Sub32(V a, V b) { return _mm256_sub_epi32(a, b); }
    static THUMB_AVX2_INLINE unsigned NonNegative32(V v)
    {
        return ~unsigned(_mm256_movemask_ps(_mm256_castsi256_ps(v))) & 0xFFu;
    }
    using F = __m256;
    static THUMB_AVX2_INLINE F SetF(float v) { return _mm256_set1_ps(v); }
    static THUMB_AVX2_INLINE F Lanes() { return _mm256_setr_ps(0, 1, 2, 3, 4, 5, 6, 7); }
    static THUMB_AVX2_INLINE F AddF(F a, F b) { return _mm256_add_ps(a, b); }
    static THUMB_AVX2_INLINE F MulF(F a, F b) { return _mm256_mul_ps(a, b); }
    static THUMB_AVX2_INLINE V Truncate(F a) { return _mm256_cvttps_epi32(a); }
    static THUMB_AVX2_INLINE F Float(V a) { return _mm256_cvtepi32_ps(a); }
    template<int Bits>
    static THUMB_AVX2_INLINE V Left32(V a)
    {
        return _mm256_slli_epi32(a, Bits);
    }
    template<int Bits>
    static THUMB_AVX2_INLINE V Right32(V a)
    {
        return _mm256_srli_epi32(a, Bits);
    }
    template<int Bits>
    static THUMB_AVX2_INLINE V ArithRight32(V a)
    {
        return _mm256_srai_epi32(a, Bits);
    }
    static THUMB_AVX2_INLINE V Min16(V a, V b) { return _mm256_min_epi16(a, b); }
    static THUMB_AVX2_INLINE unsigned Bits(V a, V b, V c, V d)
    {
        // The packs work within halves: put their groups of four back in order.
        const V packed = _mm256_packs_epi16(_mm256_packs_epi32(a, b), _mm256_packs_epi32(c, d));
        return unsigned(
            _mm256_movemask_epi8(_mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7))));
    }
    static THUMB_AVX2_INLINE void StoreBytes(uint8_t* to, V v)
    {
        TVec128::StoreBytes(to, _mm256_castsi256_si128(v));
        TVec128::StoreBytes(to + 4, _mm256_extracti128_si256(v, 1));
    }
    static THUMB_AVX2_INLINE V And(V a, V b) { return _mm256_and_si256(a, b); }
    static THUMB_AVX2_INLINE V AndNot(V a, V b) { return _mm256_andnot_si256(a, b); }
    static THUMB_AVX2_INLINE V Or(V a, V b) { return _mm256_or_si256(a, b); }
    static THUMB_AVX2_INLINE V Xor(V a, V b) { return _mm256_xor_si256(a, b); }
    static THUMB_AVX2_INLINE int SumOf32(V v)
    {
        return TVec128::SumOf32(_mm_add_epi32(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    }
    static THUMB_AVX2_INLINE int MaxOf16(V v)
    {
        return TVec128::MaxOf16(_mm_max_epi16(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1)));
    }
};
#endif

// Points as x | y << 16 (as TVec128::Load gives them) scaled to sizes
// (w | h << 16 in each lane) as TZLT_FramePath::Scale does it, rounded up
// past a half and at a half to the even result.
template<class Vec>
THUMB_INLINE typename Vec::V ScalePoints(typename Vec::V xy, typename Vec::V sizes)
{
    const typename Vec::V half = Vec::Set16(0x8000);
    const typename Vec::V one = Vec::Set16(1);
    xy = Vec::Xor(xy, half); // plus 32768
    // The low and high halves of the 16 x 16 bit products.
    const typename Vec::V low = Vec::MulLo16(xy, sizes);
    const typename Vec::V high = Vec::MulHiU16(xy, sizes);
    const typename Vec::V past = Vec::Gt16(Vec::Xor(low, half), Vec::Set16(0));
    const typename Vec::V even = Vec::And(Vec::Eq16(low, half), Vec::Eq16(Vec::And(high, one), one));
    return Vec::Sub16(high, Vec::Or(past, even));
}
#endif

} // namespace ThumbLines
