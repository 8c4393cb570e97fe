#include "ConvertOutputs.h"

#include "ZLT_FileNames.h"
#include "ZLT_Files.h"
#include "ZLT_Ilda.h"
#include "ZLT_PicFolder.h"

#include <array>

namespace {

int UsedFrames(const TZLT_FrameList& frames)
{
    int used = 0;
    for (int i = 0; i < frames.Count(); ++i)
        used += frames.GetFrame(i).Used() ? 1 : 0;
    return used;
}

TIldaKind IldaKindOf(const TConvertJob& job)
{
    return job.Ilda ? *job.Ilda : TIldaKind{ZLT_Ilda::TFormat::TrueColor3D, ZLT_Ilda::TPaletteSection::Included,
                                            QStringLiteral("4")};
}

void WriteCatalog(const TConvertJob& job, TZLT_FrameList& frames)
{
    // The catalog takes the frames over, the slots after them empty.
    TZLT_Cat cat;
    cat.Frames = std::move(frames);
    while (cat.Frames.Count() < TZLT_Cat::SlotCount)
        cat.Frames.Add(std::make_unique<TZLT_Frame>());
    cat.SaveToFile(job.Output);
}

void WritePicture(const TConvertJob& job, const TZLT_FrameList& frames)
{
    for (int i = 0; i < frames.Count(); ++i)
        if (frames.GetFrame(i).Used()) {
            frames.GetFrame(i).SaveToPicFile(job.Output);
            return;
        }
}

void WriteFolder(const TConvertJob& job, const TZLT_FrameList& frames,
                 const std::function<void(qint64, qint64)>& progress)
{
    const QString& folder = job.Output;
    ZLT_Files::CreateFolder(folder);
    const int used = UsedFrames(frames);
    // Each file replaces its old one only when complete; the folder is
    // synced once, also after a failure, for the files that are done.
    try {
        int done = 0;
        for (int i = 0; i < frames.Count(); ++i) {
            const TZLT_Frame& frame = frames.GetFrame(i);
            if (!frame.Used())
                continue;
            frame.ExportToPicFile(ZLT_PicFolder::Join(folder, ZLT_PicFolder::FileName(i)));
            progress(++done, used);
        }
    } catch (...) {
        try {
            ZLT_Files::SyncFolder(folder);
        } catch (...) {
        }
        throw;
    }
    ZLT_Files::SyncFolder(folder);
}

} // namespace

namespace ConvertOutputs {

TOutputKind KindOf(const QString& name)
{
    if (name.endsWith(QLatin1Char('/')) || ZLT_FileNames::IsDirectory(name))
        return TOutputKind::Folder;
    static const std::array<std::pair<const char*, TOutputKind>, 3> Extensions{{
        {".cat", TOutputKind::Catalog},
        {".ild", TOutputKind::Ilda},
        {".pic", TOutputKind::Picture},
    }};
    for (const auto& [extension, kind] : Extensions)
        if (name.endsWith(QLatin1String(extension), Qt::CaseInsensitive) && name.size() > 4)
            return kind;
    throw EConvertUsage(
        QStringLiteral("the name of the output '%1' tells no kind of file: .cat, .ild, .pic or a folder ending in /")
            .arg(name));
}

void Check(const TConvertJob& job, const TZLT_FrameList& frames)
{
    const int used = UsedFrames(frames);
    switch (job.OutputKind) {
    case TOutputKind::Catalog:
        if (frames.Count() > TZLT_Cat::SlotCount)
            throw EConvertUsage(QStringLiteral("%1 frames do not fit into the %2 slots of the catalog '%3'")
                                    .arg(frames.Count())
                                    .arg(TZLT_Cat::SlotCount)
                                    .arg(job.Output));
        return;
    case TOutputKind::Picture:
        if (used != 1)
            throw EConvertUsage(QStringLiteral("a picture file holds one frame, but %1 frames are used: '%2'")
                                    .arg(used)
                                    .arg(job.Output));
        return;
    case TOutputKind::Ilda:
    case TOutputKind::Folder:
        if (used == 0)
            throw EConvertUsage(QStringLiteral("no frame is used: nothing to write to '%1'").arg(job.Output));
        return;
    }
}

void Write(const TConvertJob& job, TZLT_FrameList& frames, const TZLT_Pal& palette,
           const std::function<void(qint64, qint64)>& progress)
{
    switch (job.OutputKind) {
    case TOutputKind::Catalog:
        WriteCatalog(job, frames);
        return;
    case TOutputKind::Picture:
        WritePicture(job, frames);
        return;
    case TOutputKind::Folder:
        WriteFolder(job, frames, progress);
        return;
    case TOutputKind::Ilda: {
        const TIldaKind kind = IldaKindOf(job);
        ZLT_Ilda::WriteFile(job.Output, frames, 0, frames.Count(), palette, kind.Format, kind.Section,
                            [&](qint64 done, qint64 total) {
                                progress(done, total);
                                return true;
                            });
        return;
    }
    }
}

QString Describe(const TConvertJob& job)
{
    switch (job.OutputKind) {
    case TOutputKind::Catalog:
        return QStringLiteral("catalog");
    case TOutputKind::Picture:
        return QStringLiteral("picture file");
    case TOutputKind::Folder:
        return QStringLiteral("picture files");
    case TOutputKind::Ilda:
        break;
    }
    const QString name = IldaKindOf(job).Name;
    if (name == QLatin1String("0") || name == QLatin1String("1"))
        return QStringLiteral("ILDA formats 2 + %1").arg(name);
    if (name == QLatin1String("1-standard"))
        return QStringLiteral("ILDA format 1, standard colours");
    return QStringLiteral("ILDA format %1").arg(name);
}

} // namespace ConvertOutputs
