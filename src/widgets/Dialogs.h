#pragma once

#include <QMessageBox>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>

class QFileDialog;
class TIniFile;

// A file dialog that keeps its filter, default extension and file name
// between uses, like the main window's shared open and save dialogs.
class TFileDialog
{
public:
    enum class Kind
    {
        Open,
        Save
    };
    explicit TFileDialog(Kind kind) : FKind(kind) {}

    Kind DialogKind() const { return FKind; }
    QString Filter;      // "Description (*.ext)|*.ext"
    QString DefaultExt;  // without dot
    QString FileName;    // proposed name; the chosen full path after Execute
    int FilterIndex = 0; // the filter offered first; the one chosen after Execute
    bool Multiple = false; // Open: several existing files may be chosen
    QStringList FileNames; // all chosen files after Execute (FileName is the first)

    // Shows the dialog modally; true when the user chose a file.
    bool Execute(QWidget* parent);

    // Tests answer the dialog here instead of the user: return false to
    // cancel, or set dialog.FileName (and FileNames when Multiple) and return true.
    static inline std::function<bool(TFileDialog& dialog)> TestHook;

    // File dialogs open at the size the user last gave one, else at one
    // that shows every column of a typical listing; the columns are made
    // wide enough for their usual contents. Kept in the settings file's
    // section [FileDialogs], written once a user has resized a dialog.
    static void Prepare(QFileDialog& dialog);
    static void Remember(const QFileDialog& dialog);
    static void LoadSettings(const TIniFile& ini);
    static void SaveSettings(TIniFile& ini);
    static inline QSize RememberedSize; // invalid until a user resized a dialog

private:
    Kind FKind;
};

// Message boxes and the folder picker, with seams for tests.
namespace Dialogs {
// Yes/No/Cancel question without icon; returns QMessageBox::Yes, No or Cancel.
QMessageBox::StandardButton AskYesNoCancel(QWidget* parent, const QString& title, const QString& text);
// A plain message with one OK button.
void ShowMessage(QWidget* parent, const QString& title, const QString& text);
// The folder picker; an empty string when the user cancelled.
QString PickFolder(QWidget* parent, const QString& prompt);

// Places a window in the middle of its screen (before it is shown).
void CenterOnScreen(QWidget* window);

inline std::function<QMessageBox::StandardButton(const QString& title, const QString& text)> AskHook;
inline std::function<void(const QString& title, const QString& text)> MessageHook;
inline std::function<QString(const QString& prompt)> PickFolderHook;
} // namespace Dialogs
