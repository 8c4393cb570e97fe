#include "ConvertInputs.h"

#include "ConvertJob.h"
#include "ZLT_FileNames.h"
#include "ZLT_Files.h"
#include "ZLT_Ilda.h"
#include "ZLT_PicFolder.h"

namespace {

bool HasExtension(const QString& name, const char* extension)
{
    return name.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
}

// Moves every frame of from to the end of to.
void Append(TZLT_FrameList& to, TZLT_FrameList&& from)
{
    if (to.Count() == 0) {
        to = std::move(from);
        return;
    }
    std::vector<std::unique_ptr<TZLT_Frame>> frames(size_t(from.Count()));
    for (int i = from.Count() - 1; i >= 0; --i)
        frames[size_t(i)] = from.Delete(i); // from the end: nothing moves
    to.InsertRange(to.Count(), std::move(frames));
}

void ReadCatalog(const QString& name, const TZLT_Pal&, TZLT_FrameList& frames, QStringList&,
                 const ConvertInputs::TProgress& progress)
{
    TZLT_Cat cat;
    cat.LoadFromFile(name, [&](qint64 done, qint64 total) {
        progress(done, total);
        return true;
    });
    Append(frames, std::move(cat.Frames));
}

void ReadPicture(const QString& name, const TZLT_Pal&, TZLT_FrameList& frames, QStringList&,
                 const ConvertInputs::TProgress&)
{
    auto frame = std::make_unique<TZLT_Frame>();
    frame->LoadFromPicFile(name);
    frames.Add(std::move(frame));
}

void ReadIlda(const QString& name, const TZLT_Pal& palette, TZLT_FrameList& frames, QStringList& warnings,
              const ConvertInputs::TProgress& progress)
{
    ZLT_Ilda::TReadResult result = ZLT_Ilda::ReadFile(name, palette, [&](qint64 done, qint64 total) {
        progress(done, total);
        return true;
    });
    if (!result.Warning.isEmpty())
        warnings << result.Warning;
    Append(frames, std::move(result.Frames));
}

void ReadFolder(const QString& name, const TZLT_Pal&, TZLT_FrameList& frames, QStringList&,
                const ConvertInputs::TProgress& progress)
{
    const QStringList files = ZLT_PicFolder::PicFiles(name);
    if (files.isEmpty())
        throw EConvertUsage(QStringLiteral("the folder '%1' holds no .pic file").arg(name));
    TZLT_FrameList read;
    for (qsizetype i = 0; i < files.size(); ++i) {
        auto frame = std::make_unique<TZLT_Frame>();
        frame->LoadFromPicFile(ZLT_PicFolder::Join(name, files[i]));
        read.Add(std::move(frame));
        progress(i + 1, files.size());
    }
    Append(frames, std::move(read));
}

} // namespace

namespace ConvertInputs {

const std::vector<TReader>& Readers()
{
    static const std::vector<TReader> readers{
        {"folder", [](const QString& name) { return ZLT_FileNames::IsDirectory(name); }, ReadFolder},
        {"ILDA file",
         [](const QString& name) { return ZLT_Files::StartsWithIlda(name) || HasExtension(name, ".ild"); },
         ReadIlda},
        {"catalog", [](const QString& name) { return HasExtension(name, ".cat"); }, ReadCatalog},
        {"picture file", [](const QString& name) { return HasExtension(name, ".pic"); }, ReadPicture},
    };
    return readers;
}

void Read(const QString& name, const TZLT_Pal& palette, TZLT_FrameList& frames, QStringList& warnings,
          const TProgress& progress)
{
    for (const TReader& reader : Readers())
        if (reader.Recognises(name)) {
            reader.Read(name, palette, frames, warnings, progress);
            return;
        }
    // Missing or unreadable: the data library's message names the reason.
    ZLT_Files::ReadFrameFile(name, 4);
    throw EConvertUsage(
        QStringLiteral("'%1' is no frame file: a catalog (.cat), a picture file (.pic), an ILDA file or a folder")
            .arg(name));
}

} // namespace ConvertInputs
