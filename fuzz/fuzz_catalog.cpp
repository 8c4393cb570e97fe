// Catalog parser: any bytes load into exactly 32767 slots, never more points
// than the bytes hold, and what was loaded saves and loads back unchanged.

#include "FuzzCheck.h"
#include "ZLT_Catalog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

// The checks walk all 32767 slots on every run; without coverage
// instrumentation of their own they cost little and guide nothing.
#define NO_COVERAGE __attribute__((no_sanitize("coverage")))

namespace {

// Empties the slots that data of this size can have filled.
NO_COVERAGE void ClearUsed(TZLT_Cat& cat, size_t size)
{
    const int count = int(std::min<size_t>(TZLT_Cat::SlotCount, size / 3 + 1));
    for (int slot = 0; slot < count; ++slot)
        cat.Frames.GetFrame(slot).Clear();
}

NO_COVERAGE void Check(const TZLT_Cat& loaded, TZLT_Cat& again, size_t size)
{
    FUZZ_CHECK(loaded.Frames.Count() == TZLT_Cat::SlotCount);

    size_t points = 0;
    int lastUsed = -1;
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
        const TZLT_Frame::Points& frame = loaded.Frames.GetFrame(slot).AllPoints();
        FUZZ_CHECK(frame.size() <= size_t(TZLT_Frame::MaxPoints));
        FUZZ_CHECK(frame.capacity() == frame.size()); // allocated by the bytes present, not the promise
        points += frame.size();
        if (!frame.empty())
            lastUsed = slot;
    }
    // Every used slot needs its header and those of the slots before it.
    FUZZ_CHECK(3 * size_t(lastUsed + 1) + 8 * points <= size);

    const QByteArray bytes = loaded.ToBytes();
    FUZZ_CHECK(size_t(bytes.size()) == 3 * size_t(TZLT_Cat::SlotCount) + 8 * points);
    again.LoadFromBytes(bytes);
    FUZZ_CHECK(again.Frames.Count() == TZLT_Cat::SlotCount);
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot)
        FUZZ_CHECK(again.Frames.GetFrame(slot) == loaded.Frames.GetFrame(slot));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Two catalogs kept between runs: building 32767 frames each time would
    // cost more than the parsing under test. Emptied again at the end of
    // every run (so the run frees all it allocates), they are new catalogs.
    static TZLT_Cat loaded;
    static TZLT_Cat again;
    loaded.LoadFromBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    Check(loaded, again, size);
    ClearUsed(loaded, size);
    ClearUsed(again, size);
    return 0;
}
