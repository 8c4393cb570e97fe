#include "FrameCommands.h"

#include "ActionTexts.h"
#include "CHILDWIN.h"
#include "ColoursDialog.h"
#include "FramePreview.h"
#include "Guard.h"
#include "OptimiseCommands.h"
#include "ScannerDialog.h"
#include "TransformDialog.h"

#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QStatusBar>

#include <array>

using namespace FrameTools;

namespace {

// The commands, in menu order: caption, hint, the name of their undo step
// (English, German) and handler.
struct TCommandRow
{
    QAction* TFrameCommands::*Action;
    const char* Name;
    TTextRow Caption;
    TTextRow Hint;
    TTextRow Step;
    void (TFrameCommands::*Handler)(const TTextRow& step);
    bool SeparatorBefore;
};

const std::array<TCommandRow, 12> Commands{{
    {&TFrameCommands::MirrorX1, "MirrorX1", {u"Mirror &horizontally", u"&Horizontal spiegeln"},
     {u"Mirror horizontally|Mirrors the selected frames left to right",
      u"Horizontal spiegeln|Spiegelt die selektierten Frames von links nach rechts"},
     {u"Mirror horizontally", u"Horizontal spiegeln"}, &TFrameCommands::MirrorX1Execute, false},
    {&TFrameCommands::MirrorY1, "MirrorY1", {u"Mirror &vertically", u"&Vertikal spiegeln"},
     {u"Mirror vertically|Mirrors the selected frames top to bottom",
      u"Vertikal spiegeln|Spiegelt die selektierten Frames von oben nach unten"},
     {u"Mirror vertically", u"Vertikal spiegeln"}, &TFrameCommands::MirrorY1Execute, false},
    {&TFrameCommands::RotateLeft1, "RotateLeft1", {u"Rotate 90° &left", u"90° nach &links drehen"},
     {u"Rotate 90° left|Turns the selected frames a quarter turn counter-clockwise",
      u"90° nach links drehen|Dreht die selektierten Frames eine Vierteldrehung gegen den Uhrzeigersinn"},
     {u"Rotate 90° left", u"90° nach links drehen"}, &TFrameCommands::RotateLeft1Execute, true},
    {&TFrameCommands::RotateRight1, "RotateRight1", {u"Rotate 90° &right", u"90° nach &rechts drehen"},
     {u"Rotate 90° right|Turns the selected frames a quarter turn clockwise",
      u"90° nach rechts drehen|Dreht die selektierten Frames eine Vierteldrehung im Uhrzeigersinn"},
     {u"Rotate 90° right", u"90° nach rechts drehen"}, &TFrameCommands::RotateRight1Execute, false},
    {&TFrameCommands::Centre1, "Centre1", {u"&Centre", u"&Zentrieren"},
     {u"Centre|Moves each selected frame to the middle of the field",
      u"Zentrieren|Verschiebt jeden selektierten Frame in die Mitte des Feldes"},
     {u"Centre", u"Zentrieren"}, &TFrameCommands::Centre1Execute, true},
    {&TFrameCommands::Fit1, "Fit1", {u"&Fit to the field", u"Ans &Feld anpassen"},
     {u"Fit to the field|Centres each selected frame and scales it to fill the field",
      u"Ans Feld anpassen|Zentriert jeden selektierten Frame und skaliert ihn auf das ganze Feld"},
     {u"Fit to the field", u"Ans Feld anpassen"}, &TFrameCommands::Fit1Execute, false},
    {&TFrameCommands::Reverse1, "Reverse1", {u"Reverse &point order", u"&Punktreihenfolge umkehren"},
     {u"Reverse point order|Draws the selected frames backwards",
      u"Punktreihenfolge umkehren|Zeichnet die selektierten Frames rückwärts"},
     {u"Reverse point order", u"Punktreihenfolge umkehren"}, &TFrameCommands::Reverse1Execute, false},
    {&TFrameCommands::Transform1, "Transform1", {u"&Transform...", u"&Transformieren..."},
     {u"Transform|Moves, scales and rotates the selected frames, also step by step across them",
      u"Transformieren|Verschiebt, skaliert und dreht die selektierten Frames, auch schrittweise über sie"},
     {u"Transform", u"Transformieren"}, &TFrameCommands::Transform1Execute, true},
    {&TFrameCommands::Colours1, "Colours1", {u"Colo&urs...", u"F&arben..."},
     {u"Colours|Sets, replaces or grades the colours of the selected frames",
      u"Farben|Setzt, ersetzt oder verläuft die Farben der selektierten Frames"},
     {u"Colours", u"Farben"}, &TFrameCommands::Colours1Execute, false},
    {&TFrameCommands::Optimise1, "Optimise1", {u"&Optimise for the projector", u"Für den Pr&ojektor optimieren"},
     {u"Optimise for the projector|Adds the points the scanner needs to draw the selected frames right",
      u"Für den Projektor optimieren|Fügt die Punkte hinzu, die der Scanner braucht, um die selektierten Frames "
      u"richtig zu zeichnen"},
     {u"Optimise for the projector", u"Für den Projektor optimieren"}, &TFrameCommands::Optimise1Execute, true},
    {&TFrameCommands::Minimise1, "Minimise1", {u"&Minimise", u"&Minimieren"},
     {u"Minimise|Removes the points that change nothing in the selected frames",
      u"Minimieren|Entfernt die Punkte, die an den selektierten Frames nichts ändern"},
     {u"Minimise", u"Minimieren"}, &TFrameCommands::Minimise1Execute, false},
    {&TFrameCommands::ScannerProfile1, "ScannerProfile1", {u"Scanner profile...", u"Scanner-Profil..."},
     {u"Scanner profile|Sets what the scanner needs, for Optimise for the projector",
      u"Scanner-Profil|Legt fest, was der Scanner braucht, für Für den Projektor optimieren"},
     {u"Scanner profile", u"Scanner-Profil"}, &TFrameCommands::ScannerProfile1Execute, false},
}};

constexpr TTextRow MenuCaption{u"F&rames", u"F&rames"};
constexpr TTextRow MenuHint{u"Commands that change the selected frames",
                            u"Befehle, die die selektierten Frames ändern"};
constexpr TTextRow ClampedOne{u"1 point lay outside the field and was moved to its edge",
                              u"1 Punkt lag außerhalb des Feldes und wurde an seinen Rand verschoben"};
constexpr TTextRow ClampedMany{u"%1 points lay outside the field and were moved to its edge",
                               u"%1 Punkte lagen außerhalb des Feldes und wurden an seinen Rand verschoben"};

TOperation Op(TKind kind)
{
    TOperation op;
    op.Kind = kind;
    return op;
}

} // namespace

TFrameCommands::TFrameCommands(QMainWindow* mainWindow, QMdiArea* area, TFramePreview* preview)
    : QObject(mainWindow), FMainWindow(mainWindow), FArea(area), FPreview(preview)
{
    CreateActions();
    connect(area, &QMdiArea::subWindowActivated, this,
            [this] { Follow(qobject_cast<TMDIChild*>(FArea->currentSubWindow())); });
    UpdateActions();
}

void TFrameCommands::CreateActions()
{
    Frames1 = new QMenu(FMainWindow);
    Frames1->setObjectName(QStringLiteral("Frames1"));
    for (const TCommandRow& row : Commands) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(row.Name));
        action->setProperty("category", QStringLiteral("Frames"));
        const auto handler = row.Handler;
        const TTextRow step = row.Step;
        connect(action, &QAction::triggered, this,
                [this, handler, step] { RunCommand([&] { (this->*handler)(step); }); });
        this->*row.Action = action;
        if (row.SeparatorBefore && !Frames1->isEmpty())
            Frames1->addSeparator();
        Frames1->addAction(action);
    }
    ApplyLanguage();
}

void TFrameCommands::AddToContextMenu(QMenu* popup)
{
    popup->addSeparator();
    for (const TCommandRow& row : Commands)
        popup->addAction(this->*row.Action);
    // A right click may open the menu of a window that was not active.
    connect(popup, &QMenu::aboutToShow, this, [this, popup] {
        for (QObject* o = popup->parent(); o; o = o->parent())
            if (auto* child = qobject_cast<TMDIChild*>(o)) {
                if (FArea->currentSubWindow() != child)
                    FArea->setActiveSubWindow(child);
                break;
            }
        UpdateActions();
    });
}

void TFrameCommands::ApplyLanguage()
{
    Frames1->setTitle(Tr(MenuCaption));
    Frames1->menuAction()->setStatusTip(Tr(MenuHint));
    Frames1->menuAction()->setToolTip(Tr(MenuHint));
    for (const TCommandRow& row : Commands) {
        QAction* action = this->*row.Action;
        action->setText(Tr(row.Caption));
        SetHint(action, Tr(row.Hint));
    }
}

void TFrameCommands::Follow(TMDIChild* child)
{
    if (child == FChild)
        return;
    for (const QMetaObject::Connection& connection : FConnections)
        disconnect(connection);
    FConnections.clear();
    FChild = child;
    if (child) {
        const auto update = [this] { UpdateActions(); };
        FConnections = {
            connect(child, &TMDIChild::SelectionChanged, this, update),
            connect(child, &TMDIChild::SlotsChanged, this, update),
            connect(child, &QObject::destroyed, this, update, Qt::QueuedConnection),
        };
    }
    UpdateActions();
}

void TFrameCommands::UpdateActions()
{
    bool used = false;
    if (FChild)
        for (int slot = FChild->SelStart(), last = FChild->SelEnd(); slot <= last && !used; ++slot)
            used = FChild->Cat.Frames.GetFrame(slot).Used();
    for (const TCommandRow& row : Commands)
        (this->*row.Action)->setEnabled(used || row.Action == &TFrameCommands::ScannerProfile1);
}

std::vector<int> TFrameCommands::UsedSelectedSlots(const TMDIChild& child)
{
    std::vector<int> used;
    for (int slot = child.SelStart(), last = child.SelEnd(); slot <= last; ++slot)
        if (child.Cat.Frames.GetFrame(slot).Used())
            used.push_back(slot);
    return used;
}

QString TFrameCommands::ClampedMessage(int count)
{
    return count == 1 ? Tr(ClampedOne) : Tr(ClampedMany).arg(count);
}

int TFrameCommands::ApplyToSelection(TMDIChild& child, const std::vector<TOperation>& operations,
                                     const TTextRow& step)
{
    const std::vector<int> used = UsedSelectedSlots(child);
    if (used.empty())
        return 0;
    std::vector<const TZLT_Frame*> sources;
    sources.reserve(used.size());
    for (int slot : used)
        sources.push_back(&child.Cat.Frames.GetFrame(slot));
    int clamped = 0;
    std::vector<std::unique_ptr<TZLT_Frame>> results = Applied(operations, sources, &clamped);
    child.ChangeSlots(step, used.front(), [&] {
        for (size_t i = 0; i < used.size(); ++i)
            child.History.Overwrite(used[i], std::move(results[i]));
    });
    if (clamped > 0)
        FMainWindow->statusBar()->showMessage(ClampedMessage(clamped));
    return clamped;
}

void TFrameCommands::Simple(TKind kind, const TTextRow& step)
{
    if (FChild)
        ApplyToSelection(*FChild, {Op(kind)}, step);
}

void TFrameCommands::ShowPreview(TMDIChild& child, const std::vector<TOperation>& operations)
{
    FStandIn.reset();
    // Only the leftmost selected slot is shown; an empty one stays empty.
    if (!FSources.empty() && child.Cat.Frames.GetFrame(child.SelStart()).Used())
        FStandIn = FirstApplied(operations, FSources, nullptr, FAllCentre);
    FPreview->ShowInstead(FStandIn.get());
}

void TFrameCommands::RunDialog(TMDIChild& child, TFrameDialog& dialog, const TTextRow& step)
{
    FSources.clear();
    for (int slot : UsedSelectedSlots(child))
        FSources.push_back(&child.Cat.Frames.GetFrame(slot));
    if (FSources.empty())
        return;
    FAllCentre = CentreOfAll(FSources);
    QPointer<TMDIChild> window(&child);
    const auto show = [this, window, &dialog] {
        RunGuarded([&] {
            if (window)
                ShowPreview(*window, dialog.Operations());
        });
    };
    const QMetaObject::Connection changed = connect(&dialog, &TFrameDialog::Changed, this, show);
    show();
    const int result = dialog.exec();
    disconnect(changed);
    FPreview->ShowInstead(nullptr);
    FStandIn.reset();
    FSources.clear();
    FAllCentre.reset();
    if (result == QDialog::Accepted && window)
        ApplyToSelection(*window, dialog.Operations(), step);
}

void TFrameCommands::MirrorX1Execute(const TTextRow& step)
{
    Simple(TKind::MirrorX, step);
}

void TFrameCommands::MirrorY1Execute(const TTextRow& step)
{
    Simple(TKind::MirrorY, step);
}

void TFrameCommands::RotateLeft1Execute(const TTextRow& step)
{
    Simple(TKind::RotateLeft, step);
}

void TFrameCommands::RotateRight1Execute(const TTextRow& step)
{
    Simple(TKind::RotateRight, step);
}

void TFrameCommands::Centre1Execute(const TTextRow& step)
{
    Simple(TKind::Centre, step);
}

void TFrameCommands::Fit1Execute(const TTextRow& step)
{
    Simple(TKind::Fit, step);
}

void TFrameCommands::Reverse1Execute(const TTextRow& step)
{
    Simple(TKind::Reverse, step);
}

void TFrameCommands::Transform1Execute(const TTextRow& step)
{
    if (!FChild)
        return;
    TTransformDialog dialog(FMainWindow);
    RunDialog(*FChild, dialog, step);
}

void TFrameCommands::Colours1Execute(const TTextRow& step)
{
    if (!FChild)
        return;
    TColoursDialog dialog(FChild->Pal, FMainWindow);
    RunDialog(*FChild, dialog, step);
}

void TFrameCommands::Optimise1Execute(const TTextRow& step)
{
    if (!FChild)
        return;
    TScannerProfile profile = Scanner;
    profile.PointRate = FPreview->PointRate();
    const QString message =
        OptimiseCommands::Message(OptimiseCommands::Run(*FChild, false, profile, step, FMainWindow));
    if (!message.isEmpty())
        FMainWindow->statusBar()->showMessage(message);
}

void TFrameCommands::Minimise1Execute(const TTextRow& step)
{
    if (!FChild)
        return;
    const QString message =
        OptimiseCommands::Message(OptimiseCommands::Run(*FChild, true, Scanner, step, FMainWindow));
    if (!message.isEmpty())
        FMainWindow->statusBar()->showMessage(message);
}

void TFrameCommands::ScannerProfile1Execute(const TTextRow&)
{
    TScannerProfile profile = Scanner;
    profile.PointRate = FPreview->PointRate();
    TScannerDialog dialog(profile, FMainWindow);
    // The leftmost selected frame, when it is used, optimised as typed.
    if (FChild && !UsedSelectedSlots(*FChild).empty())
        dialog.PreviewFrame(FPreview, &FChild->Cat.Frames.GetFrame(FChild->SelStart()), FChild->SelStart());
    if (dialog.exec() == QDialog::Accepted) {
        Scanner = dialog.Profile();
        Scanner.PointRate = TScannerProfile().PointRate; // the projector's is taken at each use
    }
}

void TFrameCommands::LoadSettings(const TIniFile& ini)
{
    Scanner = TScannerDialog::LoadProfile(ini);
}

void TFrameCommands::SaveSettings(TIniFile& ini) const
{
    TScannerDialog::SaveProfile(ini, Scanner);
}
