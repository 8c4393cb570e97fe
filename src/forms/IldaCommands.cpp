#include "IldaCommands.h"

#include "BackgroundJob.h"
#include "CHILDWIN.h"
#include "Dialogs.h"
#include "IniFile.h"
#include "Language.h"
#include "MAIN.h"
#include "Progress.h"
#include "ZLT_Ilda.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <array>
#include <optional>
#include <utility>

namespace {

using ZLT_Ilda::TFormat;
using ZLT_Ilda::TPaletteSection;

const QString OpenFilter = QStringLiteral("ILDA files (*.ild)|*.ild");
const QString Extension = QStringLiteral("ild");

// The kinds of file an export writes, in the order of the save dialog's
// filters; each filter says who reads that kind.
struct TExportKind
{
    TFormat Format;
    TPaletteSection Section;
    const char* SettingsName;
    TTextRow Filter;
};
constexpr std::array<TExportKind, IldaCommands::ExportKindCount> ExportKinds{{
    {TFormat::TrueColor3D,
     TPaletteSection::Included,
     "TrueColor3D",
     {u"ILDA 3D true colour, format 4: today's laser software (*.ild)",
      u"ILDA 3D Echtfarben, Format 4: heutige Lasersoftware (*.ild)"}},
    {TFormat::TrueColor2D,
     TPaletteSection::Included,
     "TrueColor2D",
     {u"ILDA 2D true colour, format 5: most players (*.ild)",
      u"ILDA 2D Echtfarben, Format 5: die meisten Player (*.ild)"}},
    {TFormat::Indexed3D,
     TPaletteSection::Included,
     "Indexed3D",
     {u"ILDA 3D indexed with palette, formats 2 + 0: older 3D software (*.ild)",
      u"ILDA 3D indiziert mit Palette, Formate 2 + 0: ältere 3D-Software (*.ild)"}},
    {TFormat::Indexed2D,
     TPaletteSection::Included,
     "Indexed2D",
     {u"ILDA 2D indexed with palette, formats 2 + 1: older players (*.ild)",
      u"ILDA 2D indiziert mit Palette, Formate 2 + 1: ältere Player (*.ild)"}},
    {TFormat::Indexed2D,
     TPaletteSection::Standard,
     "Indexed2DStandard",
     {u"ILDA 2D in the standard colours, format 1: players that refuse palettes (*.ild)",
      u"ILDA 2D in den Standardfarben, Format 1: Player, die keine Palette lesen (*.ild)"}},
}};

// The kind offered first: the one last chosen.
int LastExportKind = 0;

const QString IniSection = QStringLiteral("Ilda");
const QString ExportKey = QStringLiteral("ExportFormat");

QString SaveFilter()
{
    QStringList filters;
    for (const TExportKind& kind : ExportKinds)
        filters << Tr(kind.Filter) + QStringLiteral("|*.") + Extension;
    return filters.join(QLatin1Char('|'));
}

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
    dialog.Filter = SaveFilter();
    dialog.DefaultExt = Extension;
    dialog.FilterIndex = LastExportKind;
    dialog.FileName = name;
    if (!dialog.Execute(MainForm))
        return;
    // Remembered even if the write fails: the choice was the user's.
    LastExportKind = std::clamp(dialog.FilterIndex, 0, IldaCommands::ExportKindCount - 1);
    const TExportKind& kind = ExportKinds[size_t(LastExportKind)];
    // On a thread of its own: the laser stream and Blackout go on meanwhile.
    const QString fileName = dialog.FileName;
    BackgroundJob::Run(MainForm, Tr(Texts[WritingText]), [&](const BackgroundJob::TProgressFn& progress) {
        ZLT_Ilda::WriteFile(fileName, child.Cat.Frames, first, count, child.Pal, kind.Format, kind.Section,
                            progress);
    });
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
        TProgressOnDemand progress(MainForm, Tr(Texts[ReadingText]));
        result = ZLT_Ilda::ReadFile(fileName, TZLT_Pal(), progress.Reporter());
    }
    TMDIChild* child =
        MainForm->OpenCatalogWindow(MainForm->NewCatalogName(), TMainForm::TCatalogSource::New);
    // The file's frames are the new catalog's starting state, not a step to undo.
    for (int slot = 0; slot < result.Frames.Count(); ++slot)
        std::swap(child->Cat.Frames.GetFrame(slot).AllPoints(), result.Frames.GetFrame(slot).AllPoints());
    child->CatalogChanged();
    ShowWarning(result.WarningText(TextColumn()));
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
        TProgressOnDemand progress(MainForm, Tr(Texts[ReadingText]));
        result = ZLT_Ilda::ReadFile(fileName, child.Pal, progress.Reporter());
    }
    child.PasteFrames(&result.Frames, slot, StepNames::LoadIlda);
    ShowWarning(result.WarningText(TextColumn()));
}

int ExportKind()
{
    return LastExportKind;
}

void SetExportKind(int kind)
{
    LastExportKind = std::clamp(kind, 0, ExportKindCount - 1);
}

void LoadSettings(const TIniFile& ini)
{
    const QString name = ini.ReadString(IniSection, ExportKey, QString());
    LastExportKind = 0; // also for a name this version does not know
    for (int i = 0; i < ExportKindCount; ++i)
        if (name.compare(QLatin1String(ExportKinds[size_t(i)].SettingsName), Qt::CaseInsensitive) == 0)
            LastExportKind = i;
}

void SaveSettings(TIniFile& ini)
{
    // A program that never changed the choice leaves the file as it was.
    if (LastExportKind == 0 && !ini.ValueExists(IniSection, ExportKey))
        return;
    ini.WriteString(IniSection, ExportKey, QLatin1String(ExportKinds[size_t(LastExportKind)].SettingsName));
}

} // namespace IldaCommands
