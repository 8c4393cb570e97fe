// Speed and memory of the frame data: a catalog of all 32767 slots with about
// 1000 points each (256 MiB) is loaded, saved and drawn, next to baselines
// measured in the same run: a plain whole-file read plus one copy into fresh
// memory, and a plain write of the same bytes with a sync to disk.
// Prints one "name value" line per figure.

#include "BenchSupport.h"
#include "HeapCounting.h"
#include "ZLT_Catalog.h"

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

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

// A canvas that records nothing; only the calls' cost remains.
class NullCanvas : public TZLT_Canvas
{
public:
    void SetPenColor(uint8_t red, uint8_t green, uint8_t blue) override { Sum += red + green + blue; }
    void MoveTo(int x, int y) override { Sum += x - y; }
    void LineTo(int x, int y) override { Sum += x + y; }
    long Sum = 0;
};

volatile long DrawSink = 0;

} // namespace

int main()
{
    constexpr int Rounds = 5;
    QTemporaryDir dir;
    if (!dir.isValid())
        Fail("no temporary folder");
    const QString catalogFile = dir.filePath(QStringLiteral("big.cat"));
    const QString savedFile = dir.filePath(QStringLiteral("saved.cat"));
    const QString plainFile = dir.filePath(QStringLiteral("plain.cat"));

    // The catalog: every slot used, 960..1088 points each, 1024 on average.
    qint64 points = 0;
    {
        QRandomGenerator random(2024);
        TZLT_Cat cat;
        for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
            TZLT_Frame& frame = cat.Frames.GetFrame(slot);
            const int count = 960 + int(random.bounded(129));
            frame.AllPoints().reserve(size_t(count));
            for (int i = 0; i < count; ++i)
                frame.Add(TZLT_Point(int16_t(random.bounded(65536) - 32768),
                                     int16_t(random.bounded(65536) - 32768), int16_t(i),
                                     uint8_t(random.bounded(256)), uint8_t(i)));
            points += count;
        }
        cat.SaveToFile(catalogFile);
    }
    malloc_trim(0); // every load below starts from fresh memory, like the plain copy
    const qint64 fileBytes = QFileInfo(catalogFile).size();
    Print("catalog_mib", double(fileBytes) / (1 << 20));
    Print("catalog_points", double(points));

    // Loading, cold from the disk where the cache can be dropped, and warm.
    const bool cold = DropFromCache(catalogFile);
    Print("page_cache_dropped", cold ? 1 : 0);
    const Bench::TReadTimes times = Bench::TimeReads(catalogFile, Rounds, cold, [&] {
        auto cat = std::make_unique<TZLT_Cat>();
        return Milliseconds([&] { cat->LoadFromFile(catalogFile); });
    });

    // Heap of a loaded catalog: the fixed cost of the slots, then per point.
    malloc_trim(0);
    const size_t heapBefore = HeapInUse();
    auto cat = std::make_unique<TZLT_Cat>();
    const size_t heapEmpty = HeapInUse();
    cat->LoadFromFile(catalogFile);
    const size_t heapLoaded = HeapInUse();

    // Saving next to a plain write with sync of the same bytes.
    const QByteArray bytes = cat->ToBytes();
    if (bytes.size() != fileBytes)
        Fail("the catalog's bytes differ in size from its file");
    double save = 1e300, write = 1e300;
    for (int round = 0; round < Rounds; ++round) {
        QFile::remove(savedFile);
        QFile::remove(plainFile);
        ::sync();
        save = std::min(save, Milliseconds([&] { cat->SaveToFile(savedFile); }));
        ::sync();
        write = std::min(write, Milliseconds([&] { PlainWriteAndSync(plainFile, bytes); }));
    }
    QFile saved(savedFile);
    if (!saved.open(QIODevice::ReadOnly) || saved.readAll() != bytes)
        Fail("the saved catalog differs from the catalog's bytes");

    // Drawing every frame into a thumbnail-sized cell.
    const TZLT_Pal palette;
    NullCanvas canvas;
    const TZLT_Rect rect{2, 3, 66, 67};
    double draw = 1e300;
    for (int round = 0; round < Rounds; ++round)
        draw = std::min(draw, Milliseconds([&] {
                            for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot)
                                cat->Frames.GetFrame(slot).Draw(canvas, rect, palette);
                        }));
    Allocations = 0;
    Counting = true;
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot)
        cat->Frames.GetFrame(slot).Draw(canvas, rect, palette);
    Counting = false;
    const long drawAllocations = Allocations;
    // The counter itself must see allocations, or the zero above means nothing.
    Allocations = 0;
    Counting = true;
    const std::unique_ptr<TZLT_Frame> clone = cat->Frames.GetFrame(0).Clone();
    Counting = false;
    if (Allocations < 2)
        Fail("allocation counting does not see allocations");

    Bench::PrintReadTimes("load", times, cold);
    Print("save_ms", save);
    Print("plain_write_sync_ms", write);
    Print("save_ratio", save / write);
    Print("heap_fixed_bytes", double(heapEmpty - heapBefore));
    Print("heap_fixed_mib", double(heapEmpty - heapBefore) / (1 << 20));
    Print("heap_bytes_per_point", double(heapLoaded - heapEmpty) / double(points));
    Print("draw_points_per_s", double(points) / (draw / 1000.0));
    Print("draw_allocations_per_call", double(drawAllocations) / TZLT_Cat::SlotCount);
    DrawSink = canvas.Sum;
    return 0;
}
