// Palette parser: exactly 576 bytes set every entry from its record; any
// other size raises and leaves the palette as it was.

#include "FuzzCheck.h"
#include "ZLT_Palette.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString name = QStringLiteral("fuzz.pal");
    TZLT_Pal pal;
    try {
        pal.LoadFromBytes(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)), name);
    } catch (const EZLT_Pal_Load& e) {
        FUZZ_CHECK(size != 576);
        FUZZ_CHECK(e.Message() == QStringLiteral("Invalid File : 'fuzz.pal'"));
        FUZZ_CHECK(pal == TZLT_Pal());
        return 0;
    }
    FUZZ_CHECK(size == 576);
    for (int i = 0; i < pal.Count(); ++i) {
        const TZLT_PalEntry& e = pal.GetEntry(i);
        const uint8_t* record = data + 9 * i;
        FUZZ_CHECK(e.Red == record[0] && e.Green == record[1] && e.Blue == record[2]);
        for (int k = 0; k < 6; ++k)
            FUZZ_CHECK(e.Extra[size_t(k)] == record[3 + k]);
    }
    return 0;
}
