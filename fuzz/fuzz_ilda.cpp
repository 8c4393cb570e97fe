// ILDA reader: any bytes raise EZLT_Ilda_Load or give 1..32767 frames of
// 1..65535 points, allocated exactly and never more than the bytes hold.
// What was read, written again with the same palette in every format (2D
// ones read back with Z 0) and read back, gives the same frames, exactly as
// the colour rules say:
// - indexed with a palette section: every point as it was, but a visible
//   point whose palette colour is black comes back blanked;
// - indexed in the standard colours: coordinates and blanking likewise; the
//   index is that of the standard colour nearest to the point's, read back:
//   the same index where the palette has that very colour there, else the
//   palette's nearest to it;
// - true colour: coordinates and blanking likewise; a visible point's index
//   becomes the lowest index of its colour, a blanked point's the index
//   nearest to black.

#include "FuzzCheck.h"
#include "ZLT_Ilda.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Per-point checks guide nothing; keep them out of the coverage counters.
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))

namespace {

using namespace ZLT_Ilda;

// The palettes the data is read into, with what the checks need of them.
struct TTarget
{
    TZLT_Pal Pal;
    std::array<uint8_t, 64> Lowest{}; // lowest index of each entry's colour
    std::array<bool, 64> Black{};
    std::array<uint8_t, 64> Standard{}; // each entry's index after the standard colours
    uint8_t NearestBlack = 0;

    static int Distance(uint32_t a, uint32_t b)
    {
        const int dr = int(a >> 16) - int(b >> 16), dg = int((a >> 8) & 255) - int((b >> 8) & 255),
                  db = int(a & 255) - int(b & 255);
        return dr * dr + dg * dg + db * db;
    }

    uint32_t Colour(int i) const
    {
        const TZLT_PalEntry& e = Pal.GetEntry(i);
        return uint32_t(e.Red) << 16 | uint32_t(e.Green) << 8 | e.Blue;
    }

    // The lowest index of the colours nearest to c, of the palette or the standard's.
    template<typename ColourAt>
    static int Nearest(uint32_t c, ColourAt colourAt)
    {
        int best = 0;
        for (int k = 1; k < 64; ++k)
            if (Distance(c, colourAt(k)) < Distance(c, colourAt(best)))
                best = k;
        return best;
    }

    explicit TTarget(const TZLT_Pal& pal) : Pal(pal)
    {
        int best = 1 << 30;
        for (int i = 63; i >= 0; --i) {
            const TZLT_PalEntry& e = pal.GetEntry(i);
            const int d = e.Red * e.Red + e.Green * e.Green + e.Blue * e.Blue;
            Black[size_t(i)] = d == 0;
            if (d <= best) {
                best = d;
                NearestBlack = uint8_t(i);
            }
            const int written = Nearest(Colour(i), StandardColour);
            Standard[size_t(i)] =
                uint8_t(Colour(written) == StandardColour(written)
                            ? written
                            : Nearest(StandardColour(written), [&](int k) { return Colour(k); }));
            Lowest[size_t(i)] = uint8_t(i);
            for (int k = 0; k < i; ++k) {
                const TZLT_PalEntry& f = pal.GetEntry(k);
                if (f.Red == e.Red && f.Green == e.Green && f.Blue == e.Blue) {
                    Lowest[size_t(i)] = uint8_t(k);
                    break;
                }
            }
        }
    }
};

// The built-in palette (colours repeated, no black), and one with black
// twice, a colour next to black and more repeats.
TZLT_Pal SecondPalette()
{
    QByteArray bytes(576, 0);
    for (int i = 0; i < 64; ++i) {
        bytes[9 * i] = char(i * 4);
        bytes[9 * i + 1] = char(255 - i * 4);
        bytes[9 * i + 2] = char(i * 37);
    }
    const auto set = [&](int i, int r, int g, int b) {
        bytes[9 * i] = char(r);
        bytes[9 * i + 1] = char(g);
        bytes[9 * i + 2] = char(b);
    };
    set(0, 0, 0, 0);
    set(60, 0, 0, 0);
    set(61, 1, 1, 1);
    set(62, 4, 251, 37);
    TZLT_Pal pal;
    pal.LoadFromBytes(bytes, QStringLiteral("second"));
    return pal;
}

NO_COVERAGE size_t CheckRead(const TReadResult& read, size_t size, const QString& name)
{
    FUZZ_CHECK(read.Frames.Count() >= 1 && read.Frames.Count() <= TZLT_Cat::SlotCount);
    FUZZ_CHECK(read.Warning.isEmpty() || read.Warning.contains(name));
    size_t points = 0;
    for (int f = 0; f < read.Frames.Count(); ++f) {
        const TZLT_Frame::Points& frame = read.Frames.GetFrame(f).AllPoints();
        FUZZ_CHECK(!frame.empty() && frame.size() <= size_t(TZLT_Frame::MaxPoints));
        FUZZ_CHECK(frame.capacity() == frame.size());
        for (const TZLT_Point& p : frame)
            FUZZ_CHECK(p.Aux() == 0 && (p.Status() & 0x80) == 0);
        points += frame.size();
    }
    // Every frame has its header, every point at least 6 bytes.
    FUZZ_CHECK(32 * size_t(read.Frames.Count()) + 6 * points <= size);
    return points;
}

// Writes the frames in a format, reads them back and compares each point
// with what the rules make of it.
NO_COVERAGE void CheckRoundTrip(const TZLT_FrameList& frames, size_t points, const TTarget& target,
                                TFormat format, TPaletteSection section, const QString& name)
{
    const QByteArray bytes = WriteBytes(frames, 0, frames.Count(), target.Pal, format, section);
    const bool indexed = format == TFormat::Indexed3D || format == TFormat::Indexed2D;
    const bool standard = indexed && section == TPaletteSection::Standard;
    const bool flat = format == TFormat::Indexed2D || format == TFormat::TrueColor2D;
    const size_t recordSize = (indexed ? 8 : 10) - (flat ? 2 : 0);
    FUZZ_CHECK(size_t(bytes.size()) ==
               (indexed && !standard ? 32 + 192 : 0) + 32 * size_t(frames.Count() + 1) + recordSize * points);
    const TReadResult back = ReadBytes(bytes, target.Pal, name);
    FUZZ_CHECK(back.Warning.isEmpty());
    FUZZ_CHECK(back.Frames.Count() == frames.Count());
    for (int f = 0; f < frames.Count(); ++f) {
        const TZLT_Frame::Points& a = frames.GetFrame(f).AllPoints();
        const TZLT_Frame::Points& b = back.Frames.GetFrame(f).AllPoints();
        FUZZ_CHECK(a.size() == b.size());
        for (size_t i = 0; i < a.size(); ++i) {
            const TZLT_Point& p = a[i];
            const bool blanked = p.Blanked() || target.Black[p.ColorIndex()];
            const uint8_t index = standard  ? target.Standard[p.ColorIndex()]
                                  : indexed ? p.ColorIndex()
                                  : blanked ? target.NearestBlack
                                            : target.Lowest[p.ColorIndex()];
            FUZZ_CHECK(b[i] ==
                       TZLT_Point(p.X(), p.Y(), flat ? 0 : p.Z(), uint8_t(index | (blanked ? 0x40 : 0)), 0));
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const TTarget targets[2] = {TTarget(TZLT_Pal()), TTarget(SecondPalette())};
    const QString name = QStringLiteral("fuzz.ild");
    // The last byte picks the palette: a cheap choice the fuzzer can flip.
    const TTarget& target = targets[size > 0 && (data[size - 1] & 1)];
    TReadResult read;
    try {
        read =
            ReadBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), target.Pal, name);
    } catch (const EZLT_Ilda_Load& e) {
        FUZZ_CHECK(e.Message().contains(name));
        return 0;
    }
    FUZZ_CHECK(size >= 4 && std::memcmp(data, "ILDA", 4) == 0);
    const size_t points = CheckRead(read, size, name);
    for (const TFormat format :
         {TFormat::Indexed3D, TFormat::Indexed2D, TFormat::TrueColor3D, TFormat::TrueColor2D})
        CheckRoundTrip(read.Frames, points, target, format, TPaletteSection::Included, name);
    for (const TFormat format : {TFormat::Indexed3D, TFormat::Indexed2D})
        CheckRoundTrip(read.Frames, points, target, format, TPaletteSection::Standard, name);
    return 0;
}
