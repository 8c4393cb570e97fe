#include "VectorCommands.h"

#include "ActionTexts.h"
#include "CHILDWIN.h"
#include "Dialogs.h"
#include "FrameCommands.h"
#include "FramePreview.h"
#include "Guard.h"
#include "MAIN.h"
#include "TextFrameDialog.h"
#include "VectorImport.h"
#include "VectorImportDialog.h"

#include <QApplication>
#include <QCollator>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>

#include <algorithm>
#include <array>

using Vector::TVectorProblem;

namespace {
static_assert(TVectorSettings::PaletteWhite == Vector::TVectorOptions::PaletteWhite);
static_assert(TVectorSettings::Blanked == Vector::TVectorOptions::Blanked);

const QString OpenFilter = QStringLiteral("SVG files (*.svg)|*.svg");
const QString Extension = QStringLiteral("svg");

// Texts: English, German.
constexpr TTextRow FileCaption{u"Import &vector graphics...", u"&Vektorgrafik importieren..."};
constexpr TTextRow FileHint{u"Import vector graphics|Imports SVG files as the frames of a new catalog",
                            u"Vektorgrafik importieren|Importiert SVG Dateien als die Frames eines neuen Katalogs"};
constexpr TTextRow FolderCaption{u"Import vector graphics &folder...", u"Vektorgrafik-&Ordner importieren..."};
constexpr TTextRow FolderHint{
    u"Import vector graphics folder|Imports the SVG files of a folder as the frames of a new catalog",
    u"Vektorgrafik-Ordner importieren|Importiert die SVG Dateien eines Ordners als die Frames eines neuen Katalogs"};
constexpr TTextRow FolderPrompt{u"Open SVG files from:", u"Öffne SVG Dateien von:"};
constexpr TTextRow NoSvgFiles{u"The folder %1 holds no SVG files.", u"Der Ordner %1 enthält keine SVG Dateien."};
constexpr TTextRow ContextCaption{u"Import vector graphics...", u"Vektorgrafik importieren..."};
constexpr TTextRow ContextHint{u"Import vector graphics|Imports SVG files as frames at the selected slot",
                               u"Vektorgrafik importieren|Importiert SVG Dateien als Frames am selektierten Platz"};
constexpr TTextRow TextCaption{u"Te&xt frame...", u"Te&xt-Frame..."};
constexpr TTextRow TextHint{u"Text frame|Draws a text in a single-stroke font into the selected slot",
                            u"Text-Frame|Zeichnet einen Text in einer Einstrich-Schrift in den selektierten Platz"};
constexpr TTextRow ImportStep{u"Import vector graphics", u"Vektorgrafik importieren"};
constexpr TTextRow TextStep{u"Text frame", u"Text-Frame"};
constexpr TTextRow RefusedOne{u"This file was not imported:\n\n%1", u"Diese Datei wurde nicht importiert:\n\n%1"};
constexpr TTextRow RefusedMany{u"These files were not imported:\n\n%1",
                               u"Diese Dateien wurden nicht importiert:\n\n%1"};
constexpr TTextRow NoTextFrame{u"No text frame was made: %1.", u"Es wurde kein Text-Frame erstellt: %1."};

// Why a file or a text gave no frame, in the order of TVectorProblem.
constexpr std::array<TTextRow, 10> Problems{{
    {u"imported", u"importiert"},
    {u"the file does not exist", u"die Datei existiert nicht"},
    {u"the file cannot be read", u"die Datei kann nicht gelesen werden"},
    {u"not an SVG file", u"keine SVG Datei"},
    {u"the SVG file is damaged", u"die SVG Datei ist beschädigt"},
    {u"it draws nothing", u"sie zeichnet nichts"},
    {u"it would need more than 65,535 points", u"sie bräuchte mehr als 65.535 Punkte"},
    {u"the file is too large", u"die Datei ist zu groß"},
    {u"the Hershey fonts are missing: the package hershey-fonts-data is needed",
     u"die Hershey-Schriften fehlen: das Paket hershey-fonts-data wird gebraucht"},
    {u"there is no text", u"es gibt keinen Text"},
}};
static_assert(int(TVectorProblem::EmptyText) + 1 == int(Problems.size()));

Vector::TVectorOptions Options(const TVectorSettings& settings)
{
    Vector::TVectorOptions options;
    options.UsePage = settings.UsePage;
    options.BlackAs = settings.BlackAs;
    options.Optimise = settings.Optimise;
    options.Scanner = TVectorCommands::Scanner();
    return options;
}

Vector::TTextOptions TextOptions(const QString& text, const TVectorSettings& settings)
{
    Vector::TTextOptions options;
    options.Text = text;
    options.Font = settings.Font;
    options.Colour = settings.TextColour;
    options.Size = settings.TextSize;
    constexpr std::array<Vector::TTextAlign, 3> aligns{Vector::TTextAlign::Left, Vector::TTextAlign::Centre,
                                                       Vector::TTextAlign::Right};
    options.Align = aligns[size_t(std::clamp(settings.Align, 0, 2))];
    return options;
}

// The imported frames in a list, in order; refused files take no place.
TZLT_FrameList FramesOf(std::vector<Vector::TVectorFrame>& results)
{
    TZLT_FrameList list;
    for (Vector::TVectorFrame& result : results)
        if (result.Frame)
            list.Add(std::move(result.Frame));
    return list;
}

void ShowRefused(const std::vector<Vector::TVectorFrame>& results)
{
    const QString message = TVectorCommands::RefusedMessage(results);
    if (!message.isEmpty())
        Dialogs::ShowMessage(MainForm, QStringLiteral("Trevasc"), message);
}

// The wait cursor while files are read: an import has no progress to show.
struct TWaitCursor
{
    TWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~TWaitCursor() { QApplication::restoreOverrideCursor(); }
};
} // namespace

TVectorCommands::TVectorCommands(QMainWindow* mainWindow, QMdiArea* area, TFramePreview* preview, QMenu* frames)
    : QObject(mainWindow), FMainWindow(mainWindow), FArea(area), FPreview(preview)
{
    const auto make = [this](const char* name, const char* category, void (TVectorCommands::*handler)()) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        action->setProperty("category", QString::fromLatin1(category));
        connect(action, &QAction::triggered, this, [this, handler] { RunCommand([&] { (this->*handler)(); }); });
        return action;
    };
    FileImportVector1 = make("FileImportVector1", "File", &TVectorCommands::FileImportVector1Execute);
    FileImportVectorFolder1 =
        make("FileImportVectorFolder1", "File", &TVectorCommands::FileImportVectorFolder1Execute);
    ImportVectorAction = make("ImportVectorAction", "Frames", &TVectorCommands::ImportVectorActionExecute);
    TextFrame1 = make("TextFrame1", "Frames", &TVectorCommands::TextFrame1Execute);
    if (frames) {
        frames->addSeparator();
        frames->addAction(TextFrame1);
    }
    connect(area, &QMdiArea::subWindowActivated, this, &TVectorCommands::UpdateActions);
    UpdateActions();
    ApplyLanguage();
}

void TVectorCommands::AddToFileMenu(QMenu* file)
{
    file->addActions({FileImportVector1, FileImportVectorFolder1});
}

void TVectorCommands::AddToContextMenu(QMenu* popup)
{
    popup->addAction(ImportVectorAction);
}

void TVectorCommands::AddTextToContextMenu(QMenu* popup)
{
    popup->addAction(TextFrame1);
}

void TVectorCommands::ApplyLanguage()
{
    const std::array<std::array<const TTextRow*, 2>, 4> rows{{
        {&FileCaption, &FileHint},
        {&FolderCaption, &FolderHint},
        {&ContextCaption, &ContextHint},
        {&TextCaption, &TextHint},
    }};
    const std::array<QAction*, 4> actions{FileImportVector1, FileImportVectorFolder1, ImportVectorAction,
                                          TextFrame1};
    for (size_t i = 0; i < actions.size(); ++i) {
        actions[i]->setText(Tr(*rows[i][0]));
        SetHint(actions[i], Tr(*rows[i][1]));
    }
}

void TVectorCommands::UpdateActions()
{
    TextFrame1->setEnabled(qobject_cast<TMDIChild*>(FArea->currentSubWindow()) != nullptr);
}

void TVectorCommands::LoadSettings(const TIniFile& ini)
{
    Settings.Load(ini);
}

void TVectorCommands::SaveSettings(TIniFile& ini) const
{
    Settings.Save(ini);
}

TScannerProfile TVectorCommands::Scanner()
{
    TScannerProfile profile;
    if (MainForm && MainForm->Frames)
        profile = MainForm->Frames->Scanner;
    if (MainForm && MainForm->Preview)
        profile.PointRate = MainForm->Preview->PointRate();
    return profile.Clamped();
}

QString TVectorCommands::ProblemText(TVectorProblem problem)
{
    const size_t index = size_t(problem);
    return index < Problems.size() ? Tr(Problems[index]) : QString();
}

QStringList TVectorCommands::SortedByName(QStringList files)
{
    QCollator collator{QLocale::system()};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    const auto name = [](const QString& file) { return QFileInfo(file).fileName(); };
    std::stable_sort(files.begin(), files.end(), [&](const QString& a, const QString& b) {
        const int order = collator.compare(name(a), name(b));
        return order != 0 ? order < 0 : a < b;
    });
    return files;
}

QString TVectorCommands::RefusedMessage(const std::vector<Vector::TVectorFrame>& frames)
{
    QStringList lines;
    for (const Vector::TVectorFrame& frame : frames) {
        // The imported frames may have left for a catalog already.
        if (frame.Problem == TVectorProblem::None)
            continue;
        QString line = QDir::toNativeSeparators(frame.Source) + QStringLiteral(": ") + ProblemText(frame.Problem);
        if (!frame.Detail.isEmpty())
            line += QStringLiteral(" (") + frame.Detail + QLatin1Char(')');
        lines << line;
    }
    if (lines.isEmpty())
        return QString();
    return Tr(lines.size() == 1 ? RefusedOne : RefusedMany).arg(lines.join(QLatin1Char('\n')));
}

QStringList TVectorCommands::AskForFiles()
{
    TFileDialog& dialog = MainForm->OpenDialog;
    dialog.Filter = OpenFilter;
    dialog.DefaultExt = Extension;
    dialog.FilterIndex = 0;
    dialog.FileNames.clear();
    if (!dialog.FileName.isEmpty())
        dialog.FileName = QFileInfo(dialog.FileName).absolutePath() + QLatin1Char('/');
    // The shared dialog chooses one file for every other command.
    dialog.Multiple = true;
    const bool chosen = dialog.Execute(FMainWindow);
    dialog.Multiple = false;
    if (!chosen)
        return {};
    return dialog.FileNames.isEmpty() ? QStringList{dialog.FileName} : dialog.FileNames;
}

bool TVectorCommands::AskForOptions(const TZLT_Pal& palette, int files, TVectorSettings& settings)
{
    TVectorImportDialog dialog(palette, Settings, files, FMainWindow);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    settings = Settings = dialog.Settings();
    return true;
}

TMDIChild* TVectorCommands::ImportIntoNewWindow(const QStringList& files, const TVectorSettings& settings)
{
    std::vector<Vector::TVectorFrame> results;
    {
        TWaitCursor wait;
        results = Vector::ImportSvgFiles(SortedByName(files), TZLT_Pal(), Options(settings));
    }
    TZLT_FrameList frames = FramesOf(results);
    TMDIChild* child = nullptr;
    if (frames.Count() > 0) {
        child = MainForm->OpenCatalogWindow(MainForm->NewCatalogName(), TMainForm::TCatalogSource::New);
        // The files' frames are the new catalog's starting state, not a step to undo.
        for (int slot = 0; slot < frames.Count() && slot < TZLT_Cat::SlotCount; ++slot)
            std::swap(child->Cat.Frames.GetFrame(slot).AllPoints(), frames.GetFrame(slot).AllPoints());
        child->CatalogChanged();
    }
    ShowRefused(results);
    return child;
}

void TVectorCommands::ImportFilesAt(TMDIChild& child, const QStringList& files, int slot,
                                    const TVectorSettings& settings)
{
    std::vector<Vector::TVectorFrame> results;
    {
        TWaitCursor wait;
        results = Vector::ImportSvgFiles(SortedByName(files), child.Pal, Options(settings));
    }
    const TZLT_FrameList frames = FramesOf(results);
    if (frames.Count() > 0)
        child.PasteFrames(&frames, slot, ImportStep);
    ShowRefused(results);
}

void TVectorCommands::FileImportVector1Execute()
{
    const QStringList files = AskForFiles();
    TVectorSettings settings;
    if (files.isEmpty() || !AskForOptions(TZLT_Pal(), int(files.size()), settings))
        return;
    ImportIntoNewWindow(files, settings);
}

void TVectorCommands::FileImportVectorFolder1Execute()
{
    const QString folder = Dialogs::PickFolder(FMainWindow, Tr(FolderPrompt));
    if (folder.isEmpty())
        return;
    const QStringList files = Vector::SvgFilesIn(folder);
    if (files.isEmpty()) {
        Dialogs::ShowMessage(FMainWindow, QStringLiteral("Trevasc"),
                             Tr(NoSvgFiles).arg(QDir::toNativeSeparators(folder)));
        return;
    }
    TVectorSettings settings;
    if (AskForOptions(TZLT_Pal(), int(files.size()), settings))
        ImportIntoNewWindow(files, settings);
}

void TVectorCommands::ImportVectorActionExecute()
{
    QPointer<TMDIChild> child = MainForm->ActiveMDIChild();
    if (!child)
        return;
    const int slot = child->SelStart();
    const QStringList files = AskForFiles();
    TVectorSettings settings;
    if (files.isEmpty() || !child || !AskForOptions(child->Pal, int(files.size()), settings) || !child)
        return;
    ImportFilesAt(*child, files, slot, settings);
}

void TVectorCommands::ShowTextPreview(TMDIChild& child, const QString& text, const TVectorSettings& settings)
{
    Vector::TVectorFrame result = Vector::TextFrame(TextOptions(text, settings), child.Pal, Options(settings));
    // Without a frame the preview shows the field empty: that is what OK gives.
    FStandIn = result.Frame ? std::move(result.Frame) : std::make_unique<TZLT_Frame>();
    FPreview->ShowInstead(FStandIn.get());
}

void TVectorCommands::TextFrame1Execute()
{
    QPointer<TMDIChild> child = MainForm->ActiveMDIChild();
    if (!child)
        return;
    const QStringList fonts = Vector::HersheyFontNames();
    if (fonts.isEmpty()) {
        Dialogs::ShowMessage(FMainWindow, QStringLiteral("Trevasc"),
                             Tr(NoTextFrame).arg(ProblemText(TVectorProblem::FontsMissing)));
        return;
    }
    TTextFrameDialog dialog(child->Pal, fonts, Settings, FMainWindow);
    const auto show = [this, child, &dialog] {
        RunGuarded([&] {
            if (child)
                ShowTextPreview(*child, dialog.Text(), dialog.Settings());
        });
    };
    const QMetaObject::Connection changed = connect(&dialog, &TTextFrameDialog::Changed, this, show);
    show();
    const int answer = dialog.exec();
    disconnect(changed);
    FPreview->ShowInstead(nullptr);
    FStandIn.reset();
    if (answer != QDialog::Accepted || !child)
        return;
    const TVectorSettings settings = dialog.Settings();
    Settings.Font = settings.Font;
    Settings.TextSize = settings.TextSize;
    Settings.Align = settings.Align;
    Settings.TextColour = settings.TextColour;
    Vector::TVectorFrame result = Vector::TextFrame(TextOptions(dialog.Text(), settings), child->Pal, Options(settings));
    if (!result.Frame) {
        Dialogs::ShowMessage(FMainWindow, QStringLiteral("Trevasc"), Tr(NoTextFrame).arg(ProblemText(result.Problem)));
        return;
    }
    TZLT_FrameList frames;
    frames.Add(std::move(result.Frame));
    child->PasteFrames(&frames, child->SelStart(), TextStep);
}
