#include "ZLT_Ilda.h"

#include "ZLT_Files.h"

#include <QFileDevice>
#include <QIODevice>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#ifdef __linux__
#include <fcntl.h>
#endif

namespace ZLT_Ilda {

namespace {

constexpr int HeaderSize = 32;
constexpr int PaletteFormat = 2;
constexpr uint8_t LastPointBit = 0x80;
constexpr uint8_t BlankBit = TZLT_Point::BlankBit;
constexpr int MaxSectionNumber = 65535; // frame numbers and totals are 16-bit
// Progress is reported after about this many bytes, never per point.
constexpr qint64 ProgressStep = 256 << 10;

inline uint16_t ReadBE16(const uint8_t* p)
{
    return uint16_t((p[0] << 8) | p[1]);
}

inline void WriteBE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v >> 8);
    p[1] = uint8_t(v);
}

// The record size of a format code; 0 for a code that is no ILDA format.
constexpr int RecordSize(int format)
{
    switch (format) {
    case 0:
        return 8;
    case 1:
        return 6;
    case PaletteFormat:
        return 3;
    case 4:
        return 10;
    case 5:
        return 8;
    default:
        return 0;
    }
}

// A colour as 0xRRGGBB.
using TRgb = uint32_t;

constexpr TRgb Rgb(uint32_t red, uint32_t green, uint32_t blue)
{
    return (red << 16) | (green << 8) | blue;
}

// The standard's default palette, in force until a palette section comes.
constexpr std::array<TRgb, 64> DefaultIldaPalette = {
    // 0-15: red to orange
    Rgb(255, 0, 0), Rgb(255, 16, 0), Rgb(255, 32, 0), Rgb(255, 48, 0), Rgb(255, 64, 0), Rgb(255, 80, 0),
    Rgb(255, 96, 0), Rgb(255, 112, 0), Rgb(255, 128, 0), Rgb(255, 144, 0), Rgb(255, 160, 0), Rgb(255, 176, 0),
    Rgb(255, 192, 0), Rgb(255, 208, 0), Rgb(255, 224, 0), Rgb(255, 240, 0),
    // 16-24: yellow to green
    Rgb(255, 255, 0), Rgb(224, 255, 0), Rgb(192, 255, 0), Rgb(160, 255, 0), Rgb(128, 255, 0), Rgb(96, 255, 0),
    Rgb(64, 255, 0), Rgb(32, 255, 0), Rgb(0, 255, 0),
    // 25-40: green to cyan to blue
    Rgb(0, 255, 36), Rgb(0, 255, 73), Rgb(0, 255, 109), Rgb(0, 255, 146), Rgb(0, 255, 182), Rgb(0, 255, 219),
    Rgb(0, 255, 255), Rgb(0, 227, 255), Rgb(0, 198, 255), Rgb(0, 170, 255), Rgb(0, 142, 255),
    Rgb(0, 113, 255), Rgb(0, 85, 255), Rgb(0, 56, 255), Rgb(0, 28, 255), Rgb(0, 0, 255),
    // 41-48: blue to magenta
    Rgb(32, 0, 255), Rgb(64, 0, 255), Rgb(96, 0, 255), Rgb(128, 0, 255), Rgb(160, 0, 255), Rgb(192, 0, 255),
    Rgb(224, 0, 255), Rgb(255, 0, 255),
    // 49-56: magenta to white
    Rgb(255, 32, 255), Rgb(255, 64, 255), Rgb(255, 96, 255), Rgb(255, 128, 255), Rgb(255, 160, 255),
    Rgb(255, 192, 255), Rgb(255, 224, 255), Rgb(255, 255, 255),
    // 57-63: white to red
    Rgb(255, 224, 224), Rgb(255, 192, 192), Rgb(255, 160, 160), Rgb(255, 128, 128), Rgb(255, 96, 96),
    Rgb(255, 64, 64), Rgb(255, 32, 32)};

inline int SquaredDistance(TRgb a, TRgb b)
{
    const int dr = int(a >> 16) - int(b >> 16);
    const int dg = int((a >> 8) & 0xFF) - int((b >> 8) & 0xFF);
    const int db = int(a & 0xFF) - int(b & 0xFF);
    return dr * dr + dg * dg + db * db;
}

// Maps file colours into the target palette: the nearest of its 64 colours
// in squared red-green-blue distance, the lowest index on a tie, with the
// blanking bit added for black. The colour cube is cut into cells of 8 x 8 x
// 8 colours, each knowing the few entries that can be nearest anywhere in
// it; most cells lie wholly in one entry's reach and answer at once, and the
// answers for colours of the other cells are cached, so no point costs a
// search through the palette.
class TColourMapper
{
public:
    explicit TColourMapper(const TZLT_Pal& palette)
    {
        for (int i = 0; i < TZLT_Pal::EntryCount; ++i) {
            const TZLT_PalEntry& e = palette.ColorOf(uint8_t(i));
            FTarget[size_t(i)] = Rgb(e.Red, e.Green, e.Blue);
            // A later entry of the same colour never wins a tie.
            if (std::find(FTarget.begin(), FTarget.begin() + i, FTarget[size_t(i)]) == FTarget.begin() + i)
                FDistinct[size_t(FDistinctCount++)] = uint8_t(i);
        }
        FCacheKey.fill(0);
        FCoarse.fill(0);
        FAnswer.fill(Unknown);
        ResetFilePalette();
    }

    // Colour index (with the blanking bit for black) of a true colour.
    [[gnu::always_inline]] uint8_t MapColour(TRgb rgb)
    {
        const uint32_t cell = ((rgb >> 9) & 0x7C00) | ((rgb >> 6) & 0x3E0) | ((rgb >> 3) & 0x1F);
        const uint16_t answer = FAnswer[cell];
        if (answer < TZLT_Pal::EntryCount)
            return uint8_t(answer | (rgb == 0 ? BlankBit : 0));
        return MapColourSlowly(rgb, cell);
    }

    // Colour index (with the blanking bit for black) of an indexed point.
    uint8_t MapIndex(uint8_t index)
    {
        const int16_t known = FIndexMap[index];
        if (known >= 0)
            return uint8_t(known);
        const TRgb rgb = FFilePalette[index];
        const uint8_t mapped = index < TZLT_Pal::EntryCount && FTarget[index] == rgb
                                   ? uint8_t(index | (rgb == 0 ? BlankBit : 0))
                                   : MapColour(rgb);
        FIndexMap[index] = mapped;
        return mapped;
    }

    // A palette section: its entries replace the default palette's from
    // index 0 on. An index past the end of a short palette keeps the default
    // palette's colour, as if the section had changed only the colours it
    // lists; an index no palette names (64 and up, past both) is black, so
    // its point is blanked: the file gives it no colour to show.
    void SetFilePalette(const uint8_t* records, int count)
    {
        ResetFilePalette();
        const int n = std::min(count, 256); // a colour index is one byte
        for (int i = 0; i < n; ++i, records += 3)
            FFilePalette[size_t(i)] = Rgb(records[0], records[1], records[2]);
    }

private:
    static constexpr int CacheBits = 10;
    static constexpr TRgb CacheValid = 1u << 24;
    // A cell's word: 0 until it is built; Single and the one answer; or the
    // offset of its candidates in FPool << 7 and their count.
    static constexpr uint32_t Single = 1u << 31;
    static constexpr uint16_t Unknown = 0xFFFF;
    static constexpr int FewCandidates = 4;

    void ResetFilePalette()
    {
        std::copy(DefaultIldaPalette.begin(), DefaultIldaPalette.end(), FFilePalette.begin());
        std::fill(FFilePalette.begin() + DefaultIldaPalette.size(), FFilePalette.end(), 0);
        FIndexMap.fill(-1);
    }

    [[gnu::noinline]] uint8_t MapColourSlowly(TRgb rgb, uint32_t cell)
    {
        if (FAnswer[cell] == Unknown) {
            const uint32_t built = BuildFine(cell);
            if (built & Single) {
                FAnswer[cell] = uint16_t(built & TZLT_Point::ColorMask);
                return uint8_t(FAnswer[cell] | (rgb == 0 ? BlankBit : 0));
            }
            FAnswer[cell] = uint16_t(TZLT_Pal::EntryCount + FMulti.size());
            FMulti.push_back(built);
        }
        const uint32_t word = FMulti[FAnswer[cell] - TZLT_Pal::EntryCount];
        const uint8_t* candidates = FPool.data() + (word >> 7);
        const int count = int(word & 0x7F);
        const uint8_t black = rgb == 0 ? BlankBit : 0;
        // A few candidates are compared sooner than a cache is asked.
        if (count <= FewCandidates)
            return uint8_t(Nearest(rgb, candidates, count) | black);
        const size_t slot = (rgb * 2654435761u) >> (32 - CacheBits);
        if (FCacheKey[slot] != (rgb | CacheValid)) {
            FCacheKey[slot] = rgb | CacheValid;
            FCacheValue[slot] = uint8_t(Nearest(rgb, candidates, count) | black);
        }
        return FCacheValue[slot];
    }

    // Candidates are in index order: only a strictly nearer one wins.
    int Nearest(TRgb rgb, const uint8_t* candidates, int count) const
    {
        int best = candidates[0];
        int bestDistance = SquaredDistance(rgb, FTarget[best]);
        for (int k = 1; k < count; ++k) {
            const int d = SquaredDistance(rgb, FTarget[candidates[k]]);
            const bool nearer = d < bestDistance; // without a branch: the winner is unforeseeable
            bestDistance = nearer ? d : bestDistance;
            best = nearer ? candidates[k] : best;
        }
        return best;
    }

    // A fine cell takes its candidates from those of its coarse cell of 32 x
    // 32 x 32 colours, which takes them from all distinct entries.
    uint32_t BuildFine(uint32_t cell)
    {
        const int r = int(cell >> 10), g = int((cell >> 5) & 31), b = int(cell & 31);
        const uint32_t coarse = uint32_t(((r >> 2) << 6) | ((g >> 2) << 3) | (b >> 2));
        if (FCoarse[coarse] == 0)
            FCoarse[coarse] =
                Candidates(r >> 2 << 5, g >> 2 << 5, b >> 2 << 5, 32, FDistinct.data(), FDistinctCount);
        std::array<uint8_t, TZLT_Pal::EntryCount> from;
        const uint32_t word = FCoarse[coarse];
        int count = 1;
        if (word & Single) {
            from[0] = uint8_t(word);
        } else {
            count = int(word & 0x7F);
            std::copy_n(FPool.begin() + (word >> 7), count, from.begin());
        }
        return Candidates(r << 3, g << 3, b << 3, 8, from.data(), count);
    }

    static int Channel(TRgb c, int k) { return int((c >> (16 - 8 * k)) & 0xFF); }

    // The word of the cell [lo, lo + side)^3: in index order, the entries of
    // from that can be the answer for some colour of the cell. First those
    // whose smallest distance to the cell is within the smallest largest
    // distance of any entry; of those, the ones no other beats everywhere.
    uint32_t Candidates(int red, int green, int blue, int side, const uint8_t* from, int count)
    {
        const int lo[3] = {red, green, blue};
        std::array<uint8_t, TZLT_Pal::EntryCount> near;
        std::array<int, TZLT_Pal::EntryCount> closest;
        int bound = INT32_MAX;
        for (int i = 0; i < count; ++i) {
            int dmin = 0, dmax = 0;
            for (int k = 0; k < 3; ++k) {
                const int v = Channel(FTarget[from[i]], k), hi = lo[k] + side - 1;
                const int below = v < lo[k] ? lo[k] - v : v > hi ? v - hi : 0;
                const int far = std::max(std::abs(v - lo[k]), std::abs(v - hi));
                dmin += below * below;
                dmax += far * far;
            }
            closest[size_t(i)] = dmin;
            bound = std::min(bound, dmax);
        }
        int nearCount = 0;
        for (int i = 0; i < count; ++i)
            if (closest[size_t(i)] <= bound)
                near[size_t(nearCount++)] = from[i];
        const uint32_t start = uint32_t(FPool.size());
        for (int i = 0; i < nearCount; ++i)
            if (std::none_of(near.begin(), near.begin() + nearCount, [&](uint8_t e) {
                    return e != near[size_t(i)] && Beats(e, near[size_t(i)], lo, side);
                }))
                FPool.push_back(near[size_t(i)]);
        const uint32_t found = uint32_t(FPool.size()) - start;
        if (found == 1) {
            const uint8_t only = FPool.back();
            FPool.pop_back();
            return Single | only;
        }
        return (start << 7) | found;
    }

    // True when entry e is the answer rather than f for every colour of the
    // cell: nearer, or as near with the lower index. The difference of the
    // squared distances is linear in the colour, so a corner holds its largest
    // value.
    bool Beats(int e, int f, const int lo[3], int side) const
    {
        int largest = 0;
        for (int k = 0; k < 3; ++k) {
            const int ev = Channel(FTarget[size_t(e)], k), fv = Channel(FTarget[size_t(f)], k);
            const int x = fv > ev ? lo[k] + side - 1 : lo[k];
            largest += 2 * x * (fv - ev) + ev * ev - fv * fv;
        }
        return largest < 0 || (largest == 0 && e < f);
    }

    std::array<TRgb, TZLT_Pal::EntryCount> FTarget;
    std::array<uint8_t, TZLT_Pal::EntryCount> FDistinct;
    int FDistinctCount = 0;
    std::array<TRgb, 1 << CacheBits> FCacheKey;
    std::array<uint8_t, 1 << CacheBits> FCacheValue{};
    std::array<uint32_t, 8 * 8 * 8> FCoarse;
    // Per fine cell: Unknown until it is built, the answer of a single
    // cell, else 64 + the place of its word in FMulti.
    std::array<uint16_t, 32 * 32 * 32> FAnswer;
    std::vector<uint32_t> FMulti;
    std::vector<uint8_t> FPool;
    std::array<TRgb, 256> FFilePalette;
    std::array<int16_t, 256> FIndexMap;
};

// Decodes n records of one frame format into points.
template<int Format>
void DecodeRecords(const uint8_t* in, int n, TZLT_Point* out, TColourMapper& colours)
{
    constexpr int Size = RecordSize(Format);
    constexpr bool HasZ = Format == 0 || Format == 4;
    constexpr bool Indexed = Format == 0 || Format == 1;
    constexpr int StatusAt = HasZ ? 6 : 4;
    for (int i = 0; i < n; ++i, in += Size) {
        const uint8_t* s = in + StatusAt;
        // Blue, green, red in the true-colour formats.
        const uint8_t colour = Indexed ? colours.MapIndex(s[1]) : colours.MapColour(Rgb(s[3], s[2], s[1]));
        const uint8_t status = uint8_t(colour | (s[0] & BlankBit));
        if constexpr (HasZ && std::endian::native == std::endian::little) {
            // X, Y, Z at once into the point's layout: swap the bytes of
            // each, invert Y, then status and Aux 0 in the last two bytes.
            uint64_t v;
            std::memcpy(&v, in, 8);
            v = ((v & 0x00FF00FF00FF00FFu) << 8 | ((v >> 8) & 0x00FF00FF00FF00FFu)) ^ 0xFFFF0000u;
            v = (v & 0xFFFFFFFFFFFFu) | uint64_t(status) << 48;
            std::memcpy(static_cast<void*>(&out[i]), &v, 8);
        } else {
            out[i] = TZLT_Point(int16_t(ReadBE16(in)), int16_t(~ReadBE16(in + 2)),
                                HasZ ? int16_t(ReadBE16(in + 4)) : 0, status, 0);
        }
    }
}

std::unique_ptr<TZLT_Frame> DecodeFrame(int format, const uint8_t* in, int n, TColourMapper& colours)
{
    auto frame = std::make_unique<TZLT_Frame>();
    TZLT_Frame::Points& points = frame->AllPoints();
    points.resize(size_t(n)); // exactly n: a new vector grows to the size asked
    TZLT_Point* out = points.data();
    switch (format) {
    case 0:
        DecodeRecords<0>(in, n, out, colours);
        break;
    case 1:
        DecodeRecords<1>(in, n, out, colours);
        break;
    case 4:
        DecodeRecords<4>(in, n, out, colours);
        break;
    default:
        DecodeRecords<5>(in, n, out, colours);
        break;
    }
    return frame;
}

// Calls progress every ProgressStep bytes; a false answer cancels.
class TProgress
{
public:
    TProgress(const TProgressFn& progress, qint64 base, qint64 total)
        : FProgress(progress), FBase(base), FTotal(total)
    {
    }

    void At(qint64 done)
    {
        if (FProgress && done >= FNext) {
            if (!FProgress(FBase + done, FTotal))
                throw EZLT_Aborted();
            FNext = done + ProgressStep;
        }
    }

private:
    const TProgressFn& FProgress;
    qint64 FBase;
    qint64 FTotal;
    qint64 FNext = ProgressStep;
};

// The buffer of a file's reading holds the longest section.
constexpr qsizetype ReadBuffer = 1 << 20;
static_assert(ReadBuffer >= HeaderSize + qint64(TZLT_Frame::MaxPoints) * 10);

// Reads section by section, never more than the sections' headers lead to.
template<typename Source>
TReadResult Read(Source& source, const TZLT_Pal& palette, const QString& fileName, TProgress progress)
{
    if (source.Fill(4) < 4 || std::memcmp(source.Data(), "ILDA", 4) != 0)
        throw EZLT_Ilda_Load(QStringLiteral("Not an ILDA file: '%1'").arg(fileName),
                             QStringLiteral("Keine ILDA Datei: '%1'").arg(fileName));

    const auto colours = std::make_unique<TColourMapper>(palette);
    TReadResult result;
    qint64 beyond = 0; // complete frames past the catalog's slots
    QString damage;    // why reading stopped before the end
    QString damageGerman;
    int section = 0;
    for (;;) {
        progress.At(source.Position());
        const qsizetype left = source.Fill(HeaderSize);
        if (left == 0)
            break;
        ++section;
        const auto* header = reinterpret_cast<const uint8_t*>(source.Data());
        if (std::memcmp(header, "ILDA", size_t(std::min<qsizetype>(left, 4))) != 0) {
            damage = QStringLiteral("that section does not start with \"ILDA\"");
            damageGerman = QStringLiteral("dieser Abschnitt beginnt nicht mit \"ILDA\"");
            break;
        }
        if (left < HeaderSize) {
            damage = QStringLiteral("the file ends inside that section");
            damageGerman = QStringLiteral("die Datei endet innerhalb dieses Abschnitts");
            break;
        }
        const int records = ReadBE16(header + 24);
        if (records == 0)
            break; // the end of the file, whatever follows
        const int format = header[7];
        const int recordSize = RecordSize(format);
        if (recordSize == 0) {
            damage = QStringLiteral("that section has the unknown format code %1").arg(format);
            damageGerman = QStringLiteral("dieser Abschnitt hat den unbekannten Formatcode %1").arg(format);
            break;
        }
        // Checked before anything is allocated for the records.
        const qsizetype length = HeaderSize + qsizetype(records) * recordSize;
        if (source.Fill(length) < length) {
            damage = QStringLiteral("the file ends inside that section");
            damageGerman = QStringLiteral("die Datei endet innerhalb dieses Abschnitts");
            break;
        }
        const auto* in = reinterpret_cast<const uint8_t*>(source.Data()) + HeaderSize;
        if (format == PaletteFormat)
            colours->SetFilePalette(in, records);
        else if (result.Frames.Count() < TZLT_Cat::SlotCount)
            result.Frames.Add(DecodeFrame(format, in, records, *colours));
        else
            ++beyond; // only counted, for the warning
        source.Skip(length);
    }

    if (result.Frames.Count() == 0) {
        QString message = QStringLiteral("No frame in ILDA file '%1'").arg(fileName);
        QString german = QStringLiteral("Kein Frame in der ILDA Datei '%1'").arg(fileName);
        if (!damage.isEmpty()) {
            message += QStringLiteral(": reading stopped at section %1 because %2").arg(section).arg(damage);
            german += QStringLiteral(": das Lesen endete bei Abschnitt %1, denn %2").arg(section).arg(damageGerman);
        }
        throw EZLT_Ilda_Load(message, german);
    }
    if (beyond > 0) {
        result.Warning = QStringLiteral("Reading stopped after the first %1 frames of '%2', as many as a "
                                        "catalog holds; the file holds %3 more.")
                             .arg(QString::number(TZLT_Cat::SlotCount), fileName, QString::number(beyond));
        result.WarningGerman = QStringLiteral("Das Lesen endete nach den ersten %1 Frames von '%2', so vielen, "
                                              "wie ein Katalog fasst; die Datei enthält %3 weitere.")
                                   .arg(QString::number(TZLT_Cat::SlotCount), fileName, QString::number(beyond));
    } else if (!damage.isEmpty()) {
        result.Warning = QStringLiteral("Reading stopped at section %1 of '%2' because %3.")
                             .arg(section)
                             .arg(fileName, damage);
        result.WarningGerman = QStringLiteral("Das Lesen endete bei Abschnitt %1 von '%2', denn %3.")
                                   .arg(section)
                                   .arg(fileName, damageGerman);
    }
    return result;
}

// ---- Writing

// What a write produces, worked out before a byte is written.
struct TPlan
{
    int Frames = 0;   // used frames
    qint64 Bytes = 0; // size of the file
};

QString TooManyPoints(int index, int count, int column)
{
    return (column == 1 ? QStringLiteral("Frame %1 hat %2 Punkte, mehr als die %3, die ein Abschnitt fassen kann")
                        : QStringLiteral("frame %1 has %2 points, more than the %3 a section can hold"))
        .arg(index)
        .arg(count)
        .arg(TZLT_Frame::MaxPoints);
}

constexpr bool IsIndexed(TFormat format)
{
    return format == TFormat::Indexed3D || format == TFormat::Indexed2D;
}

constexpr bool HasZ(TFormat format)
{
    return format == TFormat::Indexed3D || format == TFormat::TrueColor3D;
}

// Whether the file starts with a palette section.
constexpr bool WritesPalette(TFormat format, TPaletteSection section)
{
    return IsIndexed(format) && section == TPaletteSection::Included;
}

// The standard palette's index nearest to a colour, the lowest on a tie.
uint8_t StandardIndexOf(TRgb rgb)
{
    int best = 0;
    int bestDistance = SquaredDistance(rgb, DefaultIldaPalette[0]);
    for (int i = 1; i < int(DefaultIldaPalette.size()); ++i) {
        const int d = SquaredDistance(rgb, DefaultIldaPalette[size_t(i)]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return uint8_t(best);
}

// Raises EZLT_Index for a range outside frames and EZLT_Error for what a
// file cannot hold; reason(english, german) wraps the latter's message.
template<typename Reason>
TPlan Plan(const TZLT_FrameList& frames, int first, int count, TFormat format, TPaletteSection section,
           Reason reason)
{
    if (first < 0)
        throw EZLT_Index(first, frames.Count());
    if (count < 0 || qint64(first) + count > frames.Count())
        throw EZLT_Index(qint64(first) + count - 1, frames.Count());
    const int recordSize = RecordSize(int(format));
    TPlan plan;
    qint64 points = 0;
    for (int i = first; i < first + count; ++i) {
        const int n = frames.GetFrame(i).Count();
        if (n == 0)
            continue;
        if (n > TZLT_Frame::MaxPoints)
            throw reason(TooManyPoints(i, n, 0), TooManyPoints(i, n, 1));
        ++plan.Frames;
        points += n;
    }
    if (plan.Frames > MaxSectionNumber)
        throw reason(QStringLiteral("%1 frames are more than the %2 a file can number")
                         .arg(plan.Frames)
                         .arg(MaxSectionNumber),
                     QStringLiteral("%1 Frames sind mehr als die %2, die eine Datei nummerieren kann")
                         .arg(plan.Frames)
                         .arg(MaxSectionNumber));
    plan.Bytes = qint64(plan.Frames + 1) * HeaderSize + points * recordSize;
    if (WritesPalette(format, section))
        plan.Bytes += HeaderSize + TZLT_Pal::EntryCount * RecordSize(PaletteFormat);
    return plan;
}

void PutHeader(uint8_t* h, int format, const char* name, int records, int number, int total)
{
    std::memset(h, 0, HeaderSize);
    std::memcpy(h, "ILDA", 4);
    h[7] = uint8_t(format);
    std::memcpy(h + 8, name, std::min<size_t>(std::strlen(name), 8));
    std::memcpy(h + 16, "Trevasc", 7);
    WriteBE16(h + 24, uint16_t(records));
    WriteBE16(h + 26, uint16_t(number));
    WriteBE16(h + 28, uint16_t(total));
}

using TTail = std::array<uint8_t, 4>;
using TTails = std::array<TTail, 128>;

// The records of one frame format: coordinates, then the tail of the
// point's status.
template<TFormat Format>
void EncodeRecords(const TZLT_Point* p, int n, uint8_t* out, const TTails& tails)
{
    constexpr int Size = RecordSize(int(Format));
    constexpr int StatusAt = HasZ(Format) ? 6 : 4;
    for (int k = 0; k < n; ++k, out += Size) {
        if constexpr (std::endian::native == std::endian::little && HasZ(Format)) {
            // X, Y, Z at once: swap the bytes of each, invert Y; the two
            // bytes past Z are overwritten by the tail.
            uint64_t v;
            std::memcpy(&v, &p[k], 8);
            v = ((v & 0x00FF00FF00FF00FFu) << 8 | ((v >> 8) & 0x00FF00FF00FF00FFu)) ^ 0xFFFF0000u;
            std::memcpy(out, &v, 8);
        } else if constexpr (std::endian::native == std::endian::little) {
            uint32_t v; // X and Y alike
            std::memcpy(&v, &p[k], 4);
            v = ((v & 0x00FF00FFu) << 8 | ((v >> 8) & 0x00FF00FFu)) ^ 0xFFFF0000u;
            std::memcpy(out, &v, 4);
        } else {
            WriteBE16(out, uint16_t(p[k].X()));
            WriteBE16(out + 2, uint16_t(~p[k].Y()));
            if constexpr (HasZ(Format))
                WriteBE16(out + 4, uint16_t(p[k].Z()));
        }
        std::memcpy(out + StatusAt, tails[p[k].Status() & 0x7F].data(), Size - StatusAt);
    }
}

void EncodeFrame(TFormat format, const TZLT_Point* p, int n, uint8_t* out, const TTails& tails)
{
    switch (format) {
    case TFormat::Indexed3D:
        EncodeRecords<TFormat::Indexed3D>(p, n, out, tails);
        break;
    case TFormat::Indexed2D:
        EncodeRecords<TFormat::Indexed2D>(p, n, out, tails);
        break;
    case TFormat::TrueColor3D:
        EncodeRecords<TFormat::TrueColor3D>(p, n, out, tails);
        break;
    case TFormat::TrueColor2D:
        EncodeRecords<TFormat::TrueColor2D>(p, n, out, tails);
        break;
    }
}

// What follows the coordinates in a record, for each status (bit 7 aside):
// status, blue, green, red in true colour (black when blanked); status and
// colour index in indexed records.
TTails MakeTails(const TZLT_Pal& palette, TFormat format, TPaletteSection section)
{
    TTails tails;
    for (int status = 0; status < 128; ++status) {
        const uint8_t blank = status & BlankBit;
        const TZLT_PalEntry& e = palette.ColorOf(uint8_t(status));
        const TRgb rgb = Rgb(e.Red, e.Green, e.Blue);
        if (!IsIndexed(format))
            tails[size_t(status)] = blank ? TTail{blank, 0, 0, 0} : TTail{0, e.Blue, e.Green, e.Red};
        else if (section == TPaletteSection::Included)
            tails[size_t(status)] = {blank, uint8_t(status & TZLT_Point::ColorMask), 0, 0};
        else // black would come out as the standard palette's red: dark instead
            tails[size_t(status)] = {uint8_t(blank | (rgb == 0 ? BlankBit : 0)), StandardIndexOf(rgb), 0, 0};
    }
    return tails;
}

// Encodes the file into buffer, handing it to flush(used) whenever the next
// section does not fit and once at the end; capacity holds any section.
template<typename Flush>
void Encode(const TZLT_FrameList& frames, int first, int count, const TZLT_Pal& palette, TFormat format,
            TPaletteSection section, const TPlan& plan, uint8_t* buffer, qint64 capacity, Flush flush,
            TProgress progress)
{
    qint64 used = 0;
    qint64 flushed = 0;
    const auto room = [&](qint64 need) {
        if (capacity - used < need) {
            flush(used);
            flushed += used;
            used = 0;
        }
        return buffer + used;
    };
    const int code = int(format);
    if (WritesPalette(format, section)) {
        uint8_t* out = room(HeaderSize + 3 * TZLT_Pal::EntryCount);
        PutHeader(out, PaletteFormat, "Palette", TZLT_Pal::EntryCount, 0, 0);
        out += HeaderSize;
        for (int i = 0; i < TZLT_Pal::EntryCount; ++i, out += 3) {
            const TZLT_PalEntry& e = palette.ColorOf(uint8_t(i));
            out[0] = e.Red;
            out[1] = e.Green;
            out[2] = e.Blue;
        }
        used += HeaderSize + 3 * TZLT_Pal::EntryCount;
    }
    const TTails tails = MakeTails(palette, format, section);
    const qint64 recordSize = RecordSize(code);
    const int statusAt = HasZ(format) ? 6 : 4;
    int number = 0;
    char name[12]; // room for any int; a header keeps the first 8
    for (int i = first; i < first + count; ++i) {
        const TZLT_Frame::Points& points = frames.GetFrame(i).AllPoints();
        const int n = int(points.size());
        if (n == 0)
            continue;
        progress.At(flushed + used);
        uint8_t* out = room(HeaderSize + n * recordSize);
        // The name is the frame's place in the list: its slot in a catalog.
        std::snprintf(name, sizeof name, "%05d", i);
        PutHeader(out, code, name, n, number++, plan.Frames);
        out += HeaderSize;
        EncodeFrame(format, points.data(), n, out, tails);
        out += n * recordSize;
        out[statusAt - recordSize] |= LastPointBit; // the last record's status
        used += HeaderSize + n * recordSize;
    }
    PutHeader(room(HeaderSize), code, "", 0, plan.Frames, plan.Frames);
    used += HeaderSize;
    flush(used);
}

} // namespace

uint32_t StandardColour(int index)
{
    return index >= 0 && index < int(DefaultIldaPalette.size()) ? DefaultIldaPalette[size_t(index)] : 0;
}

TReadResult ReadBytes(QByteArrayView data, const TZLT_Pal& palette, const QString& fileName,
                      const TProgressFn& progress)
{
    ZLT_Files::TByteReader source(data);
    return Read(source, palette, fileName, TProgress(progress, 0, data.size()));
}

TReadResult ReadFile(const QString& fileName, const TZLT_Pal& palette, const TProgressFn& progress)
{
    ZLT_Files::TFileReader source(fileName, ReadBuffer);
    return Read(source, palette, fileName, TProgress(progress, 0, source.Size()));
}

QByteArray WriteBytes(const TZLT_FrameList& frames, int first, int count, const TZLT_Pal& palette,
                      TFormat format, TPaletteSection section, const TProgressFn& progress)
{
    const TPlan plan =
        Plan(frames, first, count, format, section, [](const QString& english, const QString& german) { return EZLT_Error(english, german); });
    QByteArray bytes(plan.Bytes, Qt::Uninitialized);
    Encode(
        frames, first, count, palette, format, section, plan, reinterpret_cast<uint8_t*>(bytes.data()),
        bytes.size(), [](qint64) {}, TProgress(progress, 0, plan.Bytes));
    return bytes;
}

void WriteFile(const QString& fileName, const TZLT_FrameList& frames, int first, int count,
               const TZLT_Pal& palette, TFormat format, TPaletteSection section, const TProgressFn& progress)
{
    // Checked before the file is touched.
    const TPlan plan = Plan(frames, first, count, format, section, [&](const QString& english, const QString& german) {
        return EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, english),
                         QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2").arg(fileName, german));
    });
    // Sections are gathered into pieces of 1 MiB, which hold the longest
    // section: few write calls, and little memory beyond the frames' own.
    constexpr qint64 PieceSize = 1 << 20;
    constexpr qint64 WritebackStep = 8 << 20;
    static_assert(PieceSize >= HeaderSize + qint64(TZLT_Frame::MaxPoints) * 10);
    std::vector<uint8_t> piece(size_t(std::min(plan.Bytes, PieceSize)));
    struct TDeviceFailed
    {
    };
    ZLT_Files::WriteFileAtomically(fileName, [&](QIODevice& device) {
        const auto* file = qobject_cast<QFileDevice*>(&device);
        [[maybe_unused]] const int fd = file ? file->handle() : -1;
        [[maybe_unused]] qint64 written = 0, started = 0;
        try {
            Encode(
                frames, first, count, palette, format, section, plan, piece.data(), qint64(piece.size()),
                [&](qint64 used) {
                    if (used > 0 && device.write(reinterpret_cast<const char*>(piece.data()), used) != used)
                        throw TDeviceFailed();
#ifdef __linux__
                    written += used;
                    // The disk starts on what is written while the rest is
                    // encoded; the final sync still checks every byte.
                    if (fd >= 0 && written - started >= WritebackStep) {
                        ::sync_file_range(fd, started, written - started, SYNC_FILE_RANGE_WRITE);
                        started = written;
                    }
#endif
                },
                TProgress(progress, 0, plan.Bytes));
        } catch (const TDeviceFailed&) {
            return false;
        }
        return true;
    });
}

} // namespace ZLT_Ilda
