// Ending the program: every catalog window is asked in the frame's order,
// the first refusal stops everything, and the settings are written only
// when the program really ends.

#include "ShellTestKit.h"

#include <QMdiArea>
#include <QTemporaryDir>

using namespace ShellTestKit;

class TestShutdown : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void answersDecideTheEnd_data();
    void answersDecideTheEnd();
    void yesSavesBeforeTheEnd();
    void unwritableSettingsAreReportedAndTheProgramEnds();
    void exitCommandAndCloseBoxAgree();
};

void TestShutdown::init()
{
    QFile::remove(IniPath());
    StartProgram();
}

void TestShutdown::cleanup()
{
    EndProgram();
    QDir(IniPath()).removeRecursively();
    QFile::remove(IniPath());
}

void TestShutdown::answersDecideTheEnd_data()
{
    // The answer for each of three windows with changes, in the frame's
    // order; the windows asked; whether the program ends.
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<bool>("ends");
    const int no = QMessageBox::No;
    const int cancel = QMessageBox::Cancel;
    const QStringList all{"noname1.cat", "noname2.cat", "noname3.cat"};
    QTest::newRow("No to all") << QList<int>{no, no, no} << all << true;
    QTest::newRow("Cancel at the first") << QList<int>{cancel, no, no} << all.mid(0, 1) << false;
    QTest::newRow("Cancel at the second") << QList<int>{no, cancel, no} << all.mid(0, 2) << false;
    QTest::newRow("Cancel at the last") << QList<int>{no, no, cancel} << all << false;
}

void TestShutdown::answersDecideTheEnd()
{
    QFETCH(QList<int>, answers);
    QFETCH(QStringList, asked);
    QFETCH(bool, ends);
    for (int i = 0; i < 3; ++i)
        MainForm->FileNew1->trigger();
    // The frame's order is the order of opening, whichever window is active.
    MainForm->MdiArea->setActiveSubWindow(MainForm->MDIChildren(1));

    QStringList seen;
    Dialogs::AskHook = [&](const QString& title, const QString& text) {
        const QString name = text.section(QLatin1Char(' '), 1, 1);
        seen << name;
        if (title != QStringLiteral("Confirm"))
            return QMessageBox::Cancel;
        return QMessageBox::StandardButton(answers.value(int(seen.size()) - 1, QMessageBox::Cancel));
    };
    const bool closed = MainForm->close();
    QCOMPARE(seen, asked);
    QCOMPARE(closed, ends);
    QCOMPARE(QFile::exists(IniPath()), ends);
    if (ends) {
        QVERIFY(!MainForm->isVisible());
        QCOMPARE(MainForm->MDIChildCount(), 0);
        QCOMPARE(ReadFile(IniPath()), QByteArray("[Application]\nLanguage=0\nPathToPalettes=C:\\laser\\\n"));
    } else {
        // Windows answered with No before the refusal stay, with their changes.
        QVERIFY(MainForm->isVisible());
        QCOMPARE(Titles(), QStringList({"noname1.cat", "noname2.cat", "noname3.cat"}));
        for (int i = 0; i < 3; ++i)
            QVERIFY(MainForm->MDIChildren(i)->Modified);
    }
    QVERIFY(Errors().isEmpty());
}

void TestShutdown::yesSavesBeforeTheEnd()
{
    QTemporaryDir dir;
    const QString saved = dir.filePath(QStringLiteral("kept.cat"));
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->setWindowTitle(saved);
    child->Cat.Frames.SetFrame(7, Frame(3));
    const QByteArray expected = child->Cat.ToBytes();
    MainForm->FileNew1->trigger();
    MainForm->ActiveMDIChild()->Modified = false; // not asked

    QStringList seen;
    Dialogs::AskHook = [&seen](const QString&, const QString& text) {
        seen << text;
        return QMessageBox::Yes;
    };
    QVERIFY(MainForm->close());
    QCOMPARE(seen, QStringList({QStringLiteral("File ") + saved + QStringLiteral(" not saved, save ?")}));
    QCOMPARE(ReadFile(saved), expected);
    QVERIFY(QFile::exists(IniPath()));
}

void TestShutdown::unwritableSettingsAreReportedAndTheProgramEnds()
{
    // A folder in the settings file's place cannot be replaced by a file.
    QVERIFY(QDir().mkpath(IniPath()));
    MainForm->FileNew1->trigger();
    MainForm->ActiveMDIChild()->Modified = false;
    QVERIFY(MainForm->close());
    QCOMPARE(Errors().size(), 1);
    QVERIFY2(Errors()[0].contains(IniPath()), qPrintable(Errors()[0]));
    QVERIFY(!MainForm->isVisible());
    QCOMPARE(MainForm->MDIChildCount(), 0);
    QVERIFY(QFileInfo(IniPath()).isDir());
}

void TestShutdown::exitCommandAndCloseBoxAgree()
{
    MainForm->FileNew1->trigger();
    int asked = 0;
    Dialogs::AskHook = [&asked](const QString&, const QString&) {
        ++asked;
        return QMessageBox::Cancel;
    };
    MainForm->FileExit1->trigger();
    QCOMPARE(asked, 1);
    QVERIFY(MainForm->isVisible());
    QVERIFY(!QFile::exists(IniPath()));

    // The window's own close box goes the same way.
    QCloseEvent event;
    QCoreApplication::sendEvent(MainForm, &event);
    QVERIFY(!event.isAccepted());
    QCOMPARE(asked, 2);

    Dialogs::AskHook = [&asked](const QString&, const QString&) {
        ++asked;
        return QMessageBox::No;
    };
    MainForm->FileExit1->trigger();
    QCOMPARE(asked, 3);
    QVERIFY(!MainForm->isVisible());
    QVERIFY(QFile::exists(IniPath()));
}

QTEST_MAIN(TestShutdown)
#include "tst_shell_shutdown.moc"
