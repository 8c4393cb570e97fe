#include "Dialogs.h"

#include "Language.h"
#include "ZLT_FileNames.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QStringList>

#include <algorithm>

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
    dialog.setFileMode(FKind == Kind::Open ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = QtFilters(Filter);
    dialog.setNameFilters(filters);
    if (FilterIndex > 0 && FilterIndex < filters.size())
        dialog.selectNameFilter(filters[FilterIndex]);
    dialog.setDefaultSuffix(DefaultExt);
    dialog.setSizeGripEnabled(true);
    if (!FileName.isEmpty()) {
        const QFileInfo info(FileName);
        if (info.isAbsolute() || FileName.contains(QLatin1Char('/')))
            dialog.setDirectory(info.absolutePath());
        dialog.selectFile(info.fileName());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty())
        return false;
    FileName = files.first();
    FilterIndex = std::max<int>(0, int(filters.indexOf(dialog.selectedNameFilter())));
    return true;
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
