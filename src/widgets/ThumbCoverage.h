#pragma once

// Which pixels of a thumbnail the drawing from the last step to the first
// has set, and how a line is found to reach none of the pixels still unset
// without walking it. Random long lines over a small cell seldom set its
// last pixels (those at the edges are only reached from a line's start), so
// the drawing seldom ends early: what it costs is how fast each of the many
// lines that come after is passed over.

#include <cstddef>
#include <cstdint>
#include <vector>

class TThumbCoverage
{
public:
    // All pixels of a box of width x height unset; rows are padded to
    // whole 8 x 8 tiles whose padding counts as set.
    void Reset(int width, int height);

    uint8_t* Marks() { return FSet.data(); }
    int MarksStride() const { return FStride; }

    // Whether the 8 x 8 tile tx, ty is all set.
    bool TileFull(int tx, int ty);

    // Counts the pixels unset now in every box from the top left corner.
    void BuildSums();
    // Whether the box x0..x1, y0..y1 (inclusive) held unset pixels when the
    // sums were last built.
    bool AnyUnset(int x0, int x1, int y0, int y1) const
    {
        const int32_t* top = FSums.data() + size_t(y0) * size_t(FSumsStride);
        const int32_t* bottom = FSums.data() + size_t(y1 + 1) * size_t(FSumsStride);
        return bottom[x1 + 1] - top[x1 + 1] - bottom[x0] + top[x0] != 0;
    }

    // Lists the pixels unset now: from then on a line is tested against
    // each listed pixel in its box by the walk's own stepping, and never
    // walked. Worth it once few are left.
    void ListUnset();
    bool Listed() const { return FListed; }
    // Sets, in color, every listed pixel in the box lx..hx, ly..hy that the
    // line from (x0, y0) to (x1, y1) reaches, and drops it from the list;
    // returns how many. bits is the box's top left pixel.
    int SetListed(int x0, int y0, int x1, int y1, int lx, int hx, int ly, int hy, uint32_t color,
                  uint32_t* bits, int stride);

private:
    std::vector<uint8_t> FSet;
    std::vector<uint8_t> FFull;
    std::vector<int32_t> FSums;
    std::vector<int16_t> FListX;
    std::vector<int16_t> FListY;
    std::vector<int> FRowStart; // the first listed pixel of each row
    int FWidth = 0;
    int FHeight = 0;
    int FStride = 0;
    int FTilesX = 0;
    int FSumsStride = 0;
    bool FListed = false;
};

// Whether a line from (x0, y0) to (x1, y1), end excluded, sets pixel
// (x, y): step i along the longer axis of n lies (2 * m * i + n) / (2 * n)
// steps along the shorter one of m, as the walk counts.
inline bool LineVisits(int64_t x0, int64_t y0, int64_t x1, int64_t y1, int64_t x, int64_t y)
{
    const int64_t dx = x1 - x0;
    const int64_t dy = y1 - y0;
    const int64_t adx = dx < 0 ? -dx : dx;
    const int64_t ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const int64_t n = xMajor ? adx : ady;
    const int64_t m = xMajor ? ady : adx;
    const int64_t along = xMajor ? (dx < 0 ? x0 - x : x - x0) : (dy < 0 ? y0 - y : y - y0);
    if (along < 0 || along >= n)
        return false;
    const int64_t aside = xMajor ? (dy < 0 ? y0 - y : y - y0) : (dx < 0 ? x0 - x : x - x0);
    return aside == (2 * m * along + n) / (2 * n);
}
