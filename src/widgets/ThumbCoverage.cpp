#include "ThumbCoverage.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void TThumbCoverage::Reset(int width, int height)
{
    FWidth = width;
    FHeight = height;
    FStride = (width + 7) & ~7;
    const int rows = (height + 7) & ~7;
    FSet.assign(size_t(FStride) * size_t(rows), 1);
    for (int y = 0; y < height; ++y)
        std::memset(FSet.data() + size_t(y) * size_t(FStride), 0, size_t(width));
    FTilesX = FStride / 8;
    FFull.assign(size_t(FTilesX) * size_t(rows / 8), 0);
    FListed = false;
    FListX.clear();
    FListY.clear();
}

bool TThumbCoverage::TileFull(int tx, int ty)
{
    uint8_t& full = FFull[size_t(ty) * size_t(FTilesX) + size_t(tx)];
    if (full)
        return true;
    const uint8_t* row = FSet.data() + size_t(ty) * 8 * size_t(FStride) + size_t(tx) * 8;
    uint64_t all = ~uint64_t(0);
    for (int y = 0; y < 8; ++y, row += FStride) {
        uint64_t bytes;
        std::memcpy(&bytes, row, 8);
        all &= bytes;
    }
    full = all == 0x0101010101010101u;
    return full;
}

void TThumbCoverage::BuildSums()
{
    FSumsStride = FWidth + 1;
    FSums.resize(size_t(FSumsStride) * size_t(FHeight + 1));
    std::fill_n(FSums.begin(), FSumsStride, 0);
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* set = FSet.data() + size_t(y) * size_t(FStride);
        const int32_t* above = FSums.data() + size_t(y) * size_t(FSumsStride) + 1;
        int32_t* sums = FSums.data() + size_t(y + 1) * size_t(FSumsStride);
        sums[0] = 0;
        ++sums;
        // Mostly set by now: the count along the row changes only at the
        // few unset pixels, and between them it is added to the row above
        // four at a time.
        int32_t row = 0;
        int x = 0;
        while (x < FWidth) {
            int unset = x;
            while (unset < FWidth) {
                uint64_t eight = 0;
                if (unset % 8 == 0)
                    std::memcpy(&eight, set + unset, 8); // within the padded row
                if (eight == 0x0101010101010101u)
                    unset += 8;
                else if (set[unset])
                    ++unset;
                else
                    break;
            }
            const int end = std::min(unset, FWidth);
            int k = x;
#if defined(__SSE2__)
            const __m128i add = _mm_set1_epi32(row);
            for (; k + 4 <= end; k += 4)
                _mm_storeu_si128(
                    reinterpret_cast<__m128i*>(sums + k),
                    _mm_add_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(above + k)), add));
#endif
            for (; k < end; ++k)
                sums[k] = above[k] + row;
            if (end == FWidth)
                break;
            ++row;
            sums[end] = above[end] + row;
            x = end + 1;
        }
    }
}

void TThumbCoverage::ListUnset()
{
    FListX.clear();
    FListY.clear();
    FRowStart.assign(size_t(FHeight) + 1, 0);
    for (int y = 0; y < FHeight; ++y) {
        FRowStart[size_t(y)] = int(FListX.size());
        const uint8_t* set = FSet.data() + size_t(y) * size_t(FStride);
        for (int x = 0; x < FWidth; ++x) {
            uint64_t eight = 0;
            if (x % 8 == 0)
                std::memcpy(&eight, set + x, 8); // within the padded row
            if (eight == 0x0101010101010101u) {
                x += 7;
                continue;
            }
            if (!set[x]) {
                FListX.push_back(int16_t(x));
                FListY.push_back(int16_t(y));
            }
        }
    }
    FRowStart[size_t(FHeight)] = int(FListX.size());
    FListed = true;
}

int TThumbCoverage::SetListed(int x0, int y0, int x1, int y1, int lx, int hx, int ly, int hy, uint32_t color,
                              uint32_t* bits, int stride)
{
    // Listed by rows; a pixel set since lies at x -1, outside every box.
    int count = 0;
    const int end = FRowStart[size_t(hy) + 1];
    for (int k = FRowStart[size_t(ly)]; k < end; ++k) {
        const int x = FListX[size_t(k)];
        if (x < lx || x > hx)
            continue;
        const int y = FListY[size_t(k)];
        if (LineVisits(x0, y0, x1, y1, x, y)) {
            bits[ptrdiff_t(y) * stride + x] = color;
            FSet[size_t(y) * size_t(FStride) + size_t(x)] = 1;
            FListX[size_t(k)] = -1;
            ++count;
        }
    }
    return count;
}
