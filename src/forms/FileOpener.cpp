#include "FileOpener.h"

#include "CHILDWIN.h"
#include "Dialogs.h"
#include "Guard.h"
#include "Language.h"
#include "MAIN.h"
#include "ZLT_Error.h"
#include "ZLT_FileNames.h"
#include "ZLT_Files.h"

#include <QDir>
#include <QFileInfo>
#include <QPointer>
#include <QTimer>

#include <array>
#include <exception>
#include <functional>
#include <memory>
#include <utility>

namespace {

// Texts of the message about files that could not be opened: English, German.
enum TextId
{
    OneFailedText,  // %1: the file and the reason
    ManyFailedText, // %1: the files and the reasons
    FolderText,
    PaletteText,
    UnknownKindText,
    MoreText // %1: the number of failed files not listed
};
constexpr std::array<TTextRow, 6> Texts{{
    {u"Trevasc could not open this file:\n\n%1", u"Trevasc konnte diese Datei nicht öffnen:\n\n%1"},
    {u"Trevasc could not open these files:\n\n%1", u"Trevasc konnte diese Dateien nicht öffnen:\n\n%1"},
    {u"This is a folder, not a file.", u"Das ist ein Ordner, keine Datei."},
    {u"Palette files are not opened on their own: put them into the palette folder (Edit, Settings) and "
     u"choose them in a catalog window.",
     u"Palettendateien werden nicht einzeln geöffnet: Legen Sie sie in den Palettenordner (Bearbeiten, "
     u"Einstellungen) und wählen Sie sie in einem Katalogfenster."},
    {u"Trevasc opens catalog files (.cat), PIC files (.pic) and ILDA files (.ild).",
     u"Trevasc öffnet Katalogdateien (.cat), PIC Dateien (.pic) und ILDA Dateien (.ild)."},
    {u"and %1 more", u"und %1 weitere"},
}};

// The message lists this many files at most, so it fits on the screen.
constexpr int MaxListed = 5;

struct TFailure
{
    QString FileName;
    QString Reason;
};

// Raises the reason why a file that is not there cannot be opened.
void CheckIsFile(const QString& fileName)
{
    if (ZLT_FileNames::IsDirectory(fileName))
        throw EZLT_File(Tr(Texts[FolderText]));
    if (!ZLT_Files::FileExists(fileName))
        throw EZLT_Cat_Load(QStringLiteral("File does not exist: '%1'").arg(fileName));
}

std::unique_ptr<TZLT_Frame> LoadPicture(const QString& fileName)
{
    CheckIsFile(fileName);
    auto frame = std::make_unique<TZLT_Frame>();
    frame->LoadFromPicFile(fileName);
    return frame;
}

void OpenOne(const QString& fileName)
{
    switch (FileOpener::KindOf(fileName)) {
    case FileOpener::TFileKind::Catalog:
        CheckIsFile(fileName);
        MainForm->OpenCatalogWindow(fileName);
        return;
    case FileOpener::TFileKind::Picture: {
        const std::unique_ptr<TZLT_Frame> frame = LoadPicture(fileName); // a file that fails leaves no window
        TMDIChild* child =
            MainForm->OpenCatalogWindow(MainForm->NewCatalogName(), TMainForm::TCatalogSource::New);
        // The picture is the new catalog's starting state, not a step to undo.
        std::swap(child->Cat.Frames.GetFrame(0).AllPoints(), frame->AllPoints());
        child->CatalogChanged();
        return;
    }
    case FileOpener::TFileKind::Ilda:
        CheckIsFile(fileName);
        MainForm->ImportIldaFile(fileName); // its reader's warning shows once the frames are in
        return;
    case FileOpener::TFileKind::Palette:
        throw EZLT_Error(Tr(Texts[PaletteText]));
    case FileOpener::TFileKind::Unknown:
        CheckIsFile(fileName);
        throw EZLT_Error(Tr(Texts[UnknownKindText]));
    }
}

void Attempt(const QString& fileName, const std::function<void()>& action, QList<TFailure>& failures)
{
    try {
        action();
    } catch (const EZLT_Aborted&) {
        // the user cancelled the file's import: nothing failed
    } catch (...) {
        failures << TFailure{fileName, CurrentErrorMessage()};
    }
}

QStringList Report(const QList<TFailure>& failures)
{
    QStringList files;
    if (failures.isEmpty())
        return files;
    QStringList lines;
    for (const TFailure& failure : failures) {
        files << failure.FileName;
        if (lines.size() < MaxListed)
            lines << QDir::toNativeSeparators(failure.FileName) + QLatin1Char('\n') + failure.Reason;
    }
    if (failures.size() > MaxListed)
        lines << Tr(Texts[MoreText]).arg(failures.size() - MaxListed);
    const QString text = Tr(Texts[failures.size() == 1 ? OneFailedText : ManyFailedText])
                             .arg(lines.join(QStringLiteral("\n\n")));
    Dialogs::ShowMessage(MainForm, QStringLiteral("Trevasc"), text);
    return files;
}

QStringList& PendingFiles()
{
    static QStringList files;
    return files;
}

// Retries while the commands are held back; it belongs to the main window,
// so files waiting for a window that is gone go with it.
QTimer* RetryTimer()
{
    static QPointer<QTimer> timer;
    if (!timer && MainForm) {
        PendingFiles().clear();
        timer = new QTimer(MainForm);
        timer->setSingleShot(true);
        timer->setInterval(200);
        QObject::connect(timer, &QTimer::timeout, [] { FileOpener::OpenFilesWhenFree({}); });
    }
    return timer;
}

} // namespace

namespace FileOpener {

TFileKind KindOf(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix();
    const auto is = [&](const char* ext) {
        return suffix.compare(QLatin1String(ext), Qt::CaseInsensitive) == 0;
    };
    if (is("ild"))
        return TFileKind::Ilda;
    if (is("pal"))
        return TFileKind::Palette;
    // ILDA files also go by other names, even those of catalogs and
    // pictures; they are known by their start.
    if (ZLT_Files::StartsWithIlda(fileName))
        return TFileKind::Ilda;
    if (is("cat"))
        return TFileKind::Catalog;
    if (is("pic"))
        return TFileKind::Picture;
    return TFileKind::Unknown;
}

QStringList OpenFiles(const QStringList& fileNames)
{
    QList<TFailure> failures;
    for (const QString& fileName : fileNames)
        Attempt(
            fileName, [&] { OpenOne(fileName); }, failures);
    return Report(failures);
}

QStringList DropFiles(TMDIChild* child, int slot, const QStringList& fileNames)
{
    QList<TFailure> failures;
    QStringList pictures;
    QStringList others;
    TZLT_FrameList frames;
    for (const QString& fileName : fileNames) {
        if (child && slot >= 0 && KindOf(fileName) == TFileKind::Picture) {
            Attempt(
                fileName, [&] { frames.Add(LoadPicture(fileName)); }, failures);
            if (failures.isEmpty() || failures.back().FileName != fileName)
                pictures << fileName;
        } else {
            others << fileName;
        }
    }
    if (frames.Count() > 0)
        Attempt(
            pictures.join(QLatin1Char('\n')), [&] { child->PasteFrames(&frames, slot); }, failures);
    for (const QString& fileName : std::as_const(others))
        Attempt(
            fileName, [&] { OpenOne(fileName); }, failures);
    return Report(failures);
}

void OpenFilesWhenFree(const QStringList& fileNames)
{
    QTimer* retry = RetryTimer();
    if (!retry)
        return;
    PendingFiles() += fileNames;
    if (CommandsBlocked()) {
        retry->start();
        return;
    }
    retry->stop();
    const QStringList files = std::exchange(PendingFiles(), QStringList());
    if (!files.isEmpty())
        RunGuarded([&] { OpenFiles(files); });
}

void FilesHandedOver(const QStringList& fileNames)
{
    if (!MainForm)
        return;
    MainForm->setWindowState((MainForm->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    MainForm->show();
    MainForm->raise();
    MainForm->activateWindow();
    if (!fileNames.isEmpty() && RetryTimer()) {
        PendingFiles() += fileNames;
        QTimer::singleShot(0, MainForm, [] { OpenFilesWhenFree({}); });
    }
}

bool FilesWaiting()
{
    return !PendingFiles().isEmpty();
}

} // namespace FileOpener
