// Catalog windows stay inside the area of the main window that holds them
// when that area shrinks: the preview pane docked beside or below it, or a
// smaller main window.

#include "FramePreview.h"
#include "ShellTestKit.h"

#include <QDockWidget>
#include <QMdiArea>

using namespace ShellTestKit;

class TestKeepInArea : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void windowsStayInside_data();
    void windowsStayInside();
};

void TestKeepInArea::init()
{
    QFile::remove(IniPath());
    StartProgram();
    MainForm->resize(1200, 1000);
    QVERIFY(QTest::qWaitForWindowExposed(MainForm));
}

void TestKeepInArea::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

void TestKeepInArea::windowsStayInside_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("narrower");
    QTest::addColumn<bool>("lower");
    QTest::newRow("preview docked at the right") << "right" << true << false;
    QTest::newRow("preview docked at the bottom") << "bottom" << false << true;
    QTest::newRow("preview floating") << "floating" << false << false;
    QTest::newRow("narrower main window") << "900x1000" << true << false;
    QTest::newRow("lower main window") << "1200x560" << false << true;
    QTest::newRow("smaller main window") << "640x420" << true << true;
    QTest::newRow("larger main window") << "1400x1100" << false << false;
}

// A window as wide as the area, one in its bottom right corner, one that
// fills it from a little inside, a minimised and a maximised one. After the
// change every normal window lies inside the area; each keeps its size
// unless it is larger than the area, and its place on an edge that did not
// move. The area itself looks after minimised and maximised windows.
void TestKeepInArea::windowsStayInside()
{
    QFETCH(QString, change);
    QFETCH(bool, narrower);
    QFETCH(bool, lower);
    QMdiArea* area = MainForm->MdiArea;
    const QSize before = area->viewport()->size();
    QList<TMDIChild*> normal;
    for (int i = 0; i < 3; ++i) {
        MainForm->FileNew1->trigger();
        normal << MainForm->ActiveMDIChild();
    }
    normal[1]->setGeometry(before.width() - 440, before.height() - 220, 420, 200);
    normal[2]->setGeometry(40, 30, before.width() - 40, before.height() - 30);
    MainForm->FileNew1->trigger();
    TMDIChild* minimized = MainForm->ActiveMDIChild();
    minimized->showMinimized();
    MainForm->FileNew1->trigger();
    TMDIChild* maximized = MainForm->ActiveMDIChild();
    maximized->showMaximized();
    QCoreApplication::processEvents();
    QList<QRect> was;
    for (TMDIChild* child : normal) {
        QVERIFY(QRect(QPoint(0, 0), before).contains(child->geometry()));
        was << child->geometry();
    }

    if (change == QLatin1String("right") || change == QLatin1String("bottom") ||
        change == QLatin1String("floating")) {
        if (change == QLatin1String("bottom"))
            MainForm->addDockWidget(Qt::BottomDockWidgetArea, MainForm->Preview);
        MainForm->Preview->setFloating(change == QLatin1String("floating"));
        MainForm->Preview->ToggleAction->trigger();
        QTRY_VERIFY(MainForm->Preview->isVisible());
    } else {
        const QStringList size = change.split(QLatin1Char('x'));
        MainForm->resize(size[0].toInt(), size[1].toInt());
    }
    QCoreApplication::processEvents();
    const QSize now = area->viewport()->size();
    QCOMPARE(now.width() < before.width(), narrower);
    QCOMPARE(now.height() < before.height(), lower);

    const QRect inside(QPoint(0, 0), now);
    for (int i = 0; i < normal.size(); ++i) {
        const QRect frame = normal[i]->geometry();
        const QByteArray where = QStringLiteral("window %1: %2,%3 %4x%5 in %6x%7")
                                     .arg(i)
                                     .arg(frame.x())
                                     .arg(frame.y())
                                     .arg(frame.width())
                                     .arg(frame.height())
                                     .arg(now.width())
                                     .arg(now.height())
                                     .toUtf8();
        QVERIFY2(inside.contains(frame), where);
        QVERIFY2(frame.width() == std::min(was[i].width(), now.width()), where);
        QVERIFY2(frame.height() == std::min(was[i].height(), now.height()), where);
        if (!narrower)
            QVERIFY2(frame.x() == was[i].x(), where);
        if (!lower)
            QVERIFY2(frame.y() == was[i].y(), where);
    }
    QVERIFY(minimized->isMinimized());
    QVERIFY(maximized->isMaximized());
    QCOMPARE(maximized->geometry(), inside);
}

QTEST_MAIN(TestKeepInArea)
#include "tst_shell_keepinarea.moc"
