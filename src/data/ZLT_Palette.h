#pragma once

#include "ZLT_Error.h"

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

struct TZLT_PalEntry
{
    uint8_t Red = 0;
    uint8_t Green = 0;
    uint8_t Blue = 0;
    std::array<uint8_t, 6> Extra{};

    friend bool operator==(const TZLT_PalEntry&, const TZLT_PalEntry&) = default;
};

// A palette of exactly 64 colours, one per 6-bit colour index.
class TZLT_Pal
{
public:
    static constexpr int EntryCount = 64;
    static constexpr qsizetype FileSize = EntryCount * 9;

    TZLT_Pal() { LoadDefault(); }

    int Count() const noexcept { return EntryCount; }

    // Raises EZLT_Index for a negative index and EZLT_Error
    // "Index (%d) outside range 1..%d" for an index of Count or more.
    const TZLT_PalEntry& GetEntry(int index) const;

    // The entry of a colour index 0..63, unchecked; for drawing.
    const TZLT_PalEntry& ColorOf(uint8_t colorIndex) const noexcept { return FEntries[colorIndex & 63]; }

    void LoadDefault();

    // Replaces all 64 entries from a palette file; raises on every failure
    // and then leaves the palette unchanged. Returns true.
    bool LoadFromFile(const QString& fileName);

    // The parser behind LoadFromFile; fileName only names the data in errors.
    void LoadFromBytes(QByteArrayView data, const QString& fileName);

    friend bool operator==(const TZLT_Pal&, const TZLT_Pal&) = default;

private:
    std::array<TZLT_PalEntry, EntryCount> FEntries;
};
