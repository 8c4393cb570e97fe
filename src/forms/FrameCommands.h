#pragma once

#include "FrameTools.h"
#include "Language.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class QAction;
class QMainWindow;
class QMdiArea;
class QMenu;
class TFramePreview;
class TIniFile;
class TMDIChild;

// A dialog that changes the selected frames: the operations its fields
// stand for, and a signal at every change of them.
class TFrameDialog : public QDialog
{
    Q_OBJECT

public:
    using QDialog::QDialog;
    virtual std::vector<FrameTools::TOperation> Operations() const = 0;

signals:
    void Changed();
};

// The Frames menu: commands that change the used frames of the active
// catalog window's selection (empty slots stay empty), each one undo step
// named after it. The menu sits in the main menu and, below a separator, in
// every catalog window's context menu; its commands are enabled while the
// selection holds a used frame. A command that had to move points onto the
// field's edge says so in the status bar.
//
// A new command is one row of the table in the source, an action field here
// and its handler.
class TFrameCommands : public QObject
{
    Q_OBJECT

public:
    TFrameCommands(QMainWindow* mainWindow, QMdiArea* area, TFramePreview* preview);

    QMenu* Frames1 = nullptr;
    QAction* MirrorX1 = nullptr;
    QAction* MirrorY1 = nullptr;
    QAction* RotateLeft1 = nullptr;
    QAction* RotateRight1 = nullptr;
    QAction* Centre1 = nullptr;
    QAction* Fit1 = nullptr;
    QAction* Reverse1 = nullptr;
    QAction* Transform1 = nullptr;
    QAction* Colours1 = nullptr;
    QAction* Optimise1 = nullptr;
    QAction* Minimise1 = nullptr;
    QAction* ScannerProfile1 = nullptr; // enabled always; also in the Laser menu

    // What Optimise for the projector works with; the point rate is the
    // projector's, the rest is kept in the settings.
    TScannerProfile Scanner;
    void LoadSettings(const TIniFile& ini);
    void SaveSettings(TIniFile& ini) const;

    // A separator, then the commands, at the end of a catalog window's context menu.
    void AddToContextMenu(QMenu* popup);
    void ApplyLanguage();
    // Enabled while the active window's selection holds a used frame.
    void UpdateActions();

    // The used frames of the window's selected slots changed by the
    // operations, as one step named step (none when nothing changes).
    // Returns how many points the clamp moved, which the status bar tells.
    int ApplyToSelection(TMDIChild& child, const std::vector<FrameTools::TOperation>& operations,
                         const TTextRow& step);

    // Runs a dialog whose operations change the selection: while it is open
    // the preview and the laser show the leftmost selected frame as it would
    // become, following Changed(); OK applies them as one step, anything
    // else leaves everything as it was.
    void RunDialog(TMDIChild& child, TFrameDialog& dialog, const TTextRow& step);
    // The live preview for the operations, as RunDialog shows it.
    void ShowPreview(TMDIChild& child, const std::vector<FrameTools::TOperation>& operations);

    // "12 points lay outside the field and were moved to its edge".
    static QString ClampedMessage(int count);
    // The slots of the used frames of the selection.
    static std::vector<int> UsedSelectedSlots(const TMDIChild& child);

    // The command handlers; step is the name of the undo step.
    void MirrorX1Execute(const TTextRow& step);
    void MirrorY1Execute(const TTextRow& step);
    void RotateLeft1Execute(const TTextRow& step);
    void RotateRight1Execute(const TTextRow& step);
    void Centre1Execute(const TTextRow& step);
    void Fit1Execute(const TTextRow& step);
    void Reverse1Execute(const TTextRow& step);
    void Transform1Execute(const TTextRow& step);
    void Colours1Execute(const TTextRow& step);
    void Optimise1Execute(const TTextRow& step);
    void Minimise1Execute(const TTextRow& step);
    void ScannerProfile1Execute(const TTextRow& step);

private:
    void CreateActions();
    void Follow(TMDIChild* child);
    void Simple(FrameTools::TKind kind, const TTextRow& step);

    QMainWindow* FMainWindow;
    QMdiArea* FArea;
    TFramePreview* FPreview;
    QPointer<TMDIChild> FChild;
    std::vector<QMetaObject::Connection> FConnections;
    // The frame the preview shows in place of the leftmost selected one.
    std::unique_ptr<TZLT_Frame> FStandIn;
    std::vector<const TZLT_Frame*> FSources;
    std::optional<FrameTools::TPointF> FAllCentre;
};
