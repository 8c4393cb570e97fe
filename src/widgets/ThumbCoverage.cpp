#include "ThumbCoverage.h"

#include <algorithm>
#include <cstring>

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
        const int32_t* above = FSums.data() + size_t(y) * size_t(FSumsStride);
        int32_t* sums = FSums.data() + size_t(y + 1) * size_t(FSumsStride);
        int32_t row = 0;
        sums[0] = 0;
        for (int x = 0; x < FWidth; ++x) {
            row += set[x] == 0;
            sums[x + 1] = above[x + 1] + row;
        }
    }
}

void TThumbCoverage::ListUnset()
{
    FListX.clear();
    FListY.clear();
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* set = FSet.data() + size_t(y) * size_t(FStride);
        for (int x = 0; x < FWidth; ++x) {
            if (!set[x]) {
                FListX.push_back(int16_t(x));
                FListY.push_back(int16_t(y));
            }
        }
    }
    FListed = true;
}

int TThumbCoverage::SetListed(int x0, int y0, int x1, int y1, int lx, int hx, int ly, int hy, uint32_t color,
                              uint32_t* bits, int stride)
{
    int count = 0;
    for (size_t k = 0; k < FListX.size();) {
        const int x = FListX[k];
        const int y = FListY[k];
        if (x >= lx && x <= hx && y >= ly && y <= hy && LineVisits(x0, y0, x1, y1, x, y)) {
            bits[ptrdiff_t(y) * stride + x] = color;
            FSet[size_t(y) * size_t(FStride) + size_t(x)] = 1;
            FListX[k] = FListX.back();
            FListY[k] = FListY.back();
            FListX.pop_back();
            FListY.pop_back();
            ++count;
        } else {
            ++k;
        }
    }
    return count;
}
