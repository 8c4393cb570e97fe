#pragma once

// How the thumbnail canvas steps a 1-pixel line, shared by its ways of
// drawing a path. Internal to the canvas.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace ThumbLines {

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
// The points of a and b (two each: x, y, z as 16-bit numbers, then status
// and aux bytes) scaled to sizes (w | h << 16 in each lane) as
// TZLT_FramePath::Scale does it, rounded up past a half and at a half to
// the even result: x | y << 16 for each point.
inline __m128i ScaleFour(__m128 a, __m128 b, __m128i sizes)
{
    const __m128i half = _mm_set1_epi16(int16_t(0x8000));
    const __m128i one = _mm_set1_epi16(1);
    // x and y of each point plus 32768.
    const __m128i xy = _mm_xor_si128(_mm_castps_si128(_mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0))), half);
    // The low and high halves of the 16 x 16 bit products.
    const __m128i low = _mm_mullo_epi16(xy, sizes);
    const __m128i high = _mm_mulhi_epu16(xy, sizes);
    const __m128i past = _mm_cmpgt_epi16(_mm_xor_si128(low, half), _mm_setzero_si128());
    const __m128i even =
        _mm_and_si128(_mm_cmpeq_epi16(low, half), _mm_cmpeq_epi16(_mm_and_si128(high, one), one));
    return _mm_sub_epi16(high, _mm_or_si128(past, even));
}
#endif

} // namespace ThumbLines
