#include "FramePreview.h"

#include "CHILDWIN.h"
#include "Guard.h"
#include "IdnDatagrams.h"
#include "IniFile.h"
#include "ActionTexts.h"
#include "ThumbCanvas.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMainWindow>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <array>
#include <cstring>

const QString TFramePreview::IniSection = QStringLiteral("Preview");

namespace {

constexpr uint32_t Black = 0xFF000000u;
constexpr uint32_t DimGrey = 0xFF505050u; // blanked moves
const QColor TextGrey(160, 160, 160);

// The pane's texts: English, German.
enum TextId
{
    TitleText,
    ToggleCaptionText,
    ToggleHintText,
    NoFrameText,
    FactsText, // %1 slot, %2 points, %3 blanked, %4..%7 min X, max X, min Y, max Y, %8 ms, %9 kpps
    OnePointText,
    PointsText, // %1
    EmptySlotText,
    ShowBlankedText,
    PlayText,
    PauseText,
    PlayHintText,
    RateText,
    LoopText,
    PositionHintText,
};
constexpr std::array<TTextRow, 15> Texts{{
    {u"Frame preview", u"Frame-Vorschau"},
    {u"Frame &preview", u"&Frame-Vorschau"},
    {u"Frame preview|Shows the selected frame large and plays frames as an animation",
     u"Frame-Vorschau|Zeigt den markierten Frame groß und spielt Frames als Animation ab"},
    {u"No frame", u"Kein Frame"},
    {u"Frame %1: %2, %3 blanked, X %4…%5, Y %6…%7, %8 ms at %9 kpps",
     u"Frame %1: %2, %3 dunkel, X %4…%5, Y %6…%7, %8 ms bei %9 kpps"},
    {u"1 point", u"1 Punkt"},
    {u"%1 points", u"%1 Punkte"},
    {u"Frame %1: empty", u"Frame %1: leer"},
    {u"Show blanked moves", u"Dunkle Wege zeigen"},
    {u"Play", u"Abspielen"},
    {u"Pause", u"Pause"},
    {u"Plays the used frames of the selection, or from the selected frame on (Space)",
     u"Spielt die benutzten Frames der Markierung ab, oder ab dem markierten Frame (Leertaste)"},
    {u"Frames per second:", u"Frames pro Sekunde:"},
    {u"Loop", u"Wiederholen"},
    {u"Position in the frames being played", u"Position in den abgespielten Frames"},
}};

// Where the pane may be docked, as the settings file names it.
struct TAreaName
{
    Qt::DockWidgetArea Area;
    const char* Name;
};
constexpr std::array<TAreaName, 4> AreaNames{{
    {Qt::LeftDockWidgetArea, "Left"},
    {Qt::RightDockWidgetArea, "Right"},
    {Qt::TopDockWidgetArea, "Top"},
    {Qt::BottomDockWidgetArea, "Bottom"},
}};
constexpr Qt::DockWidgetArea DefaultArea = Qt::RightDockWidgetArea;

// Every byte drawing reads from a frame, folded into one number, so a frame
// changed in place is never shown from an old picture.
quint64 PointsHash(const TZLT_Frame& frame)
{
    quint64 hash = 0x9E3779B97F4A7C15ull ^ quint64(frame.Count());
    for (const TZLT_Point& point : frame.AllPoints()) {
        quint64 word;
        std::memcpy(&word, &point, sizeof word);
        hash = (hash ^ word) * 0x100000001B3ull;
        hash ^= hash >> 29;
    }
    return hash;
}

quint64 ColoursHash(const TZLT_Pal& palette)
{
    quint64 hash = 0xCBF29CE484222325ull;
    for (int i = 0; i < 64; ++i) {
        const TZLT_PalEntry& entry = palette.ColorOf(uint8_t(i));
        hash =
            (hash ^ (quint64(entry.Red) << 16 | quint64(entry.Green) << 8 | entry.Blue)) * 0x100000001B3ull;
    }
    return hash;
}

// The picture: the pane's drawn image, nothing else.
class TPreviewPicture : public QWidget
{
public:
    TPreviewPicture(const QImage& image, QWidget* parent) : QWidget(parent), FImage(image)
    {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::ClickFocus);
        setMinimumSize(120, 120);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    QSize sizeHint() const override { return QSize(440, 440); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::black);
        if (!FImage.isNull())
            painter.drawImage(0, 0, FImage);
    }

private:
    const QImage& FImage;
};

} // namespace

TFramePreview::TFramePreview(QMainWindow* mainWindow) : QDockWidget(mainWindow), FMainWindow(mainWindow)
{
    setObjectName(QStringLiteral("FramePreview"));
    setFeatures(QDockWidget::DockWidgetClosable | QDockWidget::DockWidgetMovable |
                QDockWidget::DockWidgetFloatable);
    setAllowedAreas(Qt::AllDockWidgetAreas);
    CreateComponents();

    ToggleAction = toggleViewAction();
    ToggleAction->setObjectName(QStringLiteral("FramePreviewAction"));
    ToggleAction->setShortcut(QKeySequence(Qt::Key_F9));
    // F9 also while the pane floats in a window of its own.
    addAction(ToggleAction);

    connect(&Playback, &TPlayback::PositionChanged, this, &TFramePreview::PositionChanged);
    connect(&Playback, &TPlayback::PlayingChanged, this, &TFramePreview::ShowPlayState);
    ApplyLanguage();
    PositionChanged(); // nothing to play yet: Play starts disabled
}

TFramePreview::~TFramePreview()
{
    for (const QMetaObject::Connection& connection : FConnections)
        disconnect(connection);
}

void TFramePreview::CreateComponents()
{
    auto* contents = new QWidget(this);
    Picture = new TPreviewPicture(FImage, contents);
    Picture->setObjectName(QStringLiteral("Picture"));
    FactsLabel = new QLabel(contents);
    FactsLabel->setObjectName(QStringLiteral("FactsLabel"));
    // The line never widens the pane; what does not fit goes on a second line.
    FactsLabel->setTextFormat(Qt::PlainText);
    FactsLabel->setWordWrap(true);
    QSizePolicy policy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    policy.setHeightForWidth(true);
    FactsLabel->setSizePolicy(policy);
    // Room for two lines whatever is shown, so the picture keeps its size
    // as the selection moves between frames.
    FactsLabel->setMinimumHeight(2 * FactsLabel->fontMetrics().lineSpacing());
    FactsLabel->setText(QStringLiteral(" "));

    PlayButton = new QPushButton(contents);
    PlayButton->setObjectName(QStringLiteral("PlayButton"));
    PositionSlider = new QSlider(Qt::Horizontal, contents);
    PositionSlider->setObjectName(QStringLiteral("PositionSlider"));
    PositionSlider->setRange(0, 0);
    RateLabel = new QLabel(contents);
    RateEdit = new QSpinBox(contents);
    RateEdit->setObjectName(QStringLiteral("RateEdit"));
    RateEdit->setRange(TPlayback::MinRate, TPlayback::MaxRate);
    RateEdit->setValue(TPlayback::DefaultRate);
    RateLabel->setBuddy(RateEdit);
    LoopCheck = new QCheckBox(contents);
    LoopCheck->setObjectName(QStringLiteral("LoopCheck"));
    LoopCheck->setChecked(true);
    ShowBlankedCheck = new QCheckBox(contents);
    ShowBlankedCheck->setObjectName(QStringLiteral("ShowBlankedCheck"));

    auto* layout = new QVBoxLayout(contents);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->setSpacing(6);
    layout->addWidget(Picture, 1);
    layout->addWidget(FactsLabel);
    auto* playRow = new QHBoxLayout;
    playRow->addWidget(PlayButton);
    playRow->addWidget(PositionSlider, 1);
    layout->addLayout(playRow);
    auto* rateRow = new QHBoxLayout;
    rateRow->addWidget(RateLabel);
    rateRow->addWidget(RateEdit);
    rateRow->addSpacing(12);
    rateRow->addWidget(LoopCheck);
    rateRow->addStretch(1);
    layout->addLayout(rateRow);
    layout->addWidget(ShowBlankedCheck);
    setWidget(contents);

    connect(PlayButton, &QPushButton::clicked, this, [this] { RunGuarded([this] { PlayPause(); }); });
    connect(PositionSlider, &QSlider::valueChanged, this, [this](int position) {
        RunGuarded([this, position] {
            FFollowPlayback = true;
            Playback.Seek(position);
            Refresh();
        });
    });
    connect(RateEdit, &QSpinBox::valueChanged, this, [this](int rate) { Playback.SetRate(rate); });
    connect(LoopCheck, &QCheckBox::toggled, this, [this](bool loop) { Playback.SetLoop(loop); });
    connect(ShowBlankedCheck, &QCheckBox::toggled, this, [this] { RunGuarded([this] { Refresh(); }); });

    // Space plays and pauses wherever the focus is in the pane; the
    // picture follows its size.
    contents->installEventFilter(this);
    const auto children = contents->findChildren<QWidget*>();
    for (QWidget* child : children)
        child->installEventFilter(this);
}

void TFramePreview::ApplyLanguage()
{
    setWindowTitle(Tr(Texts[TitleText]));
    // The dock names its action after its title; the menu entry has its own.
    ToggleAction->setText(Tr(Texts[ToggleCaptionText]));
    SetHint(ToggleAction, Tr(Texts[ToggleHintText]));
    ShowBlankedCheck->setText(Tr(Texts[ShowBlankedText]));
    LoopCheck->setText(Tr(Texts[LoopText]));
    RateLabel->setText(Tr(Texts[RateText]));
    PositionSlider->setToolTip(Tr(Texts[PositionHintText]));
    PlayButton->setToolTip(Tr(Texts[PlayHintText]));

    // The button keeps one width for both of its texts.
    int width = 0;
    for (const TextId id : {PlayText, PauseText}) {
        PlayButton->setText(Tr(Texts[id]));
        width = std::max(width, PlayButton->sizeHint().width());
    }
    PlayButton->setMinimumWidth(width);
    ShowPlayState();
    Refresh();
    ShowFacts();
}

void TFramePreview::ShowPlayState()
{
    const bool playing = Playback.Playing();
    PlayButton->setText(Tr(Texts[playing ? PauseText : PlayText]));
    PlayButton->setIcon(style()->standardIcon(playing ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
}

// --- what is shown ----------------------------------------------------------

void TFramePreview::SetWindow(TMDIChild* window)
{
    if (window == FWindow)
        return;
    for (const QMetaObject::Connection& connection : FConnections)
        disconnect(connection);
    FConnections.clear();
    FWindow = window;
    if (window) {
        const auto guarded = [this](void (TFramePreview::*handler)()) {
            return [this, handler] { RunGuarded([this, handler] { (this->*handler)(); }); };
        };
        FConnections = {
            connect(window, &TMDIChild::SlotsChanged, this, guarded(&TFramePreview::SlotsChanged)),
            connect(window, &TMDIChild::SelectionChanged, this, guarded(&TFramePreview::SourceChanged)),
            connect(window, &TMDIChild::PaletteChanged, this, guarded(&TFramePreview::Refresh)),
            connect(window, &QObject::destroyed, this, &TFramePreview::WindowGone),
        };
    } else {
        Playback.Stop();
    }
    SourceChanged();
}

// The selection or the window changed: playback pauses over the new range,
// and the pane shows the leftmost selected slot again.
void TFramePreview::SourceChanged()
{
    Playback.Pause();
    FFollowPlayback = false;
    Playback.SetRange(CurrentRange(), FWindow ? FWindow->SelStart() : -1);
    PositionChanged();
}

// Playing goes on over the changed slots, from the frame shown.
void TFramePreview::SlotsChanged()
{
    const int keep = FFollowPlayback ? Playback.CurrentSlot() : FWindow ? FWindow->SelStart() : -1;
    Playback.SetRange(CurrentRange(), keep);
    PositionChanged();
}

void TFramePreview::WindowGone()
{
    FConnections.clear();
    FWindow = nullptr;
    Playback.Stop();
    FFollowPlayback = false;
    PositionChanged();
}

void TFramePreview::PositionChanged()
{
    {
        const QSignalBlocker blocker(PositionSlider);
        const int count = int(Playback.Range().size());
        PositionSlider->setRange(0, std::max(count - 1, 0));
        PositionSlider->setValue(std::max(Playback.Position(), 0));
        PositionSlider->setEnabled(count > 1);
    }
    PlayButton->setEnabled(!Playback.Range().empty());
    Refresh();
}

std::vector<int> TFramePreview::CurrentRange() const
{
    if (!FWindow)
        return {};
    return PlayRange(FWindow->Cat, FWindow->SelStart(), FWindow->SelEnd());
}

std::vector<int> TFramePreview::PlayRange(const TZLT_Cat& cat, int first, int last)
{
    const int count = cat.Frames.Count();
    if (first > last)
        std::swap(first, last);
    first = std::clamp(first, 0, count - 1);
    last = first == last ? count - 1 : std::clamp(last, 0, count - 1);
    std::vector<int> used;
    for (int slot = first; slot <= last; ++slot)
        if (cat.Frames.GetFrame(slot).Used())
            used.push_back(slot);
    return used;
}

void TFramePreview::PlayPause()
{
    if (Playback.Playing()) {
        Playback.Pause();
        return;
    }
    if (Playback.Range().empty())
        return;
    FFollowPlayback = true;
    Playback.Play();
    Refresh();
}

// Draws the picture again when anything it shows has changed: the window,
// the slot, the frame's points, the palette's colours, the size, the
// blanked-move option or the language.
int TFramePreview::CurrentSlot() const
{
    if (!FWindow)
        return -1;
    const int played = Playback.CurrentSlot();
    return FFollowPlayback && played >= 0 ? played : FWindow->SelStart();
}

void TFramePreview::ShowInstead(const TZLT_Frame* frame, const QString& facts)
{
    FStandInFacts = frame ? facts : QString();
    if (frame) {
        Playback.Pause(); // the stand-in is for the leftmost selected slot
        FFollowPlayback = false;
    }
    FStandIn = frame;
    FShown = TShown(); // drawn afresh: the stand-in may be changed in place
    Refresh();
}

const TZLT_Frame* TFramePreview::ShownFrame() const
{
    if (!FWindow)
        return nullptr;
    if (FStandIn && !FFollowPlayback)
        return FStandIn;
    return &FWindow->Cat.Frames.GetFrame(CurrentSlot());
}

void TFramePreview::SetPointRate(int pointsPerSecond)
{
    FPointRate = std::max(pointsPerSecond, 1);
    ShowFacts();
}

void TFramePreview::Refresh()
{
    emit ShownFrameChanged();
    if (!isVisible())
        return; // drawn when shown
    TShown shown;
    const TZLT_Frame* frame = nullptr;
    if (FWindow) {
        shown.Window = FWindow;
        shown.Slot = CurrentSlot();
        frame = ShownFrame();
        if (frame->Used()) {
            shown.Frame = frame;
            shown.Count = frame->Count();
            shown.Points = PointsHash(*frame);
            shown.Colours = ColoursHash(FWindow->Pal);
        }
    }
    const qreal ratio = Picture->devicePixelRatioF();
    shown.Size = Picture->size() * ratio;
    shown.ShowBlanked = ShowBlankedCheck->isChecked();
    shown.Language = shown.Frame ? -1 : TextColumn(); // only "No frame" is written
    if (shown == FShown && !FImage.isNull())
        return;
    FShown = shown;
    Render(FImage, shown.Frame, FWindow ? FWindow->Pal : TZLT_Pal(), shown.Size, ratio, shown.ShowBlanked,
           Tr(Texts[NoFrameText]), Picture->font());
    ++FDrawCount;
    Picture->update();
    ShowFacts();
}

void TFramePreview::Render(QImage& image, const TZLT_Frame* frame, const TZLT_Pal& palette, QSize size,
                           qreal pixelRatio, bool showBlanked, const QString& emptyText, const QFont& font)
{
    size = size.expandedTo(QSize(1, 1));
    if (image.size() != size || image.format() != QImage::Format_RGB32)
        image = QImage(size, QImage::Format_RGB32);
    image.fill(Black);
    const int side = std::min(image.width(), image.height());
    const int left = (image.width() - side) / 2;
    const int top = (image.height() - side) / 2;
    if (frame && frame->Used()) {
        TThumbCanvas canvas(image);
        if (showBlanked)
            canvas.ShowBlankedMoves(DimGrey, Black);
        // The extreme coordinates land on the square's last pixels.
        frame->Draw(canvas, TZLT_Rect{left, top, left + side - 1, top + side - 1}, palette);
        image.setDevicePixelRatio(pixelRatio);
    } else {
        image.setDevicePixelRatio(pixelRatio);
        QPainter painter(&image);
        painter.setPen(TextGrey);
        painter.setFont(font);
        painter.drawText(QRectF(left / pixelRatio, top / pixelRatio, side / pixelRatio, side / pixelRatio),
                         Qt::AlignCenter, emptyText);
    }
}

void TFramePreview::ShowFacts()
{
    FFacts.clear();
    if (FShown.Slot >= 0 && FWindow) {
        const TZLT_Frame& frame = *ShownFrame();
        if (!frame.Used()) {
            FFacts = Tr(Texts[EmptySlotText]).arg(FShown.Slot);
        } else if (&frame == FStandIn && !FStandInFacts.isEmpty()) {
            FFacts = FStandInFacts;
        } else {
            int blanked = 0;
            int minX = 32767, maxX = -32768, minY = 32767, maxY = -32768;
            for (const TZLT_Point& p : frame.AllPoints()) {
                blanked += p.Blanked() ? 1 : 0;
                minX = std::min<int>(minX, p.X());
                maxX = std::max<int>(maxX, p.X());
                minY = std::min<int>(minY, p.Y());
                maxY = std::max<int>(maxY, p.Y());
            }
            const QString points = frame.Count() == 1 ? Tr(Texts[OnePointText])
                                                      : Tr(Texts[PointsText]).arg(NumberText(frame.Count()));
            // One pass at the projector's point rate, as the stream gives it.
            const QString pass = DecimalText(double(IdnDatagrams::PassDuration(frame.Count(), FPointRate)) / 1000.0, 1);
            const QString kpps = DecimalText(FPointRate / 1000.0, FPointRate % 1000 == 0 ? 0 : 1);
            // Filled in one pass, so no value is read as a placeholder.
            FFacts = Tr(Texts[FactsText])
                         .arg(QString::number(FShown.Slot), points, NumberText(blanked), NumberText(minX),
                              NumberText(maxX), NumberText(minY), NumberText(maxY), pass, kpps);
        }
    }
    FactsLabel->setToolTip(FFacts);
    FactsLabel->setText(FFacts.isEmpty() ? QStringLiteral(" ") : FFacts);
}

// --- events -----------------------------------------------------------------

bool TFramePreview::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Space && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            if (type == QEvent::ShortcutOverride)
                event->accept(); // comes back as a key press
            else if (!key->isAutoRepeat())
                RunGuarded([this] { PlayPause(); });
            return true;
        }
    } else if (type == QEvent::Resize && watched == Picture) {
        RunGuarded([this] { Refresh(); });
    }
    return QDockWidget::eventFilter(watched, event);
}

void TFramePreview::showEvent(QShowEvent* event)
{
    QDockWidget::showEvent(event);
    if (FRestoreSize > 0 && !isFloating()) {
        const Qt::DockWidgetArea area = FMainWindow->dockWidgetArea(this);
        const bool across = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
        FMainWindow->resizeDocks({this}, {FRestoreSize}, across ? Qt::Horizontal : Qt::Vertical);
    }
    FRestoreSize = 0;
    RunGuarded([this] { Refresh(); });
}

void TFramePreview::hideEvent(QHideEvent* event)
{
    QDockWidget::hideEvent(event);
    // Nobody watches a closed pane. Docking and floating hide it for a
    // moment only; minimising the main window does not close it.
    QTimer::singleShot(0, this, [this] {
        if (isHidden())
            Playback.Pause();
    });
}

// --- settings ---------------------------------------------------------------

// Keys of the section: Visible (0/1), Area (Left, Right, Top, Bottom),
// Size (docked width or height), Floating (0/1), Geometry (x,y,width,height
// while floating), ShowBlankedMoves (0/1), FramesPerSecond (1-100), Loop (0/1).
namespace {
const QString VisibleKey = QStringLiteral("Visible");
const QString AreaKey = QStringLiteral("Area");
const QString SizeKey = QStringLiteral("Size");
const QString FloatingKey = QStringLiteral("Floating");
const QString GeometryKey = QStringLiteral("Geometry");
const QString ShowBlankedKey = QStringLiteral("ShowBlankedMoves");
const QString RateKey = QStringLiteral("FramesPerSecond");
const QString LoopKey = QStringLiteral("Loop");

// A stored floating geometry placed as window managers place a window: on
// the screen it overlaps most (none: the main window's), no larger than that
// screen's free area and wholly inside it. A monitor unplugged since, or a
// hand-edited file, never leaves the pane out of reach or makes it huge.
QRect OnScreen(QRect rect, const QWidget* mainWindow)
{
    QScreen* best = nullptr;
    qint64 bestArea = 0;
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRect common = screen->availableGeometry().intersected(rect);
        const qint64 area = qint64(common.width()) * common.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (!best)
        best = mainWindow->screen() ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (!best)
        return rect;
    const QRect free = best->availableGeometry();
    rect.setSize(rect.size().boundedTo(free.size()));
    rect.moveLeft(std::clamp(rect.left(), free.left(), free.left() + free.width() - rect.width()));
    rect.moveTop(std::clamp(rect.top(), free.top(), free.top() + free.height() - rect.height()));
    return rect;
}
} // namespace

void TFramePreview::LoadSettings(const TIniFile& ini)
{
    const QString& section = IniSection;
    ShowBlankedCheck->setChecked(ini.ReadInteger(section, ShowBlankedKey, 0) != 0);
    RateEdit->setValue(std::clamp(ini.ReadInteger(section, RateKey, TPlayback::DefaultRate),
                                  int32_t(TPlayback::MinRate), int32_t(TPlayback::MaxRate)));
    LoopCheck->setChecked(ini.ReadInteger(section, LoopKey, 1) != 0);

    Qt::DockWidgetArea area = DefaultArea;
    const QString areaName = ini.ReadString(section, AreaKey, QString());
    for (const TAreaName& known : AreaNames)
        if (areaName.compare(QLatin1String(known.Name), Qt::CaseInsensitive) == 0)
            area = known.Area;
    if (FMainWindow->dockWidgetArea(this) != area)
        FMainWindow->addDockWidget(area, this);
    // The docked size applies once the main window has laid the pane out.
    FRestoreSize = std::max(ini.ReadInteger(section, SizeKey, 0), 0);
    if (ini.ReadInteger(section, FloatingKey, 0) != 0) {
        setFloating(true);
        const QStringList parts = ini.ReadString(section, GeometryKey, QString()).split(QLatin1Char(','));
        std::array<int, 4> values{};
        bool valid = parts.size() == 4;
        // Far beyond any desktop, and no overflow in the sums below.
        constexpr int Far = 1 << 20;
        for (int i = 0; valid && i < 4; ++i)
            values[size_t(i)] = std::clamp(parts[i].trimmed().toInt(&valid), -Far, Far);
        if (valid && values[2] > 0 && values[3] > 0)
            setGeometry(OnScreen(QRect(values[0], values[1], values[2], values[3]), FMainWindow));
    }
    setVisible(ini.ReadInteger(section, VisibleKey, 0) != 0);
}

void TFramePreview::SaveSettings(TIniFile& ini) const
{
    const QString& section = IniSection;
    const bool visible = !isHidden();
    const Qt::DockWidgetArea area = FMainWindow->dockWidgetArea(const_cast<TFramePreview*>(this));
    const bool floating = isFloating();
    const bool showBlanked = ShowBlankedCheck->isChecked();
    const int rate = RateEdit->value();
    const bool loop = LoopCheck->isChecked();
    // A program that never changed the pane leaves the file as it was.
    bool present = false;
    for (const QString& key :
         {VisibleKey, AreaKey, SizeKey, FloatingKey, GeometryKey, ShowBlankedKey, RateKey, LoopKey})
        present = present || ini.ValueExists(section, key);
    if (!present && !visible && area == DefaultArea && !floating && !showBlanked &&
        rate == TPlayback::DefaultRate && loop)
        return;

    ini.WriteInteger(section, VisibleKey, visible ? 1 : 0);
    for (const TAreaName& known : AreaNames)
        if (known.Area == area)
            ini.WriteString(section, AreaKey, QLatin1String(known.Name));
    if (visible && !floating) {
        const bool across = area == Qt::LeftDockWidgetArea || area == Qt::RightDockWidgetArea;
        ini.WriteInteger(section, SizeKey, across ? width() : height());
    }
    ini.WriteInteger(section, FloatingKey, floating ? 1 : 0);
    if (floating) {
        const QRect g = geometry();
        ini.WriteString(section, GeometryKey,
                        QStringLiteral("%1,%2,%3,%4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
    }
    ini.WriteInteger(section, ShowBlankedKey, showBlanked ? 1 : 0);
    ini.WriteInteger(section, RateKey, rate);
    ini.WriteInteger(section, LoopKey, loop ? 1 : 0);
}
