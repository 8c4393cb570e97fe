#pragma once

#include "ZLT_Error.h"
#include "ZLT_Palette.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <new>
#include <vector>

class QIODevice;

// One position of the beam: 8 bytes, laid out like a catalog point record.
class TZLT_Point
{
public:
    static constexpr uint8_t ColorMask = 0x3F;
    static constexpr uint8_t BlankBit = 0x40;

    constexpr TZLT_Point(int16_t x, int16_t y, int16_t z, uint8_t status, uint8_t aux) noexcept
        : FX(x), FY(y), FZ(z), FStatus(status), FAux(aux)
    {
    }

    constexpr int16_t X() const noexcept { return FX; }
    constexpr int16_t Y() const noexcept { return FY; }
    constexpr int16_t Z() const noexcept { return FZ; }
    constexpr uint8_t Status() const noexcept { return FStatus; }
    constexpr uint8_t Aux() const noexcept { return FAux; }

    constexpr uint8_t ColorIndex() const noexcept { return FStatus & ColorMask; }
    constexpr bool Blanked() const noexcept { return (FStatus & BlankBit) != 0; }

    // (coordinate + 32768) / 65536: exact in double.
    constexpr double NormX() const noexcept { return Norm(FX); }
    constexpr double NormY() const noexcept { return Norm(FY); }
    constexpr double NormZ() const noexcept { return Norm(FZ); }

    friend constexpr bool operator==(const TZLT_Point&, const TZLT_Point&) = default;

private:
    template<typename T>
    friend struct TZLT_PointAllocator;
    TZLT_Point() noexcept = default; // uninitialised: only for storage that is overwritten at once

    static constexpr double Norm(int16_t v) noexcept { return (int32_t(v) + 32768) * (1.0 / 65536.0); }

    int16_t FX;
    int16_t FY;
    int16_t FZ;
    uint8_t FStatus;
    uint8_t FAux;
};

static_assert(sizeof(TZLT_Point) == 8);

// Allocator whose resize() leaves new points uninitialised, so loaders can
// fill a frame straight from the file bytes without writing it twice.
template<typename T>
struct TZLT_PointAllocator : std::allocator<T>
{
    template<typename U>
    struct rebind
    {
        using other = TZLT_PointAllocator<U>;
    };
    TZLT_PointAllocator() = default;
    template<typename U>
    TZLT_PointAllocator(const TZLT_PointAllocator<U>&) noexcept
    {
    }

    template<typename U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template<typename U, typename... Args>
    void construct(U* p, Args&&... args)
    {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

// A rectangle in a drawing surface's pixels. Right and Bottom are the far
// edges as drawing scales to them: the width is |Right - Left|.
struct TZLT_Rect
{
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
};

// A frame as Draw traces it, scaled into a rectangle: the pen moves to point
// 0, then goes to each further point in turn, moving dark into a blanked
// point and drawing a line into any other, in the colour of the point it
// goes to. Holds no copy: the points, the palette and the frame must outlive
// it.
class TZLT_FramePath
{
public:
    TZLT_FramePath(const TZLT_Point* points, int count, const TZLT_Rect& rect, const TZLT_Pal& palette) noexcept;

    int Count() const noexcept { return FCount; }
    const TZLT_Point& Point(int i) const noexcept { return FPoints[i]; }
    int X(int i) const noexcept { return FLeft + Scale(int(FPoints[i].X()) + 32768, FWidth); }
    int Y(int i) const noexcept { return FTop + Scale(int(FPoints[i].Y()) + 32768, FHeight); }
    // Point 0 is always reached by a move.
    bool Blanked(int i) const noexcept { return i == 0 || FPoints[i].Blanked(); }
    const TZLT_PalEntry& Colour(int i) const noexcept { return FPalette.ColorOf(FPoints[i].ColorIndex()); }
    const TZLT_Pal& Palette() const noexcept { return FPalette; }

    int Left() const noexcept { return FLeft; }
    int Top() const noexcept { return FTop; }
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }

    // The integer nearest to k * size / 65536, halves to even; exact.
    static int Scale(int k, int size) noexcept
    {
        const int64_t product = int64_t(k) * size;
        return int((product + 0x7FFF + ((product >> 16) & 1)) >> 16);
    }

private:
    const TZLT_Point* FPoints;
    int FCount;
    int FLeft;
    int FTop;
    int FWidth;
    int FHeight;
    const TZLT_Pal& FPalette;
};

// The drawing surface frames are drawn on.
class TZLT_Canvas
{
public:
    virtual ~TZLT_Canvas() = default;
    virtual void SetPenColor(uint8_t red, uint8_t green, uint8_t blue) = 0;
    virtual void MoveTo(int x, int y) = 0;
    virtual void LineTo(int x, int y) = 0;
    // Traces a whole frame. By default one step at a time: move to point 0,
    // its pen colour, then per further point its pen colour and a move or a
    // line. A surface may draw it another way if the pixels and the pen's
    // end state come out the same.
    virtual void DrawPath(const TZLT_FramePath& path);
};

// One drawing: an ordered list of at most 65535 points.
class TZLT_Frame
{
public:
    using Points = std::vector<TZLT_Point, TZLT_PointAllocator<TZLT_Point>>;
    static constexpr int MaxPoints = 65535;

    TZLT_Frame() = default;
    TZLT_Frame(const TZLT_Frame&) = delete;
    TZLT_Frame& operator=(const TZLT_Frame&) = delete;

    int Count() const noexcept { return int(FPoints.size()); }
    bool Used() const noexcept { return !FPoints.empty(); }
    int Add(const TZLT_Point& point);
    const TZLT_Point& GetPoint(int index) const;
    const TZLT_Point& Last() const;
    void Clear() noexcept;
    std::unique_ptr<TZLT_Frame> Clone() const;

    // Draws the frame scaled into rect in the palette's colours; allocates nothing.
    void Draw(TZLT_Canvas& canvas, const TZLT_Rect& rect, const TZLT_Pal& palette) const;

    // Writes the frame as a picture file; an empty frame writes nothing.
    void SaveToPicFile(const QString& fileName) const;
    // Raises EZLT_Ilda_Content for an ILDA file.
    void LoadFromPicFile(const QString& fileName);
    // SaveToPicFile for bulk exports: replaces the file only once the new one
    // is complete, but without a sync per file (ZLT_Files::ReplaceFile).
    void ExportToPicFile(const QString& fileName) const;

    // The picture-file parser and writer behind the two above. fileName
    // only names the data in errors.
    void LoadFromPicBytes(QByteArrayView data, const QString& fileName);
    QByteArray ToPicBytes() const;

    // All points at once, for loaders, writers and tests.
    const Points& AllPoints() const noexcept { return FPoints; }
    Points& AllPoints() noexcept { return FPoints; }

    friend bool operator==(const TZLT_Frame& a, const TZLT_Frame& b) { return a.FPoints == b.FPoints; }

private:
    Points FPoints;
};

// An ordered list of frames that owns them.
class TZLT_FrameList
{
public:
    TZLT_FrameList() = default;
    TZLT_FrameList(TZLT_FrameList&&) noexcept = default;
    TZLT_FrameList& operator=(TZLT_FrameList&&) noexcept = default;

    int Count() const noexcept { return int(FFrames.size()); }
    int Add(std::unique_ptr<TZLT_Frame> frame);
    void Insert(int index, std::unique_ptr<TZLT_Frame> frame);
    // Inserts several frames before index at once, keeping their order.
    void InsertRange(int index, std::vector<std::unique_ptr<TZLT_Frame>> frames);
    TZLT_Frame& GetFrame(int index);
    const TZLT_Frame& GetFrame(int index) const;
    std::unique_ptr<TZLT_Frame> SetFrame(int index, std::unique_ptr<TZLT_Frame> frame);
    std::unique_ptr<TZLT_Frame> Delete(int index);
    // Frees every frame from index on.
    void Truncate(int count) noexcept;
    // Inserts the frames of block before index and takes as many frames off
    // the end in exchange: afterwards block holds those, in their order, and
    // Count is unchanged. RemoveExchanging undoes it: it takes the
    // block.size() frames from index on into block and appends the frames
    // block held. Both only move pointers and allocate nothing; on an error
    // neither the list nor block changes.
    void InsertExchanging(int index, std::vector<std::unique_ptr<TZLT_Frame>>& block);
    void RemoveExchanging(int index, std::vector<std::unique_ptr<TZLT_Frame>>& block);
    void Clear() noexcept;

private:
    void Check(int index) const;
    void CheckBlock(int index, const std::vector<std::unique_ptr<TZLT_Frame>>& block) const;
    std::vector<std::unique_ptr<TZLT_Frame>> FFrames;
};

// A catalog: always exactly 32767 frame slots.
class TZLT_Cat
{
public:
    static constexpr int SlotCount = 32767;

    TZLT_Cat();

    TZLT_FrameList Frames;

    // Appends the file's frames to the slots' points; meant for a new
    // catalog. Reads only as far as the frame blocks lead, so a huge file
    // costs no more memory than its frames. An ILDA file raises
    // EZLT_Ilda_Content. progress (bytes read of the file's size) may
    // cancel; a failure or Cancel leaves the catalog as it was.
    void LoadFromFile(const QString& fileName, const std::function<bool(qint64, qint64)>& progress = {});
    // Writes all 32767 frame blocks, replacing the file only when all is
    // written. progress (bytes written of the file's size) may cancel, which
    // leaves the old file as it was.
    void SaveToFile(const QString& fileName, const std::function<bool(qint64, qint64)>& progress = {}) const;

    // The parser and writer behind the two above.
    void LoadFromBytes(QByteArrayView data);
    void WriteTo(QIODevice& device) const;
    QByteArray ToBytes() const;
};
