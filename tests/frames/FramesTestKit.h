#pragma once

// Shared helpers of the frame-operation tests: a main window with catalog
// windows, frames that carry a number, scripted answers to the
// overwrite-or-insert question and captured error messages.

#include "CHILDWIN.h"
#include "Dialogs.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"

#include <QApplication>
#include <QMdiArea>
#include <QPushButton>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

namespace Kit {

// A frame whose first point carries id in X (id 1..32767); 0 stands for an
// empty frame. Further points make it a realistic drawing.
inline std::unique_ptr<TZLT_Frame> MakeFrame(int id, int points = 3)
{
    auto frame = std::make_unique<TZLT_Frame>();
    if (id == 0)
        return frame;
    frame->Add(TZLT_Point(int16_t(id), int16_t(-id), 7, 3, 1));
    for (int i = 1; i < points; ++i)
        frame->Add(TZLT_Point(int16_t(100 * i), int16_t(-50 * i), int16_t(i), uint8_t(i % 64), 0));
    return frame;
}

inline int FrameId(const TZLT_Frame& frame)
{
    return frame.Used() ? frame.GetPoint(0).X() : 0;
}

inline std::vector<int> Ids(const TZLT_FrameList& frames, int first, int count)
{
    std::vector<int> ids;
    for (int i = first; i < first + count; ++i)
        ids.push_back(FrameId(frames.GetFrame(i)));
    return ids;
}

inline std::vector<int> AllIds(const TZLT_FrameList& frames)
{
    return Ids(frames, 0, frames.Count());
}

inline void SetIds(TZLT_FrameList& frames, int first, const std::vector<int>& ids)
{
    for (size_t i = 0; i < ids.size(); ++i)
        frames.SetFrame(first + int(i), MakeFrame(ids[i]));
}

inline std::unique_ptr<TZLT_FrameList> MakeList(const std::vector<int>& ids)
{
    auto list = std::make_unique<TZLT_FrameList>();
    for (int id : ids)
        list->Add(MakeFrame(id));
    return list;
}

// Letters stand for frames: '.' is an empty frame, 'A'.. are used ones.
inline std::vector<int> IdsOf(const QString& text)
{
    std::vector<int> ids;
    for (QChar c : text)
        ids.push_back(c == QLatin1Char('.') ? 0 : int(c.unicode()));
    return ids;
}

inline QString TextOf(const std::vector<int>& ids)
{
    QString text;
    for (int id : ids)
        text += id == 0 ? QChar(u'.') : QChar(char16_t(id));
    return text;
}

struct TModelResult
{
    std::vector<int> Slots;
    int Questions = 0;
    bool IndexError = false;
};

// A reference of what placing must do, on frame numbers (0 = empty slot):
// each question takes the next scripted answer (Cancel once it runs out).
inline TModelResult ModelPaste(std::vector<int> cat, const std::vector<int>& list, int first,
                               const QString& script)
{
    TModelResult result;
    char answer = 'o';
    bool asking = true;
    int next = 0;
    for (size_t i = 0; i < list.size(); ++i) {
        const size_t t = size_t(first) + i;
        if (t >= cat.size()) {
            result.IndexError = true;
            break;
        }
        if (asking && cat[t] != 0) {
            ++result.Questions;
            answer = next < script.size() ? script[next++].toLatin1() : 'c';
        }
        if (answer == 'o' || answer == 'O') {
            cat[t] = list[i];
            if (answer == 'O') {
                asking = false;
                answer = 'o';
            }
        } else if (answer == 'i' || answer == 'I') {
            cat.insert(cat.begin() + std::ptrdiff_t(t), list[i]);
            cat.pop_back();
            if (answer == 'I') {
                asking = false;
                answer = 'i';
            }
        }
    }
    result.Slots = std::move(cat);
    return result;
}

// Answers the overwrite-or-insert question as a user would, one scripted
// answer per question: o/O Overwrite (All), i/I Insert (All), c the Cancel
// button, e Escape, n Enter, x the close box. A question beyond the script
// is counted as unexpected and answered with Cancel so no test hangs.
class TAnswerer
{
public:
    explicit TAnswerer(const QString& script = QString())
    {
        for (QChar c : script)
            FScript.push_back(c.toLatin1());
        QObject::connect(&FTimer, &QTimer::timeout, [this] { Poll(); });
        FTimer.start(0);
    }

    int Questions = 0;
    int Unexpected = 0;
    int Left() const { return int(FScript.size()); }

private:
    void Poll()
    {
        if (OverwriteBox == nullptr || !OverwriteBox->isVisible() ||
            QApplication::activeModalWidget() != OverwriteBox)
            return;
        ++Questions;
        char answer = 'c';
        if (FScript.empty())
            ++Unexpected;
        else {
            answer = FScript.front();
            FScript.pop_front();
        }
        switch (answer) {
        case 'o':
            QTest::mouseClick(OverwriteBox->OverwriteBtn, Qt::LeftButton);
            break;
        case 'O':
            QTest::mouseClick(OverwriteBox->OverwriteAllBtn, Qt::LeftButton);
            break;
        case 'i':
            QTest::mouseClick(OverwriteBox->InsertBtn, Qt::LeftButton);
            break;
        case 'I':
            QTest::mouseClick(OverwriteBox->InsertAllBtn, Qt::LeftButton);
            break;
        case 'e':
            QTest::keyClick(OverwriteBox, Qt::Key_Escape);
            break;
        case 'n':
            QTest::keyClick(OverwriteBox, Qt::Key_Return);
            break;
        case 'x':
            OverwriteBox->close();
            break;
        default:
            QTest::mouseClick(OverwriteBox->CancelBtn, Qt::LeftButton);
            break;
        }
        // Whatever the key or click did, never leave the question open.
        if (OverwriteBox->isVisible() && answer != 'c' && answer != 'e' && answer != 'n' && answer != 'x')
            ++Unexpected;
    }

    std::deque<char> FScript;
    QTimer FTimer;
};

inline void UnexpectedMessage(const QString& title, const QString& text)
{
    qCritical("unexpected message box: %s: %s", qPrintable(title), qPrintable(text));
}

// Collects the messages the error guard and the plain message boxes would
// show.
class TErrors
{
public:
    TErrors()
    {
        SetErrorReporter([this](const QString& message) { Messages << message; });
        Dialogs::MessageHook = [this](const QString&, const QString& text) { Messages << text; };
    }
    ~TErrors()
    {
        SetErrorReporter(nullptr);
        Dialogs::MessageHook = UnexpectedMessage;
    }
    QStringList Messages;
};

// The main window with the question dialog, created once per test program.
inline void EnsureMainWindow()
{
    Dialogs::MessageHook = UnexpectedMessage;
    if (MainForm == nullptr)
        MainForm = new TMainForm;
    if (OverwriteBox == nullptr)
        OverwriteBox = new TOverwriteBox(MainForm);
    Dialogs::AskHook = [](const QString&, const QString&) { return QMessageBox::No; };
    if (!MainForm->isVisible()) {
        MainForm->resize(1000, 500);
        MainForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(MainForm));
    }
    MainForm->activateWindow();
}

// A new catalog window made by the File New command; it is the active one.
inline TMDIChild* NewWindow()
{
    const int before = MainForm->MDIChildCount();
    MainForm->FileNew1->trigger();
    if (MainForm->MDIChildCount() != before + 1)
        return nullptr;
    TMDIChild* child = MainForm->ActiveMDIChild();
    if (child != nullptr)
        QTest::qWait(0);
    return child;
}

inline void CloseAllWindows()
{
    if (MainForm == nullptr)
        return;
    for (int i = MainForm->MDIChildCount() - 1; i >= 0; --i)
        MainForm->MDIChildren(i)->Modified = false;
    MainForm->MdiArea->closeAllSubWindows();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace Kit
