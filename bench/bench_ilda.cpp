// Speed and memory of ILDA files: about 70 MiB of true-colour frames (7000
// frames of about 1000 points, every point a colour of its own) are read
// and written, next to baselines measured in the same run: a plain
// whole-file read plus one copy into fresh memory, and a plain write of the
// same bytes with a sync to disk, for every kind of file written. Prints one
// "name value" line per figure.

#include "BenchSupport.h"
#include "ZLT_Ilda.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

namespace {

using Bench::DropFromCache;
using Bench::Fail;
using Bench::Milliseconds;
using Bench::PlainWriteAndSync;
using Bench::Print;

using Clock = std::chrono::steady_clock;

// Heap in use: small blocks plus blocks of their own mapping.
size_t HeapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

void Put16(QByteArray& out, int v)
{
    out.append(char(v >> 8));
    out.append(char(v));
}

// Format-4 sections with random coordinates and colours; every eighth point
// is blanked and black, as blanked points usually are.
QByteArray MakeFile(int frames, qint64& points)
{
    QRandomGenerator random(2024);
    QByteArray file;
    file.reserve(qsizetype(frames) * (32 + 1088 * 10) + 32);
    points = 0;
    for (int f = 0; f < frames; ++f) {
        const int n = 960 + int(random.bounded(129));
        file.append("ILDA\0\0\0\4", 8);
        file.append(QByteArray("Bench").leftJustified(16, '\0'));
        Put16(file, n);
        Put16(file, f);
        Put16(file, frames);
        file.append(2, '\0');
        for (int i = 0; i < n; ++i) {
            const quint32 xy = random.generate();
            const quint32 colour = random.generate();
            const bool blanked = i % 8 == 0;
            Put16(file, int(xy >> 16));
            Put16(file, int(xy & 0xFFFF));
            Put16(file, i);
            file.append(char((blanked ? 0x40 : 0) | (i + 1 == n ? 0x80 : 0)));
            for (int k = 0; k < 3; ++k)
                file.append(blanked ? '\0' : char(colour >> (8 * k)));
        }
        points += n;
    }
    file.append("ILDA\0\0\0\4", 8);
    file.append(24, '\0');
    return file;
}

} // namespace

int main()
{
    constexpr int Rounds = 5;
    constexpr int WriteRounds = 6; // even: each side goes first as often
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail("no temporary folder");
    const QString inFile = dir.filePath(QStringLiteral("big.ild"));
    const QString savedFile = dir.filePath(QStringLiteral("saved.ild"));
    const QString plainFile = dir.filePath(QStringLiteral("plain.ild"));
    const TZLT_Pal palette;

    qint64 points = 0;
    {
        const QByteArray file = MakeFile(7000, points);
        QFile out(inFile);
        if (!out.open(QIODevice::WriteOnly) || out.write(file) != file.size())
            Fail("cannot write the ILDA file");
        Print("ilda_mib", double(file.size()) / (1 << 20));
        Print("ilda_points", double(points));
    }
    malloc_trim(0);
    const ZLT_Ilda::TProgressFn progress = [](qint64, qint64) { return true; };

    // Reading, cold from the disk where the cache can be dropped, and warm;
    // with a progress function, as the windows read.
    const bool cold = DropFromCache(inFile);
    Print("page_cache_dropped", cold ? 1 : 0);
    const Bench::TReadTimes times = Bench::TimeReads(inFile, Rounds, cold, [&] {
        ZLT_Ilda::TReadResult result;
        const double ms = Milliseconds([&] { result = ZLT_Ilda::ReadFile(inFile, palette, progress); });
        if (result.Frames.Count() != 7000 || !result.Warning.isEmpty())
            Fail("the file did not read back whole");
        return ms;
    });

    // Heap of what was read: everything, frame objects included, per point.
    malloc_trim(0);
    const size_t heapBefore = HeapInUse();
    ZLT_Ilda::TReadResult read = ZLT_Ilda::ReadFile(inFile, palette);
    const size_t heapRead = HeapInUse();

    // Writing next to a plain write with sync of the same bytes, in every
    // kind of file the export offers; true colour 3D is the main figure. The
    // two take turns going first, and beside the best times the median ratio
    // of each pair is given, which a disk changing its speed disturbs less.
    struct TWriteTimes
    {
        double Write = 1e300, Plain = 1e300;
        std::vector<double> PairRatios;
    };
    const auto timeWrites = [&](ZLT_Ilda::TFormat format, ZLT_Ilda::TPaletteSection section) {
        const QByteArray bytes =
            ZLT_Ilda::WriteBytes(read.Frames, 0, read.Frames.Count(), palette, format, section);
        TWriteTimes times;
        for (int round = 0; round < WriteRounds; ++round) {
            QFile::remove(savedFile);
            QFile::remove(plainFile);
            double write = 0, plain = 0;
            const auto timeWrite = [&] {
                ::sync();
                write = Milliseconds([&] {
                    ZLT_Ilda::WriteFile(savedFile, read.Frames, 0, read.Frames.Count(), palette, format,
                                        section, progress);
                });
            };
            const auto timePlain = [&] {
                ::sync();
                plain = Milliseconds([&] { PlainWriteAndSync(plainFile, bytes); });
            };
            if (round % 2 == 0) {
                timeWrite();
                timePlain();
            } else {
                timePlain();
                timeWrite();
            }
            times.Write = std::min(times.Write, write);
            times.Plain = std::min(times.Plain, plain);
            times.PairRatios.push_back(write / plain);
        }
        QFile saved(savedFile);
        if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != bytes)
            Fail("the written file differs from WriteBytes");
        return times;
    };
    using ZLT_Ilda::TFormat;
    using ZLT_Ilda::TPaletteSection;
    const TWriteTimes main = timeWrites(TFormat::TrueColor3D, TPaletteSection::Included);
    const struct
    {
        const char* Name;
        TFormat Format;
        TPaletteSection Section;
    } others[] = {{"truecolour2d", TFormat::TrueColor2D, TPaletteSection::Included},
                  {"indexed3d", TFormat::Indexed3D, TPaletteSection::Included},
                  {"indexed2d", TFormat::Indexed2D, TPaletteSection::Included},
                  {"indexed2d_standard", TFormat::Indexed2D, TPaletteSection::Standard}};
    std::vector<std::pair<std::string, double>> otherRatios;
    for (const auto& other : others) {
        const TWriteTimes times = timeWrites(other.Format, other.Section);
        otherRatios.emplace_back(std::string("write_ratio_") + other.Name, times.Write / times.Plain);
        otherRatios.emplace_back(std::string("write_pair_ratio_") + other.Name,
                                 Bench::Median(times.PairRatios));
    }

    Bench::PrintReadTimes("read", times, cold);
    Print("write_ms", main.Write);
    Print("plain_write_sync_ms", main.Plain);
    Print("write_ratio", main.Write / main.Plain);
    Print("write_pair_ratio", Bench::Median(main.PairRatios));
    for (const auto& [name, ratio] : otherRatios)
        Print(name.c_str(), ratio);
    Print("heap_bytes_per_point", double(heapRead - heapBefore) / double(points));
    Print("heap_bytes_per_frame_beyond_points",
          (double(heapRead - heapBefore) - 8.0 * double(points)) / read.Frames.Count());
    return 0;
}
