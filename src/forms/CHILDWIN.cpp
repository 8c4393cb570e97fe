// The catalog window: its grid of slot thumbnails, the goto field, the
// palette list, its texts and the close question. The frame operations are
// in CHILDWIN_Frames.cpp.

#include "CHILDWIN.h"

#include "Dialogs.h"
#include "FrameCommands.h"
#include "FrameGrid.h"
#include "Guard.h"
#include "Icons.h"
#include "ActionTexts.h"
#include "MAIN.h"
#include "Thumbnails.h"
#include "VectorCommands.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyleOptionMenuItem>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <array>
#include <climits>
#include <exception>

namespace {
constexpr int BevelHeight = 33;
constexpr int LastSlot = TZLT_Cat::SlotCount - 1;
const QString StandardEntry = QStringLiteral("Standard");

// The window's texts: English, German.
enum TextId
{
    GotoText,
    PaletteText,
    CloseTitleText,
    CloseQuestionText // %1: the window's title
};
constexpr std::array<TTextRow, 4> Texts{{
    {u"Goto Frame:", u"Gehe zu Frame:"},
    {u"Palette:", u"Palette:"},
    {u"Confirm", u"Bestätigen"},
    {u"File %1 not saved, save ?", u"Datei %1 nicht gespeichert, speichern ?"},
}};

const std::array<TActionText<TMDIChild>, 7> ActionTexts{{
    {&TMDIChild::DeleteAction, {u"&Delete frame(s)", u"Lösche &Frame(s)"}, {nullptr, nullptr}},
    {&TMDIChild::NextUsedFrameAction,
     {u"Goto &next used frame", u"Gehe zum &nächsten benutzen Frame"},
     {nullptr, nullptr}},
    {&TMDIChild::LastUsedFrameAction,
     {u"Goto &last used frame", u"Gehe zum &letzten benutzten Frame"},
     {nullptr, nullptr}},
    {&TMDIChild::SavePicAction,
     {u"Save as PIC file...", u"Speichere als PIC Datei..."},
     {u"Save as PIC file|Saves selected frame as PIC file",
      u"Speichere als PIC Datei|Speichert slektierten Frame als PIC Datei"}},
    {&TMDIChild::LoadPicAction,
     {u"Import from PIC file...", u"Importiere von PIC Datei..."},
     {u"Import from PIC file|Imports one frame from a PIC file",
      u"Importiere von PIC Datei|Importiert einen Frame aus einer PIC Datei"}},
    {&TMDIChild::SaveIldaAction,
     {u"Save as ILDA file...", u"Speichere als ILDA Datei..."},
     {u"Save as ILDA file|Saves the selected frames as an ILDA file",
      u"Speichere als ILDA Datei|Speichert die selektierten Frames als ILDA Datei"}},
    {&TMDIChild::LoadIldaAction,
     {u"Import from ILDA file...", u"Importiere von ILDA Datei..."},
     {u"Import from ILDA file|Imports the frames of an ILDA file at the selected slot",
      u"Importiere von ILDA Datei|Importiert die Frames einer ILDA Datei am selektierten Platz"}},
}};

// A cheap fingerprint of what drawing reads from a frame: its point count
// and an even sample of its points. It backs up the explicit repaints after
// every change, so a changed frame is never shown from an old drawing.
quint64 FrameSignature(const TZLT_Frame& frame)
{
    const TZLT_Frame::Points& points = frame.AllPoints();
    const size_t n = points.size();
    quint64 hash = 1469598103934665603ull ^ n;
    const auto mix = [&hash](quint64 v) {
        hash ^= v;
        hash *= 1099511628211ull;
    };
    const size_t samples = std::min<size_t>(n, 32);
    for (size_t k = 0; k < samples; ++k) {
        const size_t i = samples == 1 ? 0 : k * (n - 1) / (samples - 1);
        const TZLT_Point& p = points[i];
        mix(quint64(uint16_t(p.X())) | quint64(uint16_t(p.Y())) << 16 | quint64(p.Status()) << 32 |
            quint64(i) << 40);
    }
    return hash;
}

// The main window's Undo or Redo when the key means it, else none.
QAction* UndoRedoCommand(const QKeyEvent& key)
{
    const QKeySequence pressed(key.keyCombination());
    if (key.matches(QKeySequence::Undo) || MainForm->EditUndo1->shortcuts().contains(pressed))
        return MainForm->EditUndo1;
    if (key.matches(QKeySequence::Redo) || MainForm->EditRedo1->shortcuts().contains(pressed))
        return MainForm->EditRedo1;
    return nullptr;
}

// Characters that the wildcard syntax would read as a character class.
QString EscapeWildcardBrackets(const QString& text)
{
    QString escaped;
    for (const QChar c : text) {
        if (c == QLatin1Char('['))
            escaped += QStringLiteral("[[]");
        else if (c == QLatin1Char(']'))
            escaped += QStringLiteral("[]]");
        else
            escaped += c;
    }
    return escaped;
}
} // namespace

namespace {
// Draws a menu's entries without their images: the popup shares the main
// window's Cut, Copy and Paste actions (texts, shortcuts and enabled state
// follow them) but shows none of the images they carry for the menu bar
// and the toolbar.
class TImagelessMenuStyle : public QProxyStyle
{
public:
    explicit TImagelessMenuStyle(QObject* owner) { setParent(owner); }

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (const auto* item = MenuItem(element == CE_MenuItem, option)) {
            const QStyleOptionMenuItem plain = Plain(*item);
            QProxyStyle::drawControl(element, &plain, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override
    {
        if (const auto* item = MenuItem(type == CT_MenuItem, option)) {
            const QStyleOptionMenuItem plain = Plain(*item);
            return QProxyStyle::sizeFromContents(type, &plain, size, widget);
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }

private:
    static const QStyleOptionMenuItem* MenuItem(bool isMenuItem, const QStyleOption* option)
    {
        return isMenuItem ? qstyleoption_cast<const QStyleOptionMenuItem*>(option) : nullptr;
    }

    // The entry as a menu without any image lays it out.
    static QStyleOptionMenuItem Plain(const QStyleOptionMenuItem& item)
    {
        QStyleOptionMenuItem plain(item);
        plain.icon = QIcon();
        plain.maxIconWidth = 0;
        return plain;
    }
};
} // namespace

TMDIChild::TMDIChild(QWidget* parent) : QMdiSubWindow(parent)
{
    FormCreate();
}

TMDIChild::~TMDIChild()
{
    // The grid and the fields call back into this window: they go first,
    // while Cat and Pal still exist.
    if (FGrid) {
        FGrid->selectionModel()->disconnect(this);
        FGrid->DrawCell = nullptr;
        FGrid->PrepareCells = nullptr;
        FGrid->PlainLeftPress = nullptr;
        FGrid->AcceptsDrag = nullptr;
        FGrid->Drop = nullptr;
    }
    delete FClient;
}

void TMDIChild::FormCreate()
{
    setAttribute(Qt::WA_DeleteOnClose);
    setMinimumSize(400, 150);
    setWindowIcon(Icons::ProgramIcon());

    FClient = new QWidget;
    FClient->setBackgroundRole(QPalette::Button);
    FClient->setAutoFillBackground(true);
    setWidget(FClient);
    FClient->installEventFilter(this);

    // The grid: 32767 columns under a 20-pixel label row, 68-pixel cells.
    FGrid = new TFrameGrid(FClient);
    Grid = FGrid;
    FGrid->setGeometry(0, 0, 666, 88 + FGrid->FrameOverhead());
    FGrid->PrepareCells = [this](int firstColumn, int lastColumn) { PrepareThumbnails(firstColumn, lastColumn); };
    FGrid->DrawCell = [this](QPainter& painter, int column, const QRect& cell, bool selected) {
        GridDrawCell(painter, column, cell, selected);
    };
    FGrid->PlainLeftPress = [this](Qt::MouseButton button, Qt::KeyboardModifiers modifiers, bool doubleClick,
                                   const QPoint& pos) {
        RunGuarded([&] { GridMouseDown(button, modifiers, doubleClick, pos); });
    };
    connect(FGrid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TMDIChild::SelectionChanged);
    FGrid->AcceptsDrag = [this](QObject* source) { return GridDragOver(source); };
    FGrid->Drop = [this](QObject* source, const QPoint& pos) {
        RunCommand([&] { GridDragDrop(source, pos); });
    };

    Bevel = new QWidget(FClient);
    Bevel->setGeometry(0, FGrid->height(), 666, BevelHeight);
    Label1 = new QLabel(Bevel);
    Label1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    SpinEdit = new QSpinBox(Bevel);
    SpinEdit->setRange(0, TZLT_Cat::SlotCount);
    SpinEdit->setValue(0);
    SpinEdit->setGeometry(88, 6, 65, 22);
    Bevel1 = new QFrame(Bevel);
    Bevel1->setFrameShape(QFrame::VLine);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(168, 1, 2, 32);
    Label2 = new QLabel(Bevel);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    ComboBoxPal = new QComboBox(Bevel);
    ComboBoxPal->setEditable(false);
    ComboBoxPal->setGeometry(232, 6, 145, 21);
    QWidget::setTabOrder(FGrid, SpinEdit);
    QWidget::setTabOrder(SpinEdit, ComboBoxPal);

    // Every change of the field's text: typed ones come from its editor,
    // those of the buttons only from the field. Each change counts once.
    const auto gotoChanged = [this](const QString& text) {
        if (text == FGotoText)
            return;
        FGotoText = text;
        RunGuarded([&] { SpinEditChange(text); });
    };
    FGotoText = SpinEdit->text();
    if (QLineEdit* edit = SpinEdit->findChild<QLineEdit*>()) {
        edit->installEventFilter(this);
        connect(edit, &QLineEdit::textChanged, this, gotoChanged);
    }
    connect(SpinEdit, &QSpinBox::textChanged, this, gotoChanged);
    SpinEdit->installEventFilter(this);
    connect(ComboBoxPal, &QComboBox::activated, this,
            [this](int index) { RunGuarded([&] { ComboBoxPalChange(index); }); });

    CreateActions();
    FGrid->ContextMenu = PopupMenu;

    // The column labels come from the grid's model; the cells follow the
    // window's height. Pal and Cat start with the default colours and 32767
    // empty frames; a new catalog counts as unsaved.
    resize(674, 200);
    FormResize();

    ComboBoxPal->addItem(StandardEntry);
    ComboBoxPal->setCurrentIndex(0);
    Modified = true;
    FillPaletteList();

    SelectSlots(0, 0);
    SetLeftmostSlot(0);
    SpinEdit->setFocus();
    ApplyLanguage();
}

void TMDIChild::CreateActions()
{
    const auto make = [this](void (TMDIChild::*handler)()) {
        auto* action = new QAction(this);
        connect(action, &QAction::triggered, this,
                [this, handler] { RunCommand([&] { (this->*handler)(); }); });
        addAction(action);
        return action;
    };
    DeleteAction = make(&TMDIChild::DeleteActionExecute);
    DeleteAction->setShortcut(QKeySequence(Qt::Key_Delete));
    DeleteAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    NextUsedFrameAction = make(&TMDIChild::NextUsedFrameActionExecute);
    LastUsedFrameAction = make(&TMDIChild::LastUsedFrameActionExecute);
    SavePicAction = make(&TMDIChild::SavePicActionExecute);
    LoadPicAction = make(&TMDIChild::LoadPicActionExecute);
    SaveIldaAction = make(&TMDIChild::SaveIldaActionExecute);
    LoadIldaAction = make(&TMDIChild::LoadIldaActionExecute);

    PopupMenu = new QMenu(this);
    PopupMenu->setStyle(new TImagelessMenuStyle(PopupMenu));
    if (MainForm) {
        PopupMenu->addAction(MainForm->EditCut1);
        PopupMenu->addAction(MainForm->EditCopy1);
        PopupMenu->addAction(MainForm->EditPaste1);
    }
    PopupMenu->addAction(DeleteAction);
    PopupMenu->addSeparator();
    PopupMenu->addAction(NextUsedFrameAction);
    PopupMenu->addAction(LastUsedFrameAction);
    PopupMenu->addSeparator();
    PopupMenu->addAction(SavePicAction);
    PopupMenu->addAction(LoadPicAction);
    PopupMenu->addAction(SaveIldaAction);
    PopupMenu->addAction(LoadIldaAction);
    if (MainForm && MainForm->Vector)
        MainForm->Vector->AddToContextMenu(PopupMenu);
    if (MainForm && MainForm->Frames)
        MainForm->Frames->AddToContextMenu(PopupMenu);
    if (MainForm && MainForm->Vector)
        MainForm->Vector->AddTextToContextMenu(PopupMenu);
}

// The palette directory setting joined directly with "*.pal": a setting
// without a trailing separator ends in the start of a file name.
void TMDIChild::FillPaletteList()
{
    const QString path = MainForm ? MainForm->PalettePath : QString();
    qsizetype cut = path.lastIndexOf(QLatin1Char('/'));
#ifdef Q_OS_WIN
    cut = std::max(cut, path.lastIndexOf(QLatin1Char('\\')));
#endif
    const QString directory = path.left(cut + 1);
    const QString namePattern = EscapeWildcardBrackets(path.mid(cut + 1)) + QStringLiteral("*.pal");
    const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    const QStringList names =
        dir.entryList({namePattern}, QDir::Files | QDir::Hidden | QDir::System, QDir::Unsorted);
    // Each entry loads from the directory it was found in, also when the
    // setting's last part was the start of a file name.
    for (const QString& name : names)
        ComboBoxPal->addItem(name, directory);
}

void TMDIChild::ApplyLanguage()
{
    Label1->setText(Tr(Texts[GotoText]));
    Label2->setText(Tr(Texts[PaletteText]));
    ApplyActionTexts(*this, ActionTexts);
    PlaceLabels();
}

// The labels size themselves to their text and keep their right edges next
// to their fields: Label1 ends at 82, Label2 at 220. Where the system font is
// wider than the layout's, the row moves right just as far as it must, so no
// text is cut off.
void TMDIChild::PlaceLabels()
{
    constexpr int Margin = 4;
    for (QLabel* label : {Label1, Label2})
        label->adjustSize();
    const auto middle = [](QWidget* w) { return (BevelHeight - w->height()) / 2; };

    const int label1Right = std::max(82, Margin + Label1->width());
    Label1->move(label1Right - Label1->width(), middle(Label1));
    const int spinWidth = std::max(65, SpinEdit->sizeHint().width());
    SpinEdit->setGeometry(label1Right + 6, 6, spinWidth, 22);
    const int bevelLeft = SpinEdit->geometry().right() + 1 + 15;
    Bevel1->move(bevelLeft, 1);
    const int label2Right = std::max(bevelLeft + 52, bevelLeft + 16 + Label2->width());
    Label2->move(label2Right - Label2->width(), middle(Label2));
    ComboBoxPal->setGeometry(label2Right + 12, 6, 145, 21);
}

void TMDIChild::FormResize()
{
    if (!FGrid || !Bevel)
        return;
    const int clientWidth = FClient->width();
    const int available = FClient->height() - BevelHeight - TFrameGrid::HeaderHeight;
    const int overhead = FGrid->FrameOverhead();
    const int h = std::max(available - overhead, 1);
    FGrid->setGeometry(0, 0, clientWidth, h + TFrameGrid::HeaderHeight + overhead);
    Bevel->setGeometry(0, FGrid->height(), clientWidth, BevelHeight);
    if (h != FGrid->CellSize()) {
        FGrid->SetCellSize(h);
        DropThumbnails();
    }
    // Room for a few screens of thumbnails, at least 16 MiB; costs are in KiB.
    const qint64 cellKiB = qint64(h) * h * 4 / 1024 + 1;
    const qint64 visible = clientWidth / (h + 1) + 2;
    FThumbs.setMaxCost(qsizetype(std::max<qint64>(16 * 1024, 3 * visible * cellKiB)));
}

void TMDIChild::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    FormResize();
}

bool TMDIChild::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FClient) {
        if (event->type() == QEvent::Resize)
            FormResize();
        return false;
    }
    if (SpinEdit && (watched == SpinEdit || watched->parent() == SpinEdit) &&
        (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress)) {
        auto* key = static_cast<QKeyEvent*>(event);
        // Del deletes frames, never a digit: the field does not claim it, so
        // the window's shortcut runs.
        if (key->key() == Qt::Key_Delete && (key->modifiers() & ~Qt::KeypadModifier) == 0) {
            if (event->type() == QEvent::ShortcutOverride) {
                event->ignore();
            } else {
                DeleteAction->trigger();
            }
            return true;
        }
        // Undo and Redo act on the frames, never on the field's text: the
        // field claims their keys, which reach it as presses and run the
        // frame commands below (nothing when those are disabled).
        QAction* history = MainForm ? UndoRedoCommand(*key) : nullptr;
        if (history && event->type() == QEvent::ShortcutOverride) {
            event->accept();
            return true;
        }
        // Cut, Copy and Paste that reach the field run the frame commands.
        if (event->type() == QEvent::KeyPress && MainForm) {
            QAction* command = key->matches(QKeySequence::Cut)     ? MainForm->EditCut1
                               : key->matches(QKeySequence::Copy)  ? MainForm->EditCopy1
                               : key->matches(QKeySequence::Paste) ? MainForm->EditPaste1
                                                                   : history;
            if (command) {
                command->trigger();
                return true;
            }
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

// --- grid -----------------------------------------------------------------

void TMDIChild::GridDrawCell(QPainter& painter, int column, const QRect& cell, bool selected)
{
    painter.fillRect(cell, selected ? FGrid->palette().color(QPalette::Active, QPalette::Highlight)
                                    : QColor(Qt::black));
    if (column < 0 || column >= Cat.Frames.Count() || cell.isEmpty())
        return;
    const TZLT_Frame& frame = Cat.Frames.GetFrame(column);
    if (frame.Used())
        painter.drawImage(cell.topLeft(), Thumbnail(column, frame, cell));
}

// The frame drawn into the cell by Draw, through a canvas that paints on the
// cell's pixels. Drawings are kept per slot; what they were drawn from is
// checked again, and repaints, palette and cell-size changes drop them all.
QImage TMDIChild::Thumbnail(int slot, const TZLT_Frame& frame, const QRect& cell)
{
    if (const QImage* kept = KeptThumbnail(slot, frame, cell.size()))
        return *kept;
    const QImage image = DrawThumbnail(frame, cell.size(), Pal);
    KeepThumbnail(slot, frame, image);
    return image;
}

const QImage* TMDIChild::KeptThumbnail(int slot, const TZLT_Frame& frame, QSize cell)
{
    const TThumb* thumb = FThumbs.object(slot);
    if (thumb && thumb->Frame == &frame && thumb->Count == frame.Count() &&
        thumb->Signature == FrameSignature(frame) && thumb->Image.size() == cell)
        return &thumb->Image;
    return nullptr;
}

void TMDIChild::KeepThumbnail(int slot, const TZLT_Frame& frame, const QImage& image)
{
    FThumbs.insert(slot, new TThumb{image, &frame, frame.Count(), FrameSignature(frame)},
                   qsizetype(image.sizeInBytes() / 1024 + 1));
}

// The thumbnails a paint is about to show that are not kept yet, drawn on
// all cores at once before the paint asks for them one by one.
void TMDIChild::PrepareThumbnails(int firstColumn, int lastColumn)
{
    const int side = FGrid->CellSize();
    const QSize cell(side, side);
    lastColumn = std::min(lastColumn, Cat.Frames.Count() - 1);
    std::vector<TThumbnailJob> jobs;
    std::vector<int> slotOf;
    for (int slot = std::max(firstColumn, 0); slot <= lastColumn; ++slot) {
        const TZLT_Frame& frame = Cat.Frames.GetFrame(slot);
        if (frame.Used() && !KeptThumbnail(slot, frame, cell)) {
            jobs.push_back(TThumbnailJob{&frame, QImage()});
            slotOf.push_back(slot);
        }
    }
    if (jobs.size() < 2)
        return; // drawn when painted
    DrawThumbnails(jobs, cell, Pal);
    for (size_t i = 0; i < jobs.size(); ++i)
        KeepThumbnail(slotOf[i], *jobs[i].Frame, jobs[i].Image);
}

void TMDIChild::DropThumbnails()
{
    FThumbs.clear();
}

void TMDIChild::RepaintGrid()
{
    DropThumbnails();
    FGrid->viewport()->update();
}

int TMDIChild::CellSize() const
{
    return FGrid->CellSize();
}

int TMDIChild::SelStart() const
{
    int first = INT_MAX;
    for (const QItemSelectionRange& range : FGrid->selectionModel()->selection())
        first = std::min(first, range.left());
    if (first != INT_MAX)
        return first;
    const QModelIndex current = FGrid->currentIndex();
    return current.isValid() ? current.column() : 0;
}

int TMDIChild::SelEnd() const
{
    int last = -1;
    for (const QItemSelectionRange& range : FGrid->selectionModel()->selection())
        last = std::max(last, range.right());
    return last >= 0 ? last : SelStart();
}

void TMDIChild::SelectSlots(int first, int last)
{
    first = std::clamp(first, 0, LastSlot);
    last = std::clamp(last, 0, LastSlot);
    if (last < first)
        std::swap(first, last);
    const QAbstractItemModel* model = FGrid->model();
    FGrid->selectionModel()->select(QItemSelection(model->index(0, first), model->index(0, last)),
                                    QItemSelectionModel::ClearAndSelect);
    FGrid->selectionModel()->setCurrentIndex(model->index(0, first), QItemSelectionModel::NoUpdate);
}

int TMDIChild::LeftmostSlot() const
{
    return FGrid->LeftmostColumn();
}

void TMDIChild::SetLeftmostSlot(int slot)
{
    FGrid->SetLeftmostColumn(std::clamp(slot, 0, LastSlot));
}

int TMDIChild::SlotAt(const QPoint& pos) const
{
    return FGrid->ColumnAt(pos);
}

bool TMDIChild::GridDragOver(QObject* source) const
{
    if (qobject_cast<const TFrameGrid*>(source))
        return true;
    const auto* grid = source ? qobject_cast<const TFrameGrid*>(source->parent()) : nullptr;
    return grid != nullptr && source == grid->viewport();
}

void TMDIChild::ComboBoxPalChange(int index)
{
    if (index < 0 || index >= ComboBoxPal->count())
        return;
    const QString text = ComboBoxPal->itemText(index);
    if (text == StandardEntry)
        Pal.LoadDefault();
    else
        Pal.LoadFromFile(ComboBoxPal->itemData(index).toString() + text); // keeps its colours on failure
    RepaintGrid();
    emit PaletteChanged();
}

void TMDIChild::SpinEditChange(const QString& text)
{
    bool ok = false;
    const int slot = text.toInt(&ok, 10);
    if (ok)
        SetLeftmostSlot(slot);
}

// --- closing --------------------------------------------------------------

bool TMDIChild::AskToClose()
{
    if (!Modified)
        return true;
    // Replaced as a whole, so a "%" in the title stays as it is.
    const QString title = Tr(Texts[CloseTitleText]);
    const QString text = Tr(Texts[CloseQuestionText]).replace(QStringLiteral("%1"), windowTitle());
    switch (Dialogs::AskYesNoCancel(MainForm, title, text)) {
    case QMessageBox::Yes: {
        // A save that fails or is cancelled keeps the window with its changes.
        if (!MainForm)
            return false;
        try {
            return MainForm->SaveCatalog(this);
        } catch (const EZLT_Error& e) {
            ReportError(e.Text(TextColumn()));
        } catch (const std::exception& e) {
            ReportError(QString::fromLocal8Bit(e.what()));
        }
        return false;
    }
    case QMessageBox::No:
        return true;
    default:
        return false;
    }
}

bool TMDIChild::FormCloseQuery()
{
    const bool mayClose = AskToClose();
    if (mayClose)
        AgreeToClose();
    return mayClose;
}

// An agreement to close holds until control is back in the event loop that
// asked: a shut-down that asks every window first and closes them after does
// not ask twice, while a later close asks anew.
void TMDIChild::AgreeToClose()
{
    FCloseAgreed = true;
    FCloseAgreedLevel = QThread::currentThread()->loopLevel();
    ExpireCloseAgreement(0);
}

void TMDIChild::ExpireCloseAgreement(int delayMs)
{
    QTimer::singleShot(delayMs, this, [this] {
        if (!FCloseAgreed)
            return;
        if (QThread::currentThread()->loopLevel() > FCloseAgreedLevel)
            ExpireCloseAgreement(50); // still inside a dialog of the same shut-down
        else
            FCloseAgreed = false;
    });
}

void TMDIChild::closeEvent(QCloseEvent* event)
{
    bool mayClose = FCloseAgreed;
    FCloseAgreed = false;
    // A job running behind a modal dialog may be working on this window.
    if (CommandsBlocked() && !mayClose) {
        event->ignore();
        return;
    }
    if (!mayClose)
        RunGuarded([&] { mayClose = AskToClose(); });
    if (!mayClose) {
        event->ignore();
        return;
    }
    RunGuarded([this] { FormClose(); });
    QMdiSubWindow::closeEvent(event);
}

void TMDIChild::FormClose()
{
    // The frame still lists this window while the main window looks.
    if (MainForm)
        MainForm->CloseMDI();
    setAttribute(Qt::WA_DeleteOnClose, true);
}
