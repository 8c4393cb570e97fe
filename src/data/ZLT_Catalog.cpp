#include "ZLT_Catalog.h"

#include "ZLT_Files.h"

#include <QIODevice>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstring>

#include <sys/uio.h>

namespace {

constexpr bool HostIsLittleEndian = std::endian::native == std::endian::little;

inline uint16_t ReadLE16(const char* p)
{
    return uint16_t(uint8_t(p[0]) | (uint8_t(p[1]) << 8));
}

inline uint16_t ReadBE16(const char* p)
{
    return uint16_t((uint8_t(p[0]) << 8) | uint8_t(p[1]));
}

inline void WriteLE16(char* p, uint16_t v)
{
    p[0] = char(v & 0xFF);
    p[1] = char(v >> 8);
}

inline void WriteBE16(char* p, uint16_t v)
{
    p[0] = char(v >> 8);
    p[1] = char(v & 0xFF);
}

// Catalog point records are the in-memory layout of TZLT_Point on a
// little-endian host, so whole frames are copied as they are.
void DecodeCatRecords(const char* src, int count, TZLT_Point* dst)
{
    if constexpr (HostIsLittleEndian) {
        std::memcpy(static_cast<void*>(dst), src, size_t(count) * sizeof(TZLT_Point));
    } else {
        for (int i = 0; i < count; ++i, src += 8)
            dst[i] = TZLT_Point(int16_t(ReadLE16(src)), int16_t(ReadLE16(src + 2)),
                                int16_t(ReadLE16(src + 4)), uint8_t(src[6]), uint8_t(src[7]));
    }
}

void EncodeCatRecords(const TZLT_Point* src, int count, char* dst)
{
    if constexpr (HostIsLittleEndian) {
        std::memcpy(dst, static_cast<const void*>(src), size_t(count) * sizeof(TZLT_Point));
    } else {
        for (int i = 0; i < count; ++i, dst += 8) {
            WriteLE16(dst, uint16_t(src[i].X()));
            WriteLE16(dst + 2, uint16_t(src[i].Y()));
            WriteLE16(dst + 4, uint16_t(src[i].Z()));
            dst[6] = char(src[i].Status());
            dst[7] = char(src[i].Aux());
        }
    }
}

// Picture files store X and Z with negative values shifted by one, and Y
// mirrored; all arithmetic wraps in 16 bits.
inline int16_t PicFromXZ(int16_t v)
{
    return v >= 0 ? v : int16_t(v + 1);
}
inline int16_t PicToXZ(int16_t w)
{
    return w > 0 ? w : int16_t(uint16_t(w) - 1u);
}
inline int16_t PicFromY(int16_t v)
{
    return v >= 0 ? int16_t(-v) : int16_t(-1 - v);
}
inline int16_t PicToY(int16_t w)
{
    return w > 0 ? int16_t(-(w + 1)) : int16_t(uint16_t(0u - uint16_t(w)));
}

constexpr int PicHeaderSize = 14;
constexpr int RecordSize = 8;
constexpr int CatHeaderSize = 3;

// In a language: column 0 English, 1 German.
QString TooManyPoints(qsizetype count, int column = 0)
{
    return (column == 1 ? QStringLiteral("ein Frame von %1 Punkten ist mehr als die %2, die eine Datei fassen kann")
                        : QStringLiteral("a frame of %1 points is more than the %2 a file can hold"))
        .arg(count)
        .arg(TZLT_Frame::MaxPoints);
}

EZLT_Error TooManyPointsError(qsizetype count)
{
    return EZLT_Error(TooManyPoints(count, 0), TooManyPoints(count, 1));
}

EZLT_File CannotWrite(const QString& fileName, qsizetype count)
{
    return EZLT_File(QStringLiteral("Cannot write file '%1': %2").arg(fileName, TooManyPoints(count, 0)),
                     QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: %2")
                         .arg(fileName, TooManyPoints(count, 1)));
}

} // namespace

EZLT_Index::EZLT_Index(qsizetype index, qsizetype count)
    : EZLT_Error(count > 0 ? QStringLiteral("List index %1 out of bounds (0..%2)").arg(index).arg(count - 1)
                           : QStringLiteral("List index %1 out of bounds (the list is empty)").arg(index),
                 count > 0 ? QStringLiteral("Listenindex %1 außerhalb der Grenzen (0..%2)").arg(index).arg(count - 1)
                           : QStringLiteral("Listenindex %1 außerhalb der Grenzen (die Liste ist leer)").arg(index))
{
}

// ---- TZLT_Frame

int TZLT_Frame::Add(const TZLT_Point& point)
{
    // Both file formats count points in 16 bits.
    if (Count() >= MaxPoints)
        throw EZLT_Error(QStringLiteral("A frame holds at most %1 points").arg(MaxPoints),
                         QStringLiteral("Ein Frame hat höchstens %1 Punkte").arg(MaxPoints));
    FPoints.push_back(point);
    return Count() - 1;
}

const TZLT_Point& TZLT_Frame::GetPoint(int index) const
{
    if (index < 0 || index >= Count())
        throw EZLT_Index(index, Count());
    return FPoints[size_t(index)];
}

const TZLT_Point& TZLT_Frame::Last() const
{
    return GetPoint(Count() - 1);
}

void TZLT_Frame::Clear() noexcept
{
    Points().swap(FPoints); // frees the storage too
}

std::unique_ptr<TZLT_Frame> TZLT_Frame::Clone() const
{
    auto copy = std::make_unique<TZLT_Frame>();
    copy->FPoints.reserve(FPoints.size());
    copy->FPoints.assign(FPoints.begin(), FPoints.end());
    return copy;
}

TZLT_FramePath::TZLT_FramePath(const TZLT_Point* points, int count, const TZLT_Rect& rect,
                               const TZLT_Pal& palette) noexcept
    : FPoints(points), FCount(count), FLeft(rect.Left), FTop(rect.Top), FWidth(std::abs(rect.Right - rect.Left)),
      FHeight(std::abs(rect.Bottom - rect.Top)), FPalette(palette)
{
}

void TZLT_Canvas::DrawPath(const TZLT_FramePath& path)
{
    if (path.Count() == 0)
        return;
    MoveTo(path.X(0), path.Y(0));
    const TZLT_PalEntry& c0 = path.Colour(0);
    SetPenColor(c0.Red, c0.Green, c0.Blue);
    for (int i = 1, n = path.Count(); i < n; ++i) {
        const TZLT_PalEntry& c = path.Colour(i);
        SetPenColor(c.Red, c.Green, c.Blue);
        if (path.Blanked(i))
            MoveTo(path.X(i), path.Y(i));
        else
            LineTo(path.X(i), path.Y(i));
    }
}

void TZLT_Frame::Draw(TZLT_Canvas& canvas, const TZLT_Rect& rect, const TZLT_Pal& palette) const
{
    if (FPoints.empty())
        return;
    canvas.DrawPath(TZLT_FramePath(FPoints.data(), Count(), rect, palette));
}

QByteArray TZLT_Frame::ToPicBytes() const
{
    const int n = Count();
    if (n > MaxPoints)
        throw TooManyPointsError(n);
    QByteArray bytes(PicHeaderSize + RecordSize * n, '\0');
    char* out = bytes.data();
    out[1] = 5;
    WriteBE16(out + 6, uint16_t(n));
    out[9] = 1;
    out += PicHeaderSize;
    for (int i = 0; i < n; ++i, out += RecordSize) {
        const TZLT_Point& p = FPoints[size_t(i)];
        out[0] = char(uint8_t(p.Aux() << 1));
        out[1] = char(i + 1 < n ? FPoints[size_t(i) + 1].Status() : 0x80);
        WriteBE16(out + 2, uint16_t(PicFromXZ(p.X())));
        WriteBE16(out + 4, uint16_t(PicFromY(p.Y())));
        WriteBE16(out + 6, uint16_t(PicFromXZ(p.Z())));
    }
    return bytes;
}

void TZLT_Frame::SaveToPicFile(const QString& fileName) const
{
    if (FPoints.empty())
        return;
    if (Count() > MaxPoints)
        throw CannotWrite(fileName, Count());
    const QByteArray bytes = ToPicBytes();
    ZLT_Files::WriteFileAtomically(fileName, QByteArrayView(bytes));
}

void TZLT_Frame::ExportToPicFile(const QString& fileName) const
{
    if (FPoints.empty())
        return;
    if (Count() > MaxPoints)
        throw CannotWrite(fileName, Count());
    ZLT_Files::ReplaceFile(fileName, ToPicBytes());
}

void TZLT_Frame::LoadFromPicBytes(QByteArrayView data, const QString& fileName)
{
    if (data.size() < PicHeaderSize)
        throw EZLT_File(QStringLiteral("File is too short for a PIC file: '%1'").arg(fileName),
                        QStringLiteral("Die Datei ist zu kurz für eine PIC Datei: '%1'").arg(fileName));
    const char* in = data.data();
    // A file cut short keeps the records it holds in full.
    const qsizetype available = (data.size() - PicHeaderSize) / RecordSize;
    const int n = int(std::min<qsizetype>(ReadBE16(in + 6), available));
    in += PicHeaderSize;

    Points points;
    points.reserve(size_t(n));
    uint8_t status = 192;
    for (int i = 0; i < n; ++i, in += RecordSize) {
        points.push_back(TZLT_Point(PicToXZ(int16_t(ReadBE16(in + 2))), PicToY(int16_t(ReadBE16(in + 4))),
                                    PicToXZ(int16_t(ReadBE16(in + 6))), status,
                                    uint8_t(uint8_t(in[0]) >> 1)));
        status = uint8_t(in[1]);
    }
    FPoints.swap(points);
}

void TZLT_Frame::LoadFromPicFile(const QString& fileName)
{
    // A picture holds at most 65535 records: a longer file costs no more.
    const QByteArray data =
        ZLT_Files::ReadFrameFile(fileName, PicHeaderSize + qint64(RecordSize) * MaxPoints);
    if (data.startsWith("ILDA"))
        throw EZLT_Ilda_Content(QStringLiteral("File is an ILDA file, not a PIC file: '%1'").arg(fileName),
                                QStringLiteral("Die Datei ist eine ILDA Datei, keine PIC Datei: '%1'").arg(fileName));
    LoadFromPicBytes(data, fileName);
}

// ---- TZLT_FrameList

void TZLT_FrameList::Check(int index) const
{
    if (index < 0 || index >= Count())
        throw EZLT_Index(index, Count());
}

// Every slot holds a frame object; an empty slot is an empty frame.
static void CheckFrame(const std::unique_ptr<TZLT_Frame>& frame)
{
    if (!frame)
        throw EZLT_Error(QStringLiteral("A frame list cannot hold a missing frame"),
                         QStringLiteral("Eine Frame-Liste kann keinen fehlenden Frame enthalten"));
}

int TZLT_FrameList::Add(std::unique_ptr<TZLT_Frame> frame)
{
    CheckFrame(frame);
    FFrames.push_back(std::move(frame));
    return Count() - 1;
}

void TZLT_FrameList::Insert(int index, std::unique_ptr<TZLT_Frame> frame)
{
    // Inserting at Count appends, so the valid range is 0..Count.
    if (index < 0 || index > Count())
        throw EZLT_Index(index, Count() + 1);
    CheckFrame(frame);
    FFrames.insert(FFrames.begin() + index, std::move(frame));
}

void TZLT_FrameList::InsertRange(int index, std::vector<std::unique_ptr<TZLT_Frame>> frames)
{
    if (index < 0 || index > Count())
        throw EZLT_Index(index, Count() + 1);
    for (const auto& frame : frames)
        CheckFrame(frame);
    FFrames.insert(FFrames.begin() + index, std::make_move_iterator(frames.begin()),
                   std::make_move_iterator(frames.end()));
}

TZLT_Frame& TZLT_FrameList::GetFrame(int index)
{
    Check(index);
    return *FFrames[size_t(index)];
}

const TZLT_Frame& TZLT_FrameList::GetFrame(int index) const
{
    Check(index);
    return *FFrames[size_t(index)];
}

std::unique_ptr<TZLT_Frame> TZLT_FrameList::SetFrame(int index, std::unique_ptr<TZLT_Frame> frame)
{
    Check(index);
    CheckFrame(frame);
    std::swap(FFrames[size_t(index)], frame);
    return frame;
}

std::unique_ptr<TZLT_Frame> TZLT_FrameList::Delete(int index)
{
    Check(index);
    auto frame = std::move(FFrames[size_t(index)]);
    FFrames.erase(FFrames.begin() + index);
    return frame;
}

void TZLT_FrameList::Truncate(int count) noexcept
{
    if (count >= 0 && count < Count())
        FFrames.erase(FFrames.begin() + count, FFrames.end());
}

void TZLT_FrameList::CheckBlock(int index, const std::vector<std::unique_ptr<TZLT_Frame>>& block) const
{
    const qsizetype room = qsizetype(Count()) - qsizetype(block.size());
    if (room < 0)
        throw EZLT_Error(
            QStringLiteral("A list of %1 frames cannot exchange %2 frames").arg(Count()).arg(block.size()),
            QStringLiteral("Eine Liste von %1 Frames kann keine %2 Frames tauschen").arg(Count()).arg(block.size()));
    if (index < 0 || index > room)
        throw EZLT_Index(index, room + 1);
    for (const auto& frame : block)
        CheckFrame(frame);
}

void TZLT_FrameList::InsertExchanging(int index, std::vector<std::unique_ptr<TZLT_Frame>>& block)
{
    CheckBlock(index, block);
    const auto tail = FFrames.end() - std::ptrdiff_t(block.size());
    std::swap_ranges(block.begin(), block.end(), tail);
    std::rotate(FFrames.begin() + index, tail, FFrames.end());
}

void TZLT_FrameList::RemoveExchanging(int index, std::vector<std::unique_ptr<TZLT_Frame>>& block)
{
    CheckBlock(index, block);
    const auto first = FFrames.begin() + index;
    std::rotate(first, first + std::ptrdiff_t(block.size()), FFrames.end());
    std::swap_ranges(block.begin(), block.end(), FFrames.end() - std::ptrdiff_t(block.size()));
}

void TZLT_FrameList::Clear() noexcept
{
    while (!FFrames.empty())
        FFrames.pop_back(); // last to first
    std::vector<std::unique_ptr<TZLT_Frame>>().swap(FFrames);
}

// ---- TZLT_Cat

TZLT_Cat::TZLT_Cat()
{
    for (int i = 0; i < SlotCount; ++i)
        Frames.Add(std::make_unique<TZLT_Frame>());
}

namespace {

constexpr qsizetype CatReadBuffer = 1 << 20;
// Progress is reported after about this many bytes, never per frame.
constexpr qint64 CatProgressStep = 256 << 10;

// Reads frame blocks from source into points, one list per slot, as far as
// the blocks lead: whole blocks from the start, at most 32767 of them; a
// count beyond the data keeps the records that are there in full, and the
// reading ends there.
template<typename Source>
void ReadCatalog(Source& source, std::vector<TZLT_Frame::Points>& loaded,
                 const ZLT_Files::ProgressFunction& progress)
{
    qint64 next = CatProgressStep;
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
        if (progress && source.Position() >= next) {
            if (!progress(source.Position(), source.Size()))
                throw EZLT_Aborted();
            next = source.Position() + CatProgressStep;
        }
        if (source.Fill(CatHeaderSize) < CatHeaderSize)
            break; // the end, or a frame header cut short
        const int promised = ReadLE16(source.Data() + 1);
        source.Skip(CatHeaderSize);
        if (promised == 0)
            continue;
        TZLT_Frame::Points& points = loaded[size_t(slot)];
        points.resize(size_t(promised));
        char* raw = reinterpret_cast<char*>(points.data());
        const int n = int(source.Take(raw, qint64(promised) * RecordSize) / RecordSize);
        if (n < promised) {
            points.resize(size_t(n));
            points.shrink_to_fit(); // nothing kept for the records that are not there
        }
        if constexpr (!HostIsLittleEndian)
            DecodeCatRecords(raw, n, points.data()); // in place, record by record
        if (n < promised)
            break; // the file ends inside this frame's records
    }
}

// Appends the points read to the frames', taking them over where a frame is empty.
void Append(TZLT_FrameList& frames, std::vector<TZLT_Frame::Points>& loaded)
{
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
        TZLT_Frame::Points& read = loaded[size_t(slot)];
        if (read.empty())
            continue;
        TZLT_Frame::Points& points = frames.GetFrame(slot).AllPoints();
        if (points.empty())
            points.swap(read);
        else
            points.insert(points.end(), read.begin(), read.end());
    }
}

} // namespace

void TZLT_Cat::LoadFromBytes(QByteArrayView data)
{
    ZLT_Files::TByteReader source(data);
    std::vector<TZLT_Frame::Points> loaded(SlotCount);
    ReadCatalog(source, loaded, {});
    Append(Frames, loaded);
}

void TZLT_Cat::LoadFromFile(const QString& fileName, const ZLT_Files::ProgressFunction& progress)
{
    ZLT_Files::TFileReader source(fileName, CatReadBuffer);
    // An ILDA file read as a catalog would be garbage that a save writes
    // over the user's frames.
    if (source.Fill(4) == 4 && std::memcmp(source.Data(), "ILDA", 4) == 0)
        throw EZLT_Ilda_Content(QStringLiteral("File is an ILDA file, not a catalog: '%1'").arg(fileName),
                                QStringLiteral("Die Datei ist eine ILDA Datei, kein Katalog: '%1'").arg(fileName));
    // Read aside first: a failure or Cancel leaves the catalog as it was.
    std::vector<TZLT_Frame::Points> loaded(SlotCount);
    ReadCatalog(source, loaded, progress);
    Append(Frames, loaded);
}

namespace {

// The size of the catalog file; raises for a frame too long to be counted.
qsizetype CatFileSize(const TZLT_FrameList& frames)
{
    qsizetype size = qsizetype(TZLT_Cat::SlotCount) * CatHeaderSize;
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
        const int n = frames.GetFrame(slot).Count();
        if (n > TZLT_Frame::MaxPoints)
            throw TooManyPointsError(n);
        size += qsizetype(n) * RecordSize;
    }
    return size;
}

// Encodes all frame blocks into buffer, handing it to flush(used) whenever
// it is full and once at the end.
template<typename Flush>
void EncodeCatalog(const TZLT_FrameList& frames, char* buffer, qsizetype capacity, Flush flush)
{
    qsizetype used = 0;
    for (int slot = 0; slot < TZLT_Cat::SlotCount; ++slot) {
        const TZLT_Frame::Points& points = frames.GetFrame(slot).AllPoints();
        const int n = int(points.size());
        if (capacity - used < CatHeaderSize) {
            flush(used);
            used = 0;
        }
        char* out = buffer + used;
        out[0] = 0;
        WriteLE16(out + 1, uint16_t(n));
        used += CatHeaderSize;
        int done = 0;
        while (done < n) {
            if (capacity - used < RecordSize) {
                flush(used);
                used = 0;
            }
            const int fit = int(std::min<qsizetype>(n - done, (capacity - used) / RecordSize));
            EncodeCatRecords(points.data() + done, fit, buffer + used);
            used += qsizetype(fit) * RecordSize;
            done += fit;
        }
    }
    flush(used);
}

} // namespace

void TZLT_Cat::WriteTo(QIODevice& device) const
{
    // Frames are gathered into chunks of a few MiB: few write calls, and
    // little memory beyond the catalog's own.
    constexpr qsizetype ChunkSize = 4 << 20;
    const qsizetype size = CatFileSize(Frames);
    QByteArray chunk(std::min(size, ChunkSize), Qt::Uninitialized);
    EncodeCatalog(Frames, chunk.data(), chunk.size(), [&](qsizetype used) {
        if (used > 0 && device.write(chunk.constData(), used) != used)
            throw EZLT_File(device.errorString());
    });
}

QByteArray TZLT_Cat::ToBytes() const
{
    QByteArray bytes(CatFileSize(Frames), Qt::Uninitialized);
    EncodeCatalog(Frames, bytes.data(), bytes.size(), [](qsizetype) {});
    return bytes;
}

namespace {

// Writes the frame blocks straight from the frames' memory with gathered
// writes, so the points are not copied through a buffer first (catalog
// records are the points' memory layout on a little-endian host).
bool WriteGathered(const TZLT_FrameList& frames, int fd, const ZLT_Files::ProgressFunction& progress)
{
    const qint64 total = progress ? qint64(CatFileSize(frames)) : 0;
    qint64 written = 0;
    constexpr int Batch = 512; // frames per call: at most 1024 pieces
    char headers[Batch * CatHeaderSize];
    iovec iov[2 * Batch];
    for (int first = 0; first < TZLT_Cat::SlotCount; first += Batch) {
        const int end = std::min(first + Batch, TZLT_Cat::SlotCount);
        int count = 0;
        for (int slot = first; slot < end; ++slot) {
            const TZLT_Frame::Points& points = frames.GetFrame(slot).AllPoints();
            char* header = headers + CatHeaderSize * (slot - first);
            header[0] = 0;
            WriteLE16(header + 1, uint16_t(points.size()));
            iov[count++] = {header, size_t(CatHeaderSize)};
            if (!points.empty())
                iov[count++] = {const_cast<TZLT_Point*>(points.data()), points.size() * sizeof(TZLT_Point)};
            written += qint64(CatHeaderSize + points.size() * sizeof(TZLT_Point));
        }
        if (!ZLT_Files::WriteVectors(fd, iov, count))
            return false;
        if (progress && !progress(written, total))
            throw EZLT_Aborted();
    }
    return true;
}

} // namespace

void TZLT_Cat::SaveToFile(const QString& fileName, const ZLT_Files::ProgressFunction& progress) const
{
    // Checked before the file is touched: a wrapped count would corrupt the file.
    for (int slot = 0; slot < Frames.Count(); ++slot)
        if (Frames.GetFrame(slot).Count() > TZLT_Frame::MaxPoints)
            throw EZLT_File(QStringLiteral("Cannot write file '%1': frame %2: %3")
                                .arg(fileName)
                                .arg(slot)
                                .arg(TooManyPoints(Frames.GetFrame(slot).Count())),
                            QStringLiteral("Die Datei '%1' kann nicht geschrieben werden: Frame %2: %3")
                                .arg(fileName)
                                .arg(slot)
                                .arg(TooManyPoints(Frames.GetFrame(slot).Count(), 1)));
    ZLT_Files::WriteFileAtomically(fileName, [&](ZLT_Files::TWriteDevice& device) {
        if constexpr (HostIsLittleEndian) {
            if (WriteGathered(Frames, device.Handle(), progress))
                return true;
            device.Failed(errno);
            return false;
        }
        try {
            WriteTo(device);
        } catch (const EZLT_File&) {
            return false;
        }
        return true;
    });
}
