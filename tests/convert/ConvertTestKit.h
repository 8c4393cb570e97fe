#pragma once

// What the converter's tests share: the frames they read and write, and
// the program run as a process.

#include "FrameTools.h"
#include "ZLT_Catalog.h"
#include "ZLT_Files.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QString>
#include <QStringList>
#include <QTest>

#include <sys/resource.h>

namespace ConvertTest {

// A frame of random points in palette colours, some blanked.
inline std::unique_ptr<TZLT_Frame> RandomFrame(QRandomGenerator& random, int count)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i)
        frame->Add(TZLT_Point(int16_t(random.bounded(-20000, 20000)), int16_t(random.bounded(-20000, 20000)),
                              int16_t(random.bounded(-100, 100)),
                              uint8_t(random.bounded(64) | (random.bounded(5) == 0 ? TZLT_Point::BlankBit : 0)),
                              uint8_t(random.bounded(256))));
    return frame;
}

// A command line written as one string, its words apart by spaces.
inline QStringList Args(const QString& line)
{
    return line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// The frame tools on every frame of the list; the count of clamped points.
inline int ApplyTo(TZLT_FrameList& frames, const std::vector<FrameTools::TOperation>& operations)
{
    std::vector<TZLT_Frame*> pointers;
    for (int i = 0; i < frames.Count(); ++i)
        pointers.push_back(&frames.GetFrame(i));
    return FrameTools::Apply(operations, pointers);
}

// The frames a file holds as the data library reads it: the test's own
// reading of each input kind.
inline TZLT_FrameList CatalogFrames(const QString& fileName)
{
    TZLT_Cat cat;
    cat.LoadFromFile(fileName);
    return std::move(cat.Frames);
}

inline void WriteFile(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(fileName));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray FileBytes(const QString& fileName)
{
    try {
        return ZLT_Files::ReadWholeFile(fileName);
    } catch (const EZLT_Error&) {
        return QByteArray("<none>");
    }
}

struct TRun
{
    int Status = -1;
    QString Out;
    QString Err;
};

// Runs trevasc-convert in folder with a limit on the size of the files it
// writes (0: none).
inline TRun Convert(const QString& folder, const QStringList& arguments, rlim_t fileSizeLimit = 0)
{
    QProcess program;
    program.setWorkingDirectory(folder);
    if (fileSizeLimit > 0)
        program.setChildProcessModifier([fileSizeLimit] {
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        });
    program.start(QStringLiteral(TREVASC_CONVERT_PROGRAM), arguments);
    TRun run;
    if (!program.waitForFinished(120000) || program.exitStatus() != QProcess::NormalExit)
        return run;
    run.Status = program.exitCode();
    run.Out = QString::fromLocal8Bit(program.readAllStandardOutput());
    run.Err = QString::fromLocal8Bit(program.readAllStandardError());
    return run;
}

// Every file below folder with its bytes, to see that nothing was written.
inline QStringList Listing(const QString& folder)
{
    QStringList listing;
    QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden,
                                             QDir::Name)) {
        const QString path = dir.filePath(name);
        if (QFileInfo(path).isDir())
            for (const QString& inner : Listing(path))
                listing << name + QLatin1Char('/') + inner;
        else
            listing << name + QLatin1Char(' ') +
                           QString::fromLatin1(QCryptographicHash::hash(FileBytes(path), QCryptographicHash::Md5).toHex());
    }
    return listing;
}

} // namespace ConvertTest
