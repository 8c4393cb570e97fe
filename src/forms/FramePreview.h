#pragma once

#include "Playback.h"
#include "ZLT_Catalog.h"

#include <QDockWidget>
#include <QImage>
#include <QPointer>

#include <cstdint>
#include <vector>

class QAction;
class QCheckBox;
class QLabel;
class QMainWindow;
class QPushButton;
class QSlider;
class QSpinBox;
class TIniFile;
class TMDIChild;

// The frame preview: a pane of the main window that shows one slot of the
// active catalog window large, as the projector would trace it, with a line
// of facts under it, and plays a run of slots as an animation.
//
// It shows the leftmost selected slot and follows the selection, the active
// window, its palette and every change of its slots. Once the user plays or
// moves the position slider it shows the frame being played, until the
// selection or the window changes again.
class TFramePreview : public QDockWidget
{
    Q_OBJECT

public:
    static const QString IniSection; // "Preview"

    explicit TFramePreview(QMainWindow* mainWindow);
    ~TFramePreview() override;

    // Components.
    QWidget* Picture = nullptr;
    QLabel* FactsLabel = nullptr;
    QPushButton* PlayButton = nullptr;
    QSlider* PositionSlider = nullptr;
    QLabel* RateLabel = nullptr;
    QSpinBox* RateEdit = nullptr;
    QCheckBox* LoopCheck = nullptr;
    QCheckBox* ShowBlankedCheck = nullptr;
    // Shows and hides the pane (F9); checked while it is shown.
    QAction* ToggleAction = nullptr;

    TPlayback Playback;

    // The catalog window whose slots are shown, or none.
    void SetWindow(TMDIChild* window);
    TMDIChild* Window() const { return FWindow; }

    void ApplyLanguage();

    // Play or pause, as the Play button and Space do.
    void PlayPause();

    // The settings section; see the source for its keys. Only written when
    // it exists already or holds something other than the defaults.
    void LoadSettings(const TIniFile& ini);
    void SaveSettings(TIniFile& ini) const;

    // The slot of the frame shown, whether the pane is open or not: the
    // leftmost selected one, or the one playback is at; -1 without a window.
    int CurrentSlot() const;
    // While set, frame is shown in place of the leftmost selected slot's
    // frame (a dialog's change before it is made; the catalog stays as it
    // is). Null goes back to the slot's own frame. A facts text given is
    // the facts line while the stand-in is shown.
    void ShowInstead(const TZLT_Frame* frame, const QString& facts = QString());
    // The frame shown, for the laser too: the stand-in or the current
    // slot's frame; null without a window.
    const TZLT_Frame* ShownFrame() const;
    // The point rate of the projector, for the time one pass takes.
    void SetPointRate(int pointsPerSecond);
    int PointRate() const { return FPointRate; }

    // What is shown: the slot (-1 for none), the picture as drawn, the
    // facts line, and how many times the picture has been drawn.
    int ShownSlot() const { return FShown.Slot; }
    const QImage& Image() const { return FImage; }
    const QString& Facts() const { return FFacts; }
    int DrawCount() const { return FDrawCount; }

    // Draws the picture for a frame (null or empty: the text instead) into
    // image, made size device pixels if it is not: black, the frame in the
    // largest centred square. An image of the right size is drawn over in
    // place, so playback does not allocate a picture per frame.
    static void Render(QImage& image, const TZLT_Frame* frame, const TZLT_Pal& palette, QSize size,
                       qreal pixelRatio, bool showBlanked, const QString& emptyText, const QFont& font);

    // The used slots to play for a selection: those of first..last, or
    // with one slot selected those from it to the end of the catalog.
    static std::vector<int> PlayRange(const TZLT_Cat& cat, int first, int last);

signals:
    // The frame shown may have changed: another window, slot, palette or
    // points. Also while the pane is closed.
    void ShownFrameChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // What a picture was drawn from.
    struct TShown
    {
        const TMDIChild* Window = nullptr;
        int Slot = -1;
        const TZLT_Frame* Frame = nullptr;
        int Count = 0;
        quint64 Points = 0;
        quint64 Colours = 0;
        QSize Size;
        bool ShowBlanked = false;
        int Language = 0;
        bool operator==(const TShown&) const = default;
    };

    void CreateComponents();
    void ShowPlayState();
    void Refresh();
    void SourceChanged();
    void SlotsChanged();
    void WindowGone();
    void PositionChanged();
    void ShowFacts();
    std::vector<int> CurrentRange() const;

    QMainWindow* FMainWindow;
    QPointer<TMDIChild> FWindow;
    std::vector<QMetaObject::Connection> FConnections;
    bool FFollowPlayback = false; // shows the played frame, not the selection
    TShown FShown;
    QImage FImage;
    QString FFacts;
    int FDrawCount = 0;
    int FRestoreSize = 0; // docked width or height from the settings
    int FPointRate = 30000;
    const TZLT_Frame* FStandIn = nullptr;
    QString FStandInFacts;
};
