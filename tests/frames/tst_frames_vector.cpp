// Vector graphics and text in the windows: File › Import vector graphics
// into a new catalog, the grid's context menu importing at the selection
// through the paste question, refused files named in one message while the
// others are imported, the [Vector] settings, Frames › Text frame with its
// live preview, and the German texts.

#include "FramesTestKit.h"
#include "../output/IdnTestKit.h"

#include "ColourChoice.h"
#include "FrameCommands.h"
#include "FramePreview.h"
#include "IniFile.h"
#include "LaserLink.h"
#include "SettingsLocation.h"
#include "TextFrameDialog.h"
#include "VectorCommands.h"
#include "VectorImport.h"
#include "VectorImportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using namespace Kit;

namespace {

using TPoints = std::vector<TZLT_Point>;

TPoints PointsOf(const TZLT_Frame& frame)
{
    return TPoints(frame.AllPoints().begin(), frame.AllPoints().end());
}

// Drawings that differ from each other, and files that are refused.
const QHash<QString, QByteArray>& Drawings()
{
    static const QHash<QString, QByteArray> drawings{
        {QStringLiteral("line"), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100'>"
                                 "<line x1='10' y1='10' x2='90' y2='60' stroke='red'/></svg>"},
        {QStringLiteral("rect"), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100'>"
                                 "<rect x='20' y='20' width='50' height='30' fill='none' stroke='#00ff00'/></svg>"},
        {QStringLiteral("circle"), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 100 100'>"
                                   "<circle cx='50' cy='50' r='30' fill='none' stroke='black'/></svg>"},
        {QStringLiteral("notsvg"), "This is a shopping list, not a drawing.\n"},
        {QStringLiteral("malformed"), "<svg xmlns='http://www.w3.org/2000/svg'><line x1='1' </svg"},
        {QStringLiteral("nothing"), "<svg xmlns='http://www.w3.org/2000/svg' viewBox='0 0 10 10'></svg>"},
    };
    return drawings;
}

// Writes "name.svg" for each "name=drawing" (a drawing "missing" writes no file).
QStringList WriteFiles(const QTemporaryDir& dir, const QStringList& entries)
{
    QStringList paths;
    for (const QString& entry : entries) {
        const QString name = entry.section(QLatin1Char('='), 0, 0);
        const QString drawing = entry.section(QLatin1Char('='), 1);
        const QString path = dir.filePath(name + QStringLiteral(".svg"));
        if (drawing != QLatin1String("missing")) {
            QFile file(path);
            if (!file.open(QIODevice::WriteOnly) || file.write(Drawings().value(drawing)) < 0)
                qFatal("cannot write %s", qPrintable(path));
        }
        paths << path;
    }
    return paths;
}

// The open dialog answered with files (none: Cancel); counts its uses.
int DialogsShown = 0;
void ChooseFiles(const QStringList& files)
{
    DialogsShown = 0;
    TFileDialog::TestHook = [files](TFileDialog& dialog) {
        ++DialogsShown;
        if (files.isEmpty() || !dialog.Multiple)
            return false;
        dialog.FileNames = files;
        dialog.FileName = files.first();
        return true;
    };
}

// Answers the options dialog once it is open: its choices, then OK or Cancel.
bool OptionsShown = false;
void AnswerOptions(const TVectorSettings& choice, bool ok)
{
    OptionsShown = false;
    QTimer::singleShot(0, qApp, [choice, ok] {
        auto* dialog = qobject_cast<TVectorImportDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        OptionsShown = true;
        dialog->CheckUsePage->setChecked(choice.UsePage);
        dialog->ComboBlackAs->SetColour(choice.BlackAs);
        dialog->CheckOptimise->setChecked(choice.Optimise);
        if (ok)
            dialog->Buttons->button(QDialogButtonBox::Ok)->click();
        else
            dialog->reject();
    });
}

// The largest lit step of the scanner profile the Frames menu keeps.
int LitStep = TScannerProfile().LitStep;

Vector::TVectorOptions OptionsOf(const TVectorSettings& settings)
{
    Vector::TVectorOptions options;
    options.UsePage = settings.UsePage;
    options.BlackAs = settings.BlackAs;
    options.Optimise = settings.Optimise;
    options.Scanner.LitStep = LitStep;
    options.Scanner.PointRate = MainForm->Preview->PointRate(); // the projector's
    return options;
}

// What the import makes of the files: the frames of those it takes, in the
// order of the names.
std::vector<TPoints> ExpectedFrames(const QStringList& files, const TZLT_Pal& palette,
                                    const TVectorSettings& settings)
{
    QStringList sorted = files;
    std::sort(sorted.begin(), sorted.end());
    std::vector<TPoints> frames;
    for (const Vector::TVectorFrame& frame : Vector::ImportSvgFiles(sorted, palette, OptionsOf(settings)))
        if (frame.Frame)
            frames.push_back(PointsOf(*frame.Frame));
    return frames;
}

std::vector<TPoints> SlotPoints(const TMDIChild& child, int count)
{
    std::vector<TPoints> points;
    for (int slot = 0; slot < count; ++slot)
        points.push_back(PointsOf(child.Cat.Frames.GetFrame(slot)));
    return points;
}

// A new window holding the frames of a catalog text, saved, one slot selected.
TMDIChild* CatalogWindow(const QString& catalog, int selected)
{
    TMDIChild* child = NewWindow();
    if (!child)
        return nullptr;
    SetIds(child->Cat.Frames, 0, IdsOf(catalog));
    child->Modified = false;
    child->History.Forget();
    child->CatalogChanged();
    child->SelectSlots(selected, selected);
    return child;
}

// The slots' points for frame numbers: 0 empty, 1000 + i the i-th new frame.
std::vector<TPoints> PointsOfIds(const std::vector<int>& ids, const std::vector<TPoints>& fresh)
{
    std::vector<TPoints> points;
    for (int id : ids)
        points.push_back(id >= 1000 ? fresh[size_t(id - 1000)] : id == 0 ? TPoints() : PointsOf(*MakeFrame(id)));
    return points;
}

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the text frame dialog once it is open.
void WhenTextDialog(const std::function<void(TTextFrameDialog&)>& answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        auto* dialog = qobject_cast<TTextFrameDialog*>(QApplication::activeModalWidget());
        QVERIFY2(dialog, "no text frame dialog is open");
        answer(*dialog);
        if (dialog->isVisible())
            dialog->reject(); // never leave it open
    });
}

TPoints TextPoints(const QString& text, const TVectorSettings& settings, const TZLT_Pal& palette)
{
    Vector::TTextOptions options;
    options.Text = text;
    options.Font = settings.Font;
    options.Colour = settings.TextColour;
    options.Size = settings.TextSize;
    options.Align = std::array{Vector::TTextAlign::Left, Vector::TTextAlign::Centre,
                               Vector::TTextAlign::Right}[size_t(settings.Align)];
    const Vector::TVectorFrame frame = Vector::TextFrame(options, palette, OptionsOf(settings));
    return frame.Frame ? PointsOf(*frame.Frame) : TPoints();
}

} // namespace

Q_DECLARE_METATYPE(TVectorSettings)
Q_DECLARE_METATYPE(std::function<QString()>)

class TestVectorCommands : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { EnsureMainWindow(); }
    void cleanup();

    void MenuEntries(); // the captions: GermanTexts
    void FileMenuImport_data();
    void FileMenuImport();
    void FolderImport_data();
    void FolderImport();
    void ContextMenuImport_data();
    void ContextMenuImport();
    void RefusedFiles_data();
    void RefusedFiles();
    void Settings_data();
    void Settings();
    void TextFrame_data();
    void TextFrame();
    void FontsMissing();
    void GermanTexts_data();
    void GermanTexts();
};

void TestVectorCommands::cleanup()
{
    TFileDialog::TestHook = nullptr;
    Dialogs::PickFolderHook = nullptr;
    MainForm->Vector->Settings = TVectorSettings();
    MainForm->Frames->Scanner = TScannerProfile();
    LitStep = TScannerProfile().LitStep;
    qunsetenv("TREVASC_HERSHEY_DIR");
    QTest::qWait(1); // an answer for a dialog that never opened expires here
    CloseAllWindows();
}

void TestVectorCommands::MenuEntries()
{
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    auto* file = MainForm->menuBar()->findChild<QMenu*>(QStringLiteral("File1"));
    QVERIFY(file);
    const QList<QAction*> fileActions = file->actions();
    const qsizetype import = fileActions.indexOf(MainForm->Vector->FileImportVector1);
    QVERIFY(import > 0);
    QCOMPARE(fileActions[import - 1], MainForm->FileExportIlda1);
    QCOMPARE(fileActions[import + 1], MainForm->Vector->FileImportVectorFolder1);
    QVERIFY(MainForm->Frames->Frames1->actions().contains(MainForm->Vector->TextFrame1));
    const QList<QAction*> popup = child->PopupMenu->actions();
    const qsizetype at = popup.indexOf(MainForm->Vector->ImportVectorAction);
    QVERIFY(at > 0);
    QCOMPARE(popup[at - 1], child->LoadIldaAction);
    // Text frame wants a window to draw into.
    QVERIFY(MainForm->Vector->TextFrame1->isEnabled());
    CloseAllWindows();
    QCoreApplication::processEvents();
    QVERIFY(!MainForm->Vector->TextFrame1->isEnabled());
}

void TestVectorCommands::FileMenuImport_data()
{
    QTest::addColumn<QStringList>("entries"); // in the order chosen
    QTest::addColumn<TVectorSettings>("choice");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("frames"); // the new window's used slots; -1: no window
    QTest::addColumn<int>("litStep"); // of the scanner profile

    const TVectorSettings defaults;
    QTest::newRow("two files in the order of their names")
        << QStringList{"b=rect", "a=line"} << defaults << true << 2 << 640;
    QTest::newRow("three files, an animation")
        << QStringList{"f2=circle", "f3=rect", "f1=line"} << defaults << true << 3 << 640;
    QTest::newRow("the scanner profile of the Frames menu")
        << QStringList{"f2=circle", "f1=line"} << defaults << true << 2 << 150;
    QTest::newRow("the page, black blanked, not optimised")
        << QStringList{"a=circle", "b=line"} << TVectorSettings{true, TVectorSettings::Blanked, false} << true << 2 << 640;
    QTest::newRow("black as palette colour 5") << QStringList{"a=circle"} << TVectorSettings{.BlackAs = 5} << true << 1
                                               << 640;
    QTest::newRow("Cancel in the options") << QStringList{"a=line"} << defaults << false << -1 << 640;
    QTest::newRow("Cancel in the file dialog") << QStringList{} << defaults << true << -1 << 640;
}

void TestVectorCommands::FileMenuImport()
{
    QFETCH(QStringList, entries);
    QFETCH(TVectorSettings, choice);
    QFETCH(bool, ok);
    QFETCH(int, frames);
    QFETCH(int, litStep);
    MainForm->Frames->Scanner.LitStep = litStep;
    LitStep = litStep;
    QTemporaryDir dir;
    const QStringList files = WriteFiles(dir, entries);
    TErrors errors;
    ChooseFiles(files);
    AnswerOptions(choice, ok);
    const int before = MainForm->MDIChildCount();
    MainForm->Vector->FileImportVector1->trigger();
    QCOMPARE(DialogsShown, 1);
    QCOMPARE(OptionsShown, !files.isEmpty());
    QCOMPARE(errors.Messages, QStringList());
    if (frames < 0) {
        QCOMPARE(MainForm->MDIChildCount(), before);
        QCOMPARE(MainForm->Vector->Settings, TVectorSettings());
        return;
    }
    QCOMPARE(MainForm->MDIChildCount(), before + 1);
    TMDIChild* child = MainForm->ActiveMDIChild();
    QVERIFY(child);
    QCOMPARE(child->windowTitle(), QStringLiteral("noname%1.cat").arg(before + 1));
    const std::vector<TPoints> expected = ExpectedFrames(files, TZLT_Pal(), choice);
    QCOMPARE(int(expected.size()), frames);
    QCOMPARE(SlotPoints(*child, frames), expected);
    QVERIFY(!child->Cat.Frames.GetFrame(frames).Used());
    // Each file its own frame, in the names' order: the first file's frame
    // is not the second's.
    if (frames > 1)
        QVERIFY(expected[0] != expected[1]);
    // Another profile makes other frames.
    if (litStep != TScannerProfile().LitStep) {
        LitStep = TScannerProfile().LitStep;
        QVERIFY(ExpectedFrames(files, TZLT_Pal(), choice) != expected);
    }
    // The choices stay for the next import.
    QCOMPARE(MainForm->Vector->Settings, choice);
    // A new catalog's starting state: nothing to undo, but unsaved.
    QCOMPARE(child->History.UndoCount(), 0);
    QVERIFY(child->Modified);
}

void TestVectorCommands::FolderImport_data()
{
    QTest::addColumn<QStringList>("entries"); // the folder's SVG files
    QTest::addColumn<bool>("picked");
    QTest::addColumn<int>("frames"); // -1: no window
    QTest::addColumn<QString>("message");

    QTest::newRow("the folder's SVG files in name order, other files left out")
        << QStringList{"c=circle", "a=line", "b=rect"} << true << 3 << "";
    QTest::newRow("a refused one among them") << QStringList{"b=notsvg", "a=line", "c=rect"} << true << 2
                                              << "This file was not imported:";
    QTest::newRow("no SVG files") << QStringList{} << true << -1 << "holds no SVG files.";
    QTest::newRow("Cancel in the folder picker") << QStringList{"a=line"} << false << -1 << "";
}

void TestVectorCommands::FolderImport()
{
    QFETCH(QStringList, entries);
    QFETCH(bool, picked);
    QFETCH(int, frames);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QStringList files = WriteFiles(dir, entries);
    {
        QFile other(dir.filePath(QStringLiteral("notes.txt")));
        QVERIFY(other.open(QIODevice::WriteOnly));
        other.write(Drawings().value(QStringLiteral("line")));
    }
    QString prompt;
    Dialogs::PickFolderHook = [&](const QString& text) {
        prompt = text;
        return picked ? dir.path() : QString();
    };
    TErrors errors;
    AnswerOptions(TVectorSettings(), true);
    const int before = MainForm->MDIChildCount();
    MainForm->Vector->FileImportVectorFolder1->trigger();
    QCOMPARE(prompt, QStringLiteral("Open SVG files from:"));
    QCOMPARE(OptionsShown, picked && !files.isEmpty());
    if (message.isEmpty())
        QCOMPARE(errors.Messages, QStringList());
    else {
        QCOMPARE(errors.Messages.size(), 1);
        QVERIFY2(errors.Messages.first().contains(message), qPrintable(errors.Messages.first()));
    }
    QCOMPARE(MainForm->MDIChildCount(), frames < 0 ? before : before + 1);
    if (frames < 0)
        return;
    const std::vector<TPoints> expected = ExpectedFrames(files, TZLT_Pal(), TVectorSettings());
    QCOMPARE(int(expected.size()), frames);
    QCOMPARE(SlotPoints(*MainForm->ActiveMDIChild(), frames), expected);
    QVERIFY(!MainForm->ActiveMDIChild()->Cat.Frames.GetFrame(frames).Used());
}

void TestVectorCommands::ContextMenuImport_data()
{
    QTest::addColumn<QString>("catalog"); // slots 0..7 before, '.' empty
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<int>("questions");

    QTest::newRow("into an empty slot, no question") << "AB......" << 3 << QStringList{"a=line"} << "" << 0;
    QTest::newRow("onto a used slot: Overwrite") << "AB......" << 1 << QStringList{"a=line"} << "o" << 1;
    QTest::newRow("onto a used slot: Insert") << "AB......" << 1 << QStringList{"a=line"} << "i" << 1;
    QTest::newRow("onto a used slot: Cancel") << "AB......" << 1 << QStringList{"a=line"} << "c" << 1;
    QTest::newRow("two files over two used: Overwrite All")
        << "ABC....." << 1 << QStringList{"b=rect", "a=line"} << "O" << 1;
    QTest::newRow("two files: Overwrite, then an empty target without a question")
        << "A......." << 0 << QStringList{"a=line", "b=circle"} << "o" << 1;
}

void TestVectorCommands::ContextMenuImport()
{
    QFETCH(QString, catalog);
    QFETCH(int, selected);
    QFETCH(QStringList, entries);
    QFETCH(QString, answers);
    QFETCH(int, questions);
    QTemporaryDir dir;
    const QStringList files = WriteFiles(dir, entries);
    TMDIChild* child = CatalogWindow(catalog, selected);
    QVERIFY(child);
    const std::vector<TPoints> before = SlotPoints(*child, catalog.size());
    const std::vector<TPoints> imported = ExpectedFrames(files, child->Pal, TVectorSettings());
    QCOMPARE(imported.size(), size_t(files.size()));

    // What placing must do, on frame numbers: the imported ones are 1000, 1001, ...
    std::vector<int> list;
    for (size_t i = 0; i < imported.size(); ++i)
        list.push_back(1000 + int(i));
    const TModelResult model = ModelPaste(IdsOf(catalog), list, selected, answers);
    QCOMPARE(model.Questions, questions);

    TErrors errors;
    ChooseFiles(files);
    AnswerOptions(TVectorSettings(), true);
    TAnswerer answerer(answers);
    QVERIFY(child->PopupMenu->actions().contains(MainForm->Vector->ImportVectorAction));
    MainForm->Vector->ImportVectorAction->trigger();
    QVERIFY(OptionsShown);
    QCOMPARE(answerer.Questions, questions);
    QCOMPARE(answerer.Unexpected, 0);
    QCOMPARE(errors.Messages, QStringList());

    const std::vector<TPoints> expected = PointsOfIds(model.Slots, imported);
    QCOMPARE(SlotPoints(*child, catalog.size()), expected);
    const bool changed = expected != before;
    QCOMPARE(child->History.UndoCount(), changed ? 1 : 0);
    if (!changed)
        return;
    QCOMPARE(Tr(child->History.UndoName()), QStringLiteral("Import vector graphics"));
    MainForm->EditUndo1->trigger();
    QCOMPARE(SlotPoints(*child, catalog.size()), before);
    QVERIFY(!child->Modified);
}

void TestVectorCommands::RefusedFiles_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("refused"); // names, in the message's order
    QTest::addColumn<QStringList>("reasons");
    QTest::addColumn<bool>("atSelection");

    const auto row = [](const char* name, const QStringList& entries, const QStringList& refused,
                        const QStringList& reasons, bool atSelection = false) {
        QTest::newRow(name) << entries << refused << reasons << atSelection;
    };
    const QString notSvg = QStringLiteral("not an SVG file");
    const QString missing = QStringLiteral("the file does not exist");
    row("not an SVG file among good ones", {"a=line", "b=notsvg", "c=rect"}, {"b.svg"}, {notSvg});
    row("damaged XML", {"a=line", "b=malformed"}, {"b.svg"}, {"the SVG file is damaged"});
    row("a missing file", {"a=missing", "b=circle"}, {"a.svg"}, {missing});
    row("draws nothing", {"a=line", "z=nothing"}, {"z.svg"}, {"it draws nothing"});
    row("two refused, one message", {"c=nothing", "a=notsvg", "b=line"}, {"a.svg", "c.svg"},
        {notSvg, "it draws nothing"});
    row("all refused: no window", {"a=notsvg", "b=missing"}, {"a.svg", "b.svg"}, {notSvg, missing});
    row("at the selection", {"a=line", "b=notsvg", "c=rect"}, {"b.svg"}, {notSvg}, true);
}

void TestVectorCommands::RefusedFiles()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, refused);
    QFETCH(QStringList, reasons);
    QFETCH(bool, atSelection);
    QTemporaryDir dir;
    const QStringList files = WriteFiles(dir, entries);
    const std::vector<TPoints> good = ExpectedFrames(files, TZLT_Pal(), TVectorSettings());
    QCOMPARE(int(good.size()), int(files.size() - refused.size()));

    TMDIChild* target = atSelection ? NewWindow() : nullptr;
    if (atSelection)
        target->SelectSlots(2, 2);
    TErrors errors;
    ChooseFiles(files);
    AnswerOptions(TVectorSettings(), true);
    const int before = MainForm->MDIChildCount();
    (atSelection ? MainForm->Vector->ImportVectorAction : MainForm->Vector->FileImportVector1)->trigger();

    // One message, naming each refused file with its reason.
    QCOMPARE(errors.Messages.size(), 1);
    const QString message = errors.Messages.first();
    QVERIFY2(message.startsWith(refused.size() == 1 ? QStringLiteral("This file was not imported:")
                                                    : QStringLiteral("These files were not imported:")),
             qPrintable(message));
    qsizetype at = 0;
    for (qsizetype i = 0; i < refused.size(); ++i) {
        const QString line = QDir::toNativeSeparators(dir.filePath(refused[i])) + QStringLiteral(": ") + reasons[i];
        const qsizetype found = message.indexOf(line, at);
        QVERIFY2(found >= 0, qPrintable(message));
        at = found + line.size();
    }
    // The others are imported, in order, and nothing else changed.
    if (good.empty()) {
        QCOMPARE(MainForm->MDIChildCount(), before);
        return;
    }
    TMDIChild* child = atSelection ? target : MainForm->ActiveMDIChild();
    QCOMPARE(MainForm->MDIChildCount(), atSelection ? before : before + 1);
    const int first = atSelection ? 2 : 0;
    std::vector<TPoints> expected(static_cast<size_t>(first));
    expected.insert(expected.end(), good.begin(), good.end());
    expected.push_back(TPoints());
    QCOMPARE(SlotPoints(*child, int(expected.size())), expected);
}

void TestVectorCommands::Settings_data()
{
    QTest::addColumn<QByteArray>("vector"); // the [Vector] section's lines
    QTest::addColumn<TVectorSettings>("loaded");
    QTest::addColumn<TVectorSettings>("changed"); // then saved and loaded again

    const TVectorSettings chosen{true, 12, false, QStringLiteral("rowmans"), 25, TVectorSettings::AlignRight, 3};
    const TVectorSettings blanked{.BlackAs = TVectorSettings::Blanked};

    QTest::newRow("no section: the defaults") << QByteArray() << TVectorSettings() << chosen;
    QTest::newRow("every key")
        << QByteArray("[Vector]\r\nUsePage=1\r\nBlackAs=12\r\nOptimise=0\r\nFont=rowmans\r\nTextSize=25\r\n"
                      "TextAlign=right\r\nTextColour=3\r\n")
        << chosen << blanked;
    QTest::newRow("blanked, and values out of range")
        << QByteArray("[Vector]\r\nUsePage=7\r\nBlackAs=blanked\r\nOptimise=x\r\nFont=\r\nTextSize=900\r\n"
                      "TextAlign=diagonal\r\nTextColour=blanked\r\n")
        << TVectorSettings{.BlackAs = TVectorSettings::Blanked, .TextSize = TVectorSettings::MaxTextSize}
        << TVectorSettings();
    QTest::newRow("black as an index beyond the palette")
        << QByteArray("[Vector]\r\nBlackAs=64\r\nTextColour=-3\r\nTextSize=0\r\n")
        << TVectorSettings{.TextSize = TVectorSettings::MinTextSize} << chosen;
}

void TestVectorCommands::Settings()
{
    QFETCH(QByteArray, vector);
    QFETCH(TVectorSettings, loaded);
    QFETCH(TVectorSettings, changed);
    QTemporaryDir dir;
    SettingsLocation::ProgramFolderOverride = dir.path();
    const QString ini = dir.filePath(QStringLiteral("Trevasc.ini"));
    const QByteArray application = "[Application]\r\nLanguage=0\r\nPathToPalettes=C:\\laser\\pal\\\r\n";
    {
        QFile file(ini);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(application + (vector.isEmpty() ? QByteArray() : "\r\n" + vector));
    }
    MainForm->LoadIniSettings();
    QCOMPARE(MainForm->Vector->Settings, loaded);

    // Saved without a change, a file without the section gets none.
    MainForm->SaveIniSettings();
    QByteArray text = ReadBytes(ini);
    QVERIFY2(text.startsWith(application), text.constData());
    if (vector.isEmpty())
        QVERIFY2(!text.contains("[Vector]"), text.constData());

    MainForm->Vector->Settings = changed;
    MainForm->SaveIniSettings();
    text = ReadBytes(ini);
    SettingsLocation::ProgramFolderOverride.clear();
    QVERIFY2(text.startsWith(application), text.constData()); // [Application] byte for byte
    QVERIFY(text.contains("[Vector]"));
    TIniFile read(ini);
    TVectorSettings back;
    back.Load(read);
    QCOMPARE(back, changed);
}

void TestVectorCommands::TextFrame_data()
{
    QTest::addColumn<QString>("catalog");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QString>("text");
    QTest::addColumn<TVectorSettings>("choice");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("answers");

    const TVectorSettings plain;
    const TVectorSettings other{.Optimise = false, .Font = QStringLiteral("scripts"), .TextSize = 20,
                                .Align = TVectorSettings::AlignLeft, .TextColour = 7};
    QTest::newRow("into an empty slot") << "AB...." << 3 << "Laser" << plain << true << "";
    QTest::newRow("two lines, another font, left, colour 7, not optimised")
        << "AB...." << 2 << "Hello\nworld" << other << true << "";
    QTest::newRow("onto a used slot: Overwrite") << "AB...." << 1 << "OK" << plain << true << "o";
    QTest::newRow("onto a used slot: Insert") << "AB...." << 0 << "OK" << plain << true << "i";
    QTest::newRow("Cancel keeps everything") << "AB...." << 1 << "gone" << other << false << "";
}

void TestVectorCommands::TextFrame()
{
    QFETCH(QString, catalog);
    QFETCH(int, selected);
    QFETCH(QString, text);
    QFETCH(TVectorSettings, choice);
    QFETCH(bool, ok);
    QFETCH(QString, answers);
    if (!Vector::HersheyFontNames().contains(choice.Font))
        QSKIP("the Hershey fonts (hershey-fonts-data) are not installed");
    TMDIChild* child = CatalogWindow(catalog, selected);
    QVERIFY(child);
    MainForm->Preview->show();
    MainForm->Vector->Settings.Optimise = choice.Optimise;
    const std::vector<TPoints> before = SlotPoints(*child, catalog.size());
    const TPoints expected = TextPoints(text, choice, child->Pal);
    QVERIFY(!expected.empty());

    // The laser streams what the preview shows.
    IdnTestKit::TReceiver receiver;
    TLaserLink* laser = MainForm->Laser;
    laser->Address = QStringLiteral("127.0.0.1:%1").arg(receiver.Port());
    QVERIFY(laser->Start());
    const auto laserShows = [&](const TPoints& points) {
        TZLT_Frame frame;
        for (const TZLT_Point& p : points)
            frame.Add(p);
        return IdnTestKit::Samples(laser->Session.Frame()) == IdnTestKit::Expected(frame, child->Pal);
    };

    std::vector<TPoints> previews;
    bool catalogKept = true;
    bool laserFollows = true;
    WhenTextDialog([&](TTextFrameDialog& dialog) {
        const auto look = [&] {
            previews.push_back(PointsOf(*MainForm->Preview->ShownFrame()));
            catalogKept = catalogKept && SlotPoints(*child, catalog.size()) == before;
            laserFollows = laserFollows && (previews.back().empty() || laserShows(previews.back()));
        };
        look(); // no text yet: the field is empty
        QTest::keyClicks(dialog.EditText, text.left(1));
        look(); // the first letter shows while the user types
        dialog.EditText->setPlainText(text);
        dialog.ComboFont->setCurrentIndex(dialog.ComboFont->findText(choice.Font));
        dialog.ComboColour->SetColour(choice.TextColour);
        dialog.SpinSize->setValue(choice.TextSize);
        dialog.ComboAlign->setCurrentIndex(choice.Align);
        look();
        (ok ? dialog.accept() : dialog.reject());
    });
    TErrors errors;
    TAnswerer answerer(answers);
    MainForm->Vector->TextFrame1->trigger();
    laser->Stop();
    QCOMPARE(errors.Messages, QStringList());
    QVERIFY(catalogKept);
    QVERIFY(laserFollows);
    QCOMPARE(int(previews.size()), 3);
    QVERIFY(previews[0].empty());
    QCOMPARE(previews[1], TextPoints(text.left(1), TVectorSettings{.Optimise = choice.Optimise}, child->Pal));
    QCOMPARE(previews[2], expected);
    // The dialog closed: the preview shows the slot again.
    QCOMPARE(MainForm->Preview->ShownFrame(), &child->Cat.Frames.GetFrame(child->SelStart()));
    QCOMPARE(answerer.Questions, int(answers.size()));

    std::vector<int> ids = IdsOf(catalog);
    if (ok)
        ids = ModelPaste(ids, {1000}, selected, answers).Slots;
    QCOMPARE(SlotPoints(*child, catalog.size()), PointsOfIds(ids, {expected}));
    QCOMPARE(child->History.UndoCount(), ok ? 1 : 0);
    // OK remembers the font, size, alignment and colour.
    QCOMPARE(MainForm->Vector->Settings, ok ? choice : TVectorSettings{.Optimise = choice.Optimise});
    if (!ok)
        return;
    QCOMPARE(Tr(child->History.UndoName()), QStringLiteral("Text frame"));
    MainForm->EditUndo1->trigger();
    QCOMPARE(SlotPoints(*child, catalog.size()), before);
}

void TestVectorCommands::FontsMissing()
{
    QTemporaryDir empty;
    qputenv("TREVASC_HERSHEY_DIR", empty.path().toLocal8Bit());
    QVERIFY(Vector::HersheyFontNames().isEmpty());
    TMDIChild* child = NewWindow();
    QVERIFY(child);
    TErrors errors;
    MainForm->Vector->TextFrame1->trigger();
    QCOMPARE(errors.Messages.size(), 1);
    QVERIFY2(errors.Messages.first().contains(QStringLiteral("hershey-fonts-data")),
             qPrintable(errors.Messages.first()));
    QCOMPARE(child->History.UndoCount(), 0);
}

void TestVectorCommands::GermanTexts_data()
{
    QTest::addColumn<std::function<QString()>>("text");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("german");

    const auto caption = [](QAction* TVectorCommands::*action) {
        return std::function<QString()>([action] { return (MainForm->Vector->*action)->text(); });
    };
    QTest::newRow("File menu") << caption(&TVectorCommands::FileImportVector1)
                               << "Import &vector graphics..." << "&Vektorgrafik importieren...";
    QTest::newRow("File menu, a folder") << caption(&TVectorCommands::FileImportVectorFolder1)
                                         << "Import vector graphics &folder..."
                                         << "Vektorgrafik-&Ordner importieren...";
    QTest::newRow("context menu") << caption(&TVectorCommands::ImportVectorAction) << "Import vector graphics..."
                                  << "Vektorgrafik importieren...";
    QTest::newRow("Frames menu") << caption(&TVectorCommands::TextFrame1) << "Te&xt frame..." << "Te&xt-Frame...";
    QTest::newRow("a reason") << std::function<QString()>([] {
        return TVectorCommands::ProblemText(Vector::TVectorProblem::NotSvg);
    }) << "not an SVG file" << "keine SVG Datei";
    QTest::newRow("fonts missing") << std::function<QString()>([] {
        return TVectorCommands::ProblemText(Vector::TVectorProblem::FontsMissing);
    }) << "the Hershey fonts are missing: the package hershey-fonts-data is needed"
       << "die Hershey-Schriften fehlen: das Paket hershey-fonts-data wird gebraucht";
    const auto dialogText = [](std::function<QString(TVectorImportDialog&)> field) {
        return std::function<QString()>([field] {
            TVectorImportDialog dialog(TZLT_Pal(), TVectorSettings(), 2);
            return field(dialog);
        });
    };
    QTest::newRow("options: the page") << dialogText([](TVectorImportDialog& d) { return d.CheckUsePage->text(); })
                                       << "Use the &page" << "&Seite verwenden";
    QTest::newRow("options: black as") << dialogText([](TVectorImportDialog& d) { return d.LabelBlackAs->text(); })
                                       << "&Black as:" << "Schwarz &als:";
    QTest::newRow("options: blanked") << dialogText([](TVectorImportDialog& d) {
        return d.ComboBlackAs->itemText(d.ComboBlackAs->findData(TVectorSettings::Blanked));
    }) << "blanked (not drawn)" << "dunkel getastet (nicht gezeichnet)";
    QTest::newRow("options: optimise") << dialogText([](TVectorImportDialog& d) { return d.CheckOptimise->text(); })
                                       << "&Optimise for the projector" << "Für den Projektor &optimieren";
    QTest::newRow("options: files") << dialogText([](TVectorImportDialog& d) { return d.LabelFiles->text(); })
                                    << "2 files become 2 frames of one animation, placed alike."
                                    << "2 Dateien werden 2 Frames einer Animation, gleich platziert.";
    QTest::newRow("text dialog title") << std::function<QString()>([] {
        TTextFrameDialog dialog(TZLT_Pal(), {QStringLiteral("futural")}, TVectorSettings());
        return dialog.windowTitle() + QLatin1Char('|') + dialog.ComboAlign->itemText(1);
    }) << "Text frame|centred" << "Text-Frame|zentriert";
    QTest::newRow("refused message") << std::function<QString()>([] {
        std::vector<Vector::TVectorFrame> frames(2);
        frames[0].Source = QStringLiteral("/a.svg");
        frames[0].Problem = Vector::TVectorProblem::DrawsNothing;
        frames[1].Source = QStringLiteral("/b.svg");
        frames[1].Problem = Vector::TVectorProblem::TooLarge;
        return TVectorCommands::RefusedMessage(frames);
    }) << QString("These files were not imported:\n\n" + QDir::toNativeSeparators("/a.svg") +
                  ": it draws nothing\n" + QDir::toNativeSeparators("/b.svg") + ": the file is too large")
       << QString("Diese Dateien wurden nicht importiert:\n\n" + QDir::toNativeSeparators("/a.svg") +
                  ": sie zeichnet nichts\n" + QDir::toNativeSeparators("/b.svg") + ": die Datei ist zu groß");
}

void TestVectorCommands::GermanTexts()
{
    QFETCH(std::function<QString()>, text);
    QFETCH(QString, english);
    QFETCH(QString, german);
    QCOMPARE(text(), english);
    MainForm->Language = 1;
    MainForm->ApplyLanguage();
    const QString inGerman = text();
    MainForm->Language = 0;
    MainForm->ApplyLanguage();
    QCOMPARE(inGerman, german);
    QCOMPARE(text(), english);
}

QTEST_MAIN(TestVectorCommands)
#include "tst_frames_vector.moc"
