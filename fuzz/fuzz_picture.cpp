// Picture parser: a file shorter than its header raises, any other keeps the
// complete records its count names, and a loaded frame saves and loads back
// unchanged (every loss of the format has already happened on the first load).

#include "FuzzCheck.h"
#include "ZLT_Catalog.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString name = QStringLiteral("fuzz.pic");
    TZLT_Frame frame;
    try {
        frame.LoadFromPicBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), name);
    } catch (const EZLT_File& e) {
        FUZZ_CHECK(size < 14);
        FUZZ_CHECK(e.Message().contains(name));
        return 0;
    }
    FUZZ_CHECK(size >= 14);
    const size_t promised = (size_t(data[6]) << 8) | data[7];
    const size_t expected = std::min(promised, (size - 14) / 8);
    FUZZ_CHECK(size_t(frame.Count()) == expected);
    FUZZ_CHECK(frame.AllPoints().capacity() == frame.AllPoints().size());
    if (frame.Count() == 0)
        return 0;
    FUZZ_CHECK(frame.GetPoint(0).Status() == 192);

    const QByteArray bytes = frame.ToPicBytes();
    FUZZ_CHECK(size_t(bytes.size()) == 14 + 8 * expected);
    TZLT_Frame again;
    again.LoadFromPicBytes(bytes, name);
    FUZZ_CHECK(again == frame);
    FUZZ_CHECK(again.ToPicBytes() == bytes);
    return 0;
}
