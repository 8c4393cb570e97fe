#include "ZLT_Palette.h"

#include "ZLT_Files.h"

#include <QFile>
#include <QFileInfo>

namespace {

// The built-in palette: red, green, blue, then the six extra bytes.
constexpr uint8_t DefaultTable[TZLT_Pal::EntryCount][9] = {
    {255, 255, 255, 255, 64, 84, 0, 0, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 101, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 255},
    {0, 255, 0, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 0, 255, 255},
    {0, 128, 192, 0, 101, 255, 0, 255, 255},
    {0, 0, 160, 0, 0, 32, 0, 255, 255},
    {128, 128, 192, 144, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 92, 255, 98, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 134, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 111, 255, 255, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 124, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 85, 255, 255, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 134, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 114, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 124, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 88, 255, 124, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 111, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 98, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 128, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 128, 255, 255, 114, 255, 124, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 150, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 255, 255, 255},
    {0, 128, 192, 0, 134, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 128, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 0, 255, 0, 255, 255},
    {255, 0, 255, 255, 108, 255, 131, 255, 255},
    {255, 255, 255, 255, 255, 255, 255, 255, 255},
    {255, 0, 0, 255, 0, 0, 0, 0, 0},
    {255, 128, 0, 255, 137, 0, 255, 0, 0},
    {255, 255, 0, 255, 255, 0, 255, 0, 0},
    {0, 255, 64, 0, 255, 0, 255, 0, 0},
    {0, 255, 255, 0, 255, 255, 0, 255, 255},
    {0, 128, 192, 0, 121, 255, 0, 255, 255},
    {0, 0, 255, 0, 0, 255, 0, 255, 255},
    {128, 128, 192, 144, 0, 255, 0, 255, 255},
};

void SetEntries(std::array<TZLT_PalEntry, TZLT_Pal::EntryCount>& entries, const uint8_t* records)
{
    for (auto& e : entries) {
        e.Red = records[0];
        e.Green = records[1];
        e.Blue = records[2];
        for (int k = 0; k < 6; ++k)
            e.Extra[size_t(k)] = records[3 + k];
        records += 9;
    }
}

} // namespace

const TZLT_PalEntry& TZLT_Pal::GetEntry(int index) const
{
    if (index < 0)
        throw EZLT_Index(index, Count());
    if (index >= Count())
        throw EZLT_Error(QStringLiteral("Index (%1) outside range 1..%2").arg(index).arg(Count() - 1));
    return FEntries[size_t(index)];
}

void TZLT_Pal::LoadDefault()
{
    SetEntries(FEntries, &DefaultTable[0][0]);
}

void TZLT_Pal::LoadFromBytes(QByteArrayView data, const QString& fileName)
{
    if (data.size() != FileSize)
        throw EZLT_Pal_Load(QStringLiteral("Invalid File : '%1'").arg(fileName));
    SetEntries(FEntries, reinterpret_cast<const uint8_t*>(data.data()));
}

bool TZLT_Pal::LoadFromFile(const QString& fileName)
{
    // Opening a pipe would wait for a writer forever.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile() && !info.isDir())
        throw EZLT_File(QStringLiteral("Cannot read file '%1': it is not a regular file").arg(fileName));
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly) || !ZLT_Files::FileExists(fileName))
        throw EZLT_File(QStringLiteral("Cannot open file '%1': %2")
                            .arg(fileName, file.error() != QFileDevice::NoError
                                               ? file.errorString()
                                               : QStringLiteral("Is a directory")));
    // Check the size before reading, so a huge wrong file is never read.
    if (file.size() != FileSize)
        throw EZLT_Pal_Load(QStringLiteral("Invalid File : '%1'").arg(fileName));
    const QByteArray data = file.read(FileSize + 1);
    if (file.error() != QFileDevice::NoError)
        throw EZLT_File(QStringLiteral("Cannot read file '%1': %2").arg(fileName, file.errorString()));
    LoadFromBytes(data, fileName);
    return true;
}
