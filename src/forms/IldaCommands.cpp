#include "IldaCommands.h"

#include "CHILDWIN.h"
#include "Dialogs.h"
#include "Language.h"
#include "MAIN.h"
#include "Progress.h"
#include "ZLT_Ilda.h"

#include <QDir>
#include <QFileInfo>

#include <array>
#include <optional>
#include <utility>

namespace {

const QString OpenFilter = QStringLiteral("ILDA files (*.ild)|*.ild");
// The order of the filters picks the format written: see FormatOf.
const QString SaveFilter = QStringLiteral("ILDA true colour, formats 4 (*.ild)|*.ild|"
                                          "ILDA indexed with palette, formats 2 and 0 (*.ild)|*.ild");
const QString Extension = QStringLiteral("ild");

// Texts: English, German.
enum TextId
{
    ReadingText,
    WritingText,
    WarningText // %1: the reader's warning
};
constexpr std::array<TTextRow, 3> Texts{{
    {u"Reading ILDA file ...", u"Lese ILDA Datei ..."},
    {u"Writing ILDA file ...", u"Schreibe ILDA Datei ..."},
    {u"Not every frame of the file was imported:\n\n%1",
     u"Nicht alle Frames der Datei wurden importiert:\n\n%1"},
}};

ZLT_Ilda::TFormat FormatOf(int filterIndex)
{
    return filterIndex == 1 ? ZLT_Ilda::TFormat::Indexed3D : ZLT_Ilda::TFormat::TrueColor3D;
}

// The progress dialog of a read or a write, made at the first report, when
// the job knows its size.
class TIldaProgress
{
public:
    explicit TIldaProgress(TextId label) : FLabel(Tr(Texts[label])) {}

    ZLT_Ilda::TProgressFn Reporter()
    {
        return [this](qint64 done, qint64 total) {
            if (!FProgress)
                FProgress.emplace(FLabel, total);
            return FProgress->Step(done);
        };
    }

private:
    QString FLabel;
    std::optional<TProgress> FProgress;
};

void ShowWarning(const QString& warning)
{
    if (!warning.isEmpty())
        Dialogs::ShowMessage(MainForm, QStringLiteral("Trevasc"), Tr(Texts[WarningText]).arg(warning));
}

// Asks for a file to read with the shared open dialog; empty when cancelled.
QString AskForFileToRead()
{
    TFileDialog& dialog = MainForm->OpenDialog;
    dialog.Filter = OpenFilter;
    dialog.DefaultExt = Extension;
    dialog.FilterIndex = 0;
    // The folder last used, without a name of another kind of file.
    if (!dialog.FileName.isEmpty())
        dialog.FileName = QFileInfo(dialog.FileName).absolutePath() + QLatin1Char('/');
    return dialog.Execute(MainForm) ? dialog.FileName : QString();
}

// Writes frames[first .. first+count-1]'s used frames into a file chosen in
// the shared save dialog, which proposes name.
void WriteChosenFile(const TMDIChild& child, int first, int count, const QString& name)
{
    TFileDialog& dialog = MainForm->SaveDialog;
    dialog.Filter = SaveFilter;
    dialog.DefaultExt = Extension;
    dialog.FilterIndex = 0;
    dialog.FileName = name;
    if (!dialog.Execute(MainForm))
        return;
    TIldaProgress progress(WritingText);
    ZLT_Ilda::WriteFile(dialog.FileName, child.Cat.Frames, first, count, child.Pal,
                        FormatOf(dialog.FilterIndex), progress.Reporter());
}

bool AnyUsed(const TZLT_FrameList& frames, int first, int last)
{
    for (int slot = first; slot <= last; ++slot)
        if (frames.GetFrame(slot).Used())
            return true;
    return false;
}

} // namespace

namespace IldaCommands {

TMDIChild* ImportIntoNewWindow(const QString& fileName)
{
    // Read first: a failure or Cancel leaves no window behind.
    ZLT_Ilda::TReadResult result;
    {
        TIldaProgress progress(ReadingText);
        result = ZLT_Ilda::ReadFile(fileName, TZLT_Pal(), progress.Reporter());
    }
    TMDIChild* child =
        MainForm->OpenCatalogWindow(MainForm->NewCatalogName(), TMainForm::TCatalogSource::New);
    // The file's frames are the new catalog's starting state, not a step to undo.
    for (int slot = 0; slot < result.Frames.Count(); ++slot)
        std::swap(child->Cat.Frames.GetFrame(slot).AllPoints(), result.Frames.GetFrame(slot).AllPoints());
    child->CatalogChanged();
    ShowWarning(result.Warning);
    return child;
}

void ImportFile()
{
    const QString fileName = AskForFileToRead();
    if (!fileName.isEmpty())
        ImportIntoNewWindow(fileName);
}

void ExportCatalog(TMDIChild& child)
{
    const int count = child.Cat.Frames.Count();
    // A file without frames is no ILDA file another program could read.
    if (!AnyUsed(child.Cat.Frames, 0, count - 1))
        return;
    const QFileInfo catalog(child.windowTitle());
    const QString name = catalog.completeBaseName() + QLatin1Char('.') + Extension;
    WriteChosenFile(child, 0, count,
                    child.windowTitle().contains(QLatin1Char('/')) ? catalog.dir().filePath(name) : name);
}

void SaveSelection(TMDIChild& child)
{
    const int first = child.SelStart();
    const int last = child.SelEnd();
    if (!AnyUsed(child.Cat.Frames, first, last))
        return;
    WriteChosenFile(child, first, last - first + 1, QString::asprintf("%05u.ild", unsigned(first)));
}

void ImportAtSelection(TMDIChild& child)
{
    const int slot = child.SelStart();
    const QString fileName = AskForFileToRead();
    if (!fileName.isEmpty())
        ImportFileAt(child, fileName, slot);
}

void ImportFileAt(TMDIChild& child, const QString& fileName, int slot)
{
    ZLT_Ilda::TReadResult result;
    {
        TIldaProgress progress(ReadingText);
        result = ZLT_Ilda::ReadFile(fileName, child.Pal, progress.Reporter());
    }
    child.PasteFrames(&result.Frames, slot, StepNames::LoadIlda);
    ShowWarning(result.Warning);
}

} // namespace IldaCommands
