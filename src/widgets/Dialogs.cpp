#include "Dialogs.h"

#include "IniFile.h"
#include "Language.h"
#include "ZLT_FileNames.h"

#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLayout>
#include <QListView>
#include <QLocale>
#include <QScreen>
#include <QStringList>
#include <QScrollBar>
#include <QTreeView>

#include <algorithm>
#include <array>

namespace {
// "Desc (*.x)|*.x|Other|*.y;*.z" -> "Desc (*.x);;Other (*.y *.z)"
QStringList QtFilters(const QString& filter)
{
    QStringList result;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        const QString patterns =
            parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts).join(QLatin1Char(' '));
        // Qt takes the patterns from the last parentheses of the text.
        if (description.endsWith(QLatin1Char(')')) && description.contains(QLatin1Char('(')))
            result << description;
        else
            result << description + QStringLiteral(" (") + patterns + QLatin1Char(')');
    }
    if (result.isEmpty() && !filter.isEmpty())
        result << filter;
    return result;
}
} // namespace

namespace {
// The dialog's own message: English, German.
constexpr TTextRow MissingFolderText{
    u"%1\nThe folder does not exist. Please choose an existing folder.",
    u"%1\nDer Ordner existiert nicht. Bitte einen vorhandenen Ordner wählen."};
constexpr TTextRow ReplaceText{u"%1 already exists.\nDo you want to replace it?",
                               u"%1 existiert bereits.\nSoll die Datei ersetzt werden?"};

// A file dialog whose save mode accepts only a name in an existing folder:
// it refuses anything else itself and stays open, so no command ever sees
// such a name. (The open mode's own rules already want an existing file.)
class TCheckingFileDialog : public QFileDialog
{
public:
    using QFileDialog::QFileDialog;

protected:
    void accept() override
    {
        const QStringList files = selectedFiles();
        if (acceptMode() == AcceptSave && !files.isEmpty()) {
            const QString folder = QFileInfo(files.first()).absolutePath();
            if (!ZLT_FileNames::IsDirectory(folder)) {
                Dialogs::ShowMessage(this, windowTitle(),
                                     Tr(MissingFolderText).arg(QDir::toNativeSeparators(folder)));
                return;
            }
            // Qt's own check cannot see a file whose name is not UTF-8 (it
            // would look for another name): this one asks before replacing it.
            if (ZLT_FileNames::HasForeignBytes(files.first())) {
                if (ZLT_FileNames::IsFile(files.first()) &&
                    QMessageBox::question(this, windowTitle(),
                                          Tr(ReplaceText).arg(QFileInfo(files.first()).fileName())) !=
                        QMessageBox::Yes)
                    return;
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }
};
} // namespace

bool TFileDialog::Execute(QWidget* parent)
{
    if (TestHook)
        return TestHook(*this);

    TCheckingFileDialog dialog(parent);
    // The program's own dialog everywhere, so its folder check always applies.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(FKind == Kind::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    // Open: one existing file. Save: the dialog asks before overwriting.
    dialog.setFileMode(FKind == Kind::Open ? (Multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile)
                                           : QFileDialog::AnyFile);
    const QStringList filters = QtFilters(Filter);
    dialog.setNameFilters(filters);
    if (FilterIndex > 0 && FilterIndex < filters.size())
        dialog.selectNameFilter(filters[FilterIndex]);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setSizeGripEnabled(true);
    Prepare(dialog);
    if (!FileName.isEmpty()) {
        const QFileInfo info(FileName);
        if (info.isAbsolute() || FileName.contains(QLatin1Char('/')))
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    const int result = dialog.exec();
    Remember(dialog);
    if (result != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return false;
    FileName = files.first();
    FileNames = files;
    FilterIndex = std::max<int>(0, int(filters.indexOf(dialog.selectedNameFilter())));
    return true;
}

namespace {
const QString FileDialogSection = QStringLiteral("FileDialogs");
const QString SizeKey = QStringLiteral("Size"); // "width,height"

// The size a dialog opened at, to tell whether the user changed it.
const char* const OpenedSizeProperty = "trevascOpenedSize";

QSize ClampedToScreen(QSize size, const QWidget* dialog)
{
    const QScreen* screen = dialog->parentWidget() ? dialog->parentWidget()->screen() : dialog->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        size = size.boundedTo(screen->availableGeometry().size());
    return size;
}
} // namespace

void TFileDialog::Prepare(QFileDialog& dialog)
{
    // Columns wide enough for a name, a size in KiB or bytes, a kind of
    // file and a date with its time, in either language.
    int columns = 0;
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView"))) {
        QHeaderView* header = tree->header();
        const QFontMetrics metrics = tree->fontMetrics();
        const int room = metrics.averageCharWidth() * 4; // margins and the sort mark
        const QDateTime late(QDate(2026, 12, 28), QTime(23, 58, 58));
        const std::array<QStringList, 4> samples{{
            {QStringLiteral("wwwwwwwwwwwwwwwwwwwwwwwwww")},
            {QStringLiteral("1,023.99 KiB"), QStringLiteral("1.023,99 KiB"), QStringLiteral("99999 bytes")},
            {QStringLiteral("Unknown File"), QStringLiteral("Unbekannte Datei")},
            {QLocale().toString(late, QLocale::ShortFormat), QLocale::system().toString(late, QLocale::ShortFormat),
             QStringLiteral("28.12.26 23:58")},
        }};
        for (int section = 0; section < header->count() && section < int(samples.size()); ++section) {
            const QString title = header->model()->headerData(section, Qt::Horizontal).toString();
            int width = metrics.horizontalAdvance(title) + room;
            for (const QString& sample : samples[size_t(section)])
                width = std::max(width, metrics.horizontalAdvance(sample) + room);
            header->resizeSection(section, std::max(header->sectionSize(section), width));
            columns += header->sectionSize(section);
        }
        columns += tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth();
    }
    int sidebar = 0;
    if (auto* places = dialog.findChild<QListView*>(QStringLiteral("sidebar")))
        sidebar = places->sizeHint().width();
    QSize size = RememberedSize;
    if (!size.isValid()) {
        size = dialog.sizeHint().expandedTo(QSize(sidebar + columns + 48, dialog.fontMetrics().height() * 30));
    }
    size = ClampedToScreen(size, &dialog);
    dialog.resize(size);
    dialog.setProperty(OpenedSizeProperty, size);
}

void TFileDialog::Remember(const QFileDialog& dialog)
{
    if (RememberedSize.isValid() || dialog.size() != dialog.property(OpenedSizeProperty).toSize())
        RememberedSize = dialog.size();
}

void TFileDialog::LoadSettings(const TIniFile& ini)
{
    RememberedSize = QSize();
    const QStringList parts = ini.ReadString(FileDialogSection, SizeKey, QString()).split(QLatin1Char(','));
    if (parts.size() != 2)
        return;
    bool okWidth = false;
    bool okHeight = false;
    const QSize size(parts[0].trimmed().toInt(&okWidth), parts[1].trimmed().toInt(&okHeight));
    // Anything a screen could show; larger sizes are clamped when a dialog opens.
    if (okWidth && okHeight && size.width() >= 200 && size.height() >= 150 && size.width() <= 20000 &&
        size.height() <= 20000)
        RememberedSize = size;
}

void TFileDialog::SaveSettings(TIniFile& ini)
{
    if (RememberedSize.isValid())
        ini.WriteString(FileDialogSection, SizeKey,
                        QStringLiteral("%1,%2").arg(RememberedSize.width()).arg(RememberedSize.height()));
}

namespace Dialogs {
QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& title, const QString& text)
{
    if (AskHook)
        return AskHook(title, text);
    QMessageBox box(QMessageBox::NoIcon, title, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    const int answer = box.exec();
    if (answer == QMessageBox::Yes || answer == QMessageBox::No)
        return QMessageBox::StandardButton(answer);
    return QMessageBox::Cancel;
}

void ShowMessage(QWidget* parent, const QString& title, const QString& text)
{
    if (MessageHook) {
        MessageHook(title, text);
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

void CenterOnScreen(QWidget* window)
{
    QScreen* screen = window->parentWidget() ? window->parentWidget()->screen() : window->screen();
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    window->ensurePolished();
    QSize size = window->size();
    if (window->layout())
        size = size.expandedTo(window->layout()->totalSizeHint());
    QRect rect(QPoint(0, 0), size);
    rect.moveCenter(screen->availableGeometry().center());
    window->move(rect.topLeft());
}

QString PickFolder(QWidget* parent, const QString& prompt)
{
    if (PickFolderHook)
        return PickFolderHook(prompt);
    // No folder preselected, and no folder can be made or renamed from here.
    const QString folder = QFileDialog::getExistingDirectory(
        parent, prompt, QString(), QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
    return folder.isEmpty() ? QString() : QDir::toNativeSeparators(folder);
}
} // namespace Dialogs
