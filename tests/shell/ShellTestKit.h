#pragma once

// What the shell's tests share: the program's windows built as the program
// builds them, the seams answered from the test, and small helpers.

#include "CHILDWIN.h"
#include "Dialogs.h"
#include "Guard.h"
#include "MAIN.h"
#include "Overwrite.h"
#include "Settings.h"
#include "about.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenuBar>
#include <QTimer>
#include <QtTest>

#include <functional>

namespace ShellTestKit {

// Messages that reached the error guard.
inline QStringList& Errors()
{
    static QStringList errors;
    return errors;
}

// Builds the main window and the three dialogs in the program's order.
inline void StartProgram()
{
    Errors().clear();
    SetErrorReporter([](const QString& message) { Errors() << message; });
    MainForm = new TMainForm;
    AboutBox = new TAboutBox(MainForm);
    SettingsBox = new TSettingsBox(MainForm);
    OverwriteBox = new TOverwriteBox(MainForm);
    MainForm->show();
}

inline void EndProgram()
{
    delete MainForm; // the dialogs and catalog windows go with it
    MainForm = nullptr;
    AboutBox = nullptr;
    SettingsBox = nullptr;
    OverwriteBox = nullptr;
    TFileDialog::TestHook = nullptr;
    Dialogs::AskHook = nullptr;
    Dialogs::MessageHook = nullptr;
    Dialogs::PickFolderHook = nullptr;
    SetErrorReporter(nullptr);
}

inline QString IniPath()
{
    return TMainForm::IniFileName();
}

inline void WriteIni(const QByteArray& text)
{
    QFile file(IniPath());
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

inline QByteArray ReadFile(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// Runs answer on the next modal window once it is shown (the call that
// shows it must follow at once).
inline void WhenModal(std::function<void(QWidget*)> answer)
{
    QTimer::singleShot(0, qApp, [answer] {
        QWidget* modal = QApplication::activeModalWidget();
        QVERIFY2(modal, "no modal window is shown");
        answer(modal);
    });
}

// The button of a window whose text (without "&") is text.
inline QAbstractButton* Button(QWidget* window, const QString& text)
{
    const auto buttons = window->findChildren<QAbstractButton*>();
    for (QAbstractButton* button : buttons)
        if (button->text().remove(QLatin1Char('&')) == text)
            return button;
    return nullptr;
}

// A frame with count points, so the slot counts as used.
inline std::unique_ptr<TZLT_Frame> Frame(int count, int16_t base = 0)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (int i = 0; i < count; ++i)
        frame->Add(TZLT_Point(int16_t(base + i), int16_t(-i), 0, uint8_t(i % 64), 0));
    return frame;
}

inline QStringList Titles()
{
    QStringList titles;
    for (int i = 0; i < MainForm->MDIChildCount(); ++i)
        titles << MainForm->MDIChildren(i)->windowTitle();
    return titles;
}

} // namespace ShellTestKit
