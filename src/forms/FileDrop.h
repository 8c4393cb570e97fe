#pragma once

#include <QObject>
#include <QStringList>

class QMimeData;
class QWidget;

// Files dragged from a file manager onto the main window, wherever they
// land: on a catalog window's grid, a PIC file goes into the slot under the
// pointer and a catalog opens in a window of its own; anywhere else each
// file opens as from the command line (FileOpener). Frames dragged between
// grids keep the grid's own drag and drop. Like every command, a drop does
// nothing while a modal dialog or a job holds the commands back.
class TFileDrop : public QObject
{
    Q_OBJECT

public:
    // Makes the window accept drops and watches the drops on it and on
    // everything inside it.
    explicit TFileDrop(QWidget* mainWindow);

    // The local files a drag carries; none when it carries frames.
    static QStringList LocalFiles(const QMimeData* mime);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* FMainWindow;
};
