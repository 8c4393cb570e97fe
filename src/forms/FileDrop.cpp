#include "FileDrop.h"

#include "CHILDWIN.h"
#include "FileOpener.h"
#include "FrameGrid.h"
#include "Guard.h"
#include "ZLT_FileNames.h"

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QTimer>
#include <QUrl>

namespace {
template<class T>
T* Enclosing(QObject* object)
{
    for (QObject* o = object; o != nullptr; o = o->parent())
        if (auto* found = qobject_cast<T*>(o))
            return found;
    return nullptr;
}
} // namespace

TFileDrop::TFileDrop(QWidget* mainWindow) : QObject(mainWindow), FMainWindow(mainWindow)
{
    // Widgets that take no drops pass them on to the window.
    mainWindow->setAcceptDrops(true);
    qApp->installEventFilter(this);
}

QStringList TFileDrop::LocalFiles(const QMimeData* mime)
{
    QStringList files;
    if (!mime || mime->hasFormat(TFrameGrid::MimeType) || !mime->hasUrls())
        return files;
    const QList<QUrl> urls = mime->urls();
    for (const QUrl& url : urls) {
        if (!url.isLocalFile() || url.toLocalFile().isEmpty())
            continue;
        // From the URL's bytes: toLocalFile loses a name that is not UTF-8.
        const QString file = ZLT_FileNames::FromUrl(url.toEncoded(QUrl::RemoveQuery | QUrl::RemoveFragment));
        files << (file.isEmpty() ? url.toLocalFile() : file);
    }
    return files;
}

bool TFileDrop::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != FMainWindow)
        return false;
    auto* drop = static_cast<QDropEvent*>(event);
    const QStringList files = LocalFiles(drop->mimeData());
    if (files.isEmpty())
        return false; // frames, text and the like: the widget's own business
    // Taken here before any widget sees it: a text field would insert the
    // names as text.
    if (CommandsBlocked()) {
        drop->ignore();
        return true;
    }
    if (drop->possibleActions() & Qt::CopyAction)
        drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type != QEvent::Drop)
        return true;

    // The slot under the pointer when the drop lands on a grid.
    TMDIChild* child = nullptr;
    int slot = -1;
    if (auto* grid = Enclosing<TFrameGrid>(widget)) {
        child = Enclosing<TMDIChild>(grid);
        if (child) {
            const QPoint global = widget->mapToGlobal(drop->position().toPoint());
            slot = child->SlotAt(grid->viewport()->mapFromGlobal(global));
        }
    }
    // The files open once the drag has ended, so the file manager is not
    // kept waiting by the questions and messages that opening may bring.
    QPointer<TMDIChild> target(child);
    QTimer::singleShot(0, FMainWindow, [files, target, slot] {
        RunCommand([&] {
            if (target)
                FileOpener::DropFiles(target, slot, files);
            else
                FileOpener::OpenFiles(files);
        });
    });
    return true;
}
