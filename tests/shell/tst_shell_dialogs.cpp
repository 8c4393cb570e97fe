// The overwrite-or-insert question, the About box, the message boxes, the
// file dialogs and the error guard, driven as a user would.

#include "Icons.h"
#include "ShellTestKit.h"
#include "ZLT_Error.h"

#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>

#include <stdexcept>

using namespace ShellTestKit;

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void overwriteButtonsAnswer_data();
    void overwriteButtonsAnswer();
    void overwriteKeysAnswerCancel_data();
    void overwriteKeysAnswerCancel();
    void overwriteEnterAfterTabAnswersOverwrite();
    void overwriteLayout();

    void aboutBoxContents();

    void questionBoxHasThreeButtonsAndNoIcon_data();
    void questionBoxHasThreeButtonsAndNoIcon();
    void messageBoxHasOneButton();

    void openDialogTakesOneExistingFile();
    void saveDialogAppendsTheExtension();
    void saveDialogWantsAnExistingFolder_data();
    void saveDialogWantsAnExistingFolder();

    void guardShowsTheMessage_data();
    void guardShowsTheMessage();
    void eventHandlerErrorsStopAtTheGuard();
};

void TestDialogs::init()
{
    QFile::remove(IniPath());
    StartProgram();
}

void TestDialogs::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

void TestDialogs::overwriteButtonsAnswer_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("answer");
    QTest::newRow("Overwrite") << "OverwriteBtn" << 3;
    QTest::newRow("Overwrite All") << "OverwriteAllBtn" << 4;
    QTest::newRow("Insert") << "InsertBtn" << 5;
    QTest::newRow("Insert All") << "InsertAllBtn" << 6;
    QTest::newRow("Cancel") << "CancelBtn" << 2;
}

void TestDialogs::overwriteButtonsAnswer()
{
    QFETCH(QString, button);
    QFETCH(int, answer);
    WhenModal([&button](QWidget* modal) {
        auto* b = modal->findChild<QPushButton*>(button);
        QVERIFY(b);
        QTest::mouseClick(b, Qt::LeftButton);
    });
    QCOMPARE(OverwriteBox->exec(), answer);
    // Nothing stays from one question to the next.
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    QCOMPARE(OverwriteBox->exec(), int(TOverwriteBox::Cancel));
}

void TestDialogs::overwriteKeysAnswerCancel_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Enter") << "enter";
    QTest::newRow("Return on the keypad") << "keypad";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestDialogs::overwriteKeysAnswerCancel()
{
    QFETCH(QString, how);
    QWidget* focused = nullptr;
    WhenModal([&](QWidget* modal) {
        focused = modal->focusWidget();
        if (how == "enter")
            QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
        else if (how == "keypad")
            QTest::keyClick(modal->focusWidget(), Qt::Key_Enter, Qt::KeypadModifier);
        else if (how == "escape")
            QTest::keyClick(modal->focusWidget(), Qt::Key_Escape);
        else
            modal->close();
    });
    QCOMPARE(OverwriteBox->exec(), int(TOverwriteBox::Cancel));
    QCOMPARE(focused, static_cast<QWidget*>(OverwriteBox->CancelBtn));
}

void TestDialogs::overwriteEnterAfterTabAnswersOverwrite()
{
    WhenModal([](QWidget* modal) {
        QTest::keyClick(modal->focusWidget(), Qt::Key_Tab);
        QTest::keyClick(modal->focusWidget(), Qt::Key_Return);
    });
    QCOMPARE(OverwriteBox->exec(), int(TOverwriteBox::Overwrite));
    // The next question starts on Cancel again.
    WhenModal([](QWidget* modal) { QTest::keyClick(modal->focusWidget(), Qt::Key_Return); });
    QCOMPARE(OverwriteBox->exec(), int(TOverwriteBox::Cancel));
}

void TestDialogs::overwriteLayout()
{
    TOverwriteBox* box = OverwriteBox;
    WhenModal([](QWidget* modal) { modal->close(); });
    box->exec(); // laid out as shown
    QCOMPARE(box->windowTitle(), QStringLiteral("Overwrite"));
    QCOMPARE(box->Label1->text(), QStringLiteral("Overwrite current frame or insert ?"));
    QCOMPARE(box->Label1->alignment() & Qt::AlignHCenter, Qt::AlignHCenter);
    QCOMPARE(box->minimumSize(), box->maximumSize()); // fixed size

    // Overwrite, Overwrite All, Cancel in the first row; Insert, Insert All below.
    const auto top = [](QWidget* w) { return w->geometry().top(); };
    QCOMPARE(top(box->OverwriteAllBtn), top(box->OverwriteBtn));
    QCOMPARE(top(box->CancelBtn), top(box->OverwriteBtn));
    QCOMPARE(top(box->InsertAllBtn), top(box->InsertBtn));
    QVERIFY(top(box->InsertBtn) > box->OverwriteBtn->geometry().bottom());
    QVERIFY(box->OverwriteBtn->x() < box->OverwriteAllBtn->x());
    QVERIFY(box->OverwriteAllBtn->x() < box->CancelBtn->x());
    QCOMPARE(box->InsertBtn->x(), box->OverwriteBtn->x());
    QCOMPARE(box->InsertAllBtn->x(), box->OverwriteAllBtn->x());
    QVERIFY(box->Label1->mapTo(box, QPoint(0, 0)).y() < top(box->OverwriteBtn));
    for (QPushButton* b :
         {box->OverwriteBtn, box->OverwriteAllBtn, box->InsertBtn, box->InsertAllBtn, box->CancelBtn})
        QVERIFY2(b->width() >= b->sizeHint().width(), qPrintable(b->text())); // the text fits
}

void TestDialogs::aboutBoxContents()
{
    QCOMPARE(AboutBox->windowTitle(), QStringLiteral("About"));
    QCOMPARE(AboutBox->ProductName->text(), QStringLiteral("Trevasc"));
    QCOMPARE(AboutBox->Version->text(), QStringLiteral("Version 0.3a"));
    QCOMPARE(AboutBox->Label1->text(),
             QStringLiteral("A tool to copy/move frames between ZLT catalog files"));
    QCOMPARE(AboutBox->Label2->text(), QString());
    QCOMPARE(AboutBox->Label3->text(), QStringLiteral("See readme.txt for more info..."));
    const QPixmap icon = AboutBox->ProgramIcon->pixmap();
    QCOMPARE(icon.size(), QSize(32, 32));
    QCOMPARE(icon.toImage(), Icons::ProgramPicture().toImage());
    QVERIFY(AboutBox->OKButton->isDefault());

    // Escape closes it as well.
    WhenModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    AboutBox->exec();
    QVERIFY(!AboutBox->isVisible());

    // The program icon has both sizes, in grey, black and white.
    const QIcon programIcon = Icons::ProgramIcon();
    QVERIFY(programIcon.availableSizes().contains(QSize(16, 16)));
    QVERIFY(programIcon.availableSizes().contains(QSize(32, 32)));
    QCOMPARE(MainForm->windowIcon().cacheKey() != 0, true);
}

void TestDialogs::questionBoxHasThreeButtonsAndNoIcon_data()
{
    QTest::addColumn<QString>("press");
    QTest::addColumn<int>("answer");
    QTest::newRow("Yes") << "Yes" << int(QMessageBox::Yes);
    QTest::newRow("No") << "No" << int(QMessageBox::No);
    QTest::newRow("Cancel") << "Cancel" << int(QMessageBox::Cancel);
    QTest::newRow("Escape") << "Esc" << int(QMessageBox::Cancel);
}

void TestDialogs::questionBoxHasThreeButtonsAndNoIcon()
{
    QFETCH(QString, press);
    QFETCH(int, answer);
    QString title;
    QString text;
    int buttons = 0;
    QMessageBox::Icon icon = QMessageBox::Critical;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = int(box->standardButtons());
        if (press == "Esc")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            Button(box, press)->click();
    });
    const auto result =
        Dialogs::AskYesNoCancel(MainForm, QStringLiteral("Bestätigen"), QStringLiteral("Frage ?"));
    QCOMPARE(int(result), answer);
    QCOMPARE(title, QStringLiteral("Bestätigen"));
    QCOMPARE(text, QStringLiteral("Frage ?"));
    QCOMPARE(icon, QMessageBox::NoIcon);
    QCOMPARE(buttons, int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel));
}

void TestDialogs::messageBoxHasOneButton()
{
    QString title;
    QString text;
    int buttons = 0;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        buttons = int(box->standardButtons());
        QTest::keyClick(box, Qt::Key_Return);
    });
    Dialogs::ShowMessage(MainForm, QStringLiteral("Trevasc"), QStringLiteral("/x does not exists."));
    QCOMPARE(title, QStringLiteral("Trevasc"));
    QCOMPARE(text, QStringLiteral("/x does not exists."));
    QCOMPARE(buttons, int(QMessageBox::Ok));
}

void TestDialogs::openDialogTakesOneExistingFile()
{
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("a.cat"));
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    TFileDialog dialog(TFileDialog::Kind::Open);
    dialog.Filter = QStringLiteral("ZLT Catalog files (*.cat)|*.cat");
    dialog.DefaultExt = QStringLiteral("cat");
    dialog.FileName = existing;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::Directory;
    WhenModal([&](QWidget* modal) {
        auto* fd = qobject_cast<QFileDialog*>(modal);
        QVERIFY(fd);
        filters = fd->nameFilters();
        mode = fd->fileMode();
        QCOMPARE(fd->acceptMode(), QFileDialog::AcceptOpen);
        QVERIFY(fd->isSizeGripEnabled());
        static_cast<QDialog*>(fd)->accept();
    });
    QVERIFY(dialog.Execute(MainForm));
    QCOMPARE(filters, QStringList({"ZLT Catalog files (*.cat)"}));
    QCOMPARE(mode, QFileDialog::ExistingFile);
    QCOMPARE(QFileInfo(dialog.FileName), QFileInfo(existing));

    WhenModal([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    QVERIFY(!dialog.Execute(MainForm));
}

void TestDialogs::saveDialogAppendsTheExtension()
{
    QTemporaryDir dir;
    TFileDialog dialog(TFileDialog::Kind::Save);
    dialog.Filter = QStringLiteral("ZLT PIC files (*.pic)|*.pic");
    dialog.DefaultExt = QStringLiteral("pic");
    dialog.FileName = dir.filePath(QStringLiteral("00012.pic"));
    QString proposed;
    bool confirmsOverwrite = false;
    WhenModal([&](QWidget* modal) {
        auto* fd = qobject_cast<QFileDialog*>(modal);
        QVERIFY(fd);
        QCOMPARE(fd->acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(fd->nameFilters(), QStringList({"ZLT PIC files (*.pic)"}));
        proposed = fd->selectedFiles().value(0);
        confirmsOverwrite = !fd->testOption(QFileDialog::DontConfirmOverwrite);
        fd->selectFile(QStringLiteral("frame"));
        static_cast<QDialog*>(fd)->accept();
    });
    QVERIFY(dialog.Execute(MainForm));
    QCOMPARE(QFileInfo(proposed).fileName(), QStringLiteral("00012.pic"));
    QVERIFY(confirmsOverwrite);
    QCOMPARE(dialog.FileName, QDir(dir.path()).filePath(QStringLiteral("frame.pic")));
}

void TestDialogs::saveDialogWantsAnExistingFolder_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("typed"); // relative to a fresh folder
    QTest::addColumn<bool>("accepted");
    for (const char* command : {"Save As", "Save as PIC"}) {
        QTest::addRow("%s: missing folder", command) << command << "missing/x" << false;
        QTest::addRow("%s: folder is a file", command) << command << "plain-file/x" << false;
        QTest::addRow("%s: existing folder", command) << command << "sub/x" << true;
    }
}

void TestDialogs::saveDialogWantsAnExistingFolder()
{
    QFETCH(QString, command);
    QFETCH(QString, typed);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    QFile plain(dir.filePath(QStringLiteral("plain-file")));
    QVERIFY(plain.open(QIODevice::WriteOnly));
    plain.close();
    MainForm->FileNew1->trigger();
    TMDIChild* child = MainForm->ActiveMDIChild();
    child->Cat.Frames.SetFrame(0, Frame(3));
    const bool pic = command == QLatin1String("Save as PIC");
    const QString wanted = dir.filePath(typed + (pic ? QStringLiteral(".pic") : QStringLiteral(".cat")));

    QStringList messages;
    Dialogs::MessageHook = [&](const QString&, const QString& text) { messages << text; };
    bool stayedOpen = false;
    WhenModal([&](QWidget* modal) {
        auto* fd = qobject_cast<QFileDialog*>(modal);
        QVERIFY(fd);
        fd->setDirectory(dir.path());
        auto* name = fd->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        QVERIFY(name);
        name->clear();
        QTest::keyClicks(name, typed);
        QTest::keyClick(name, Qt::Key_Return);
        stayedOpen = fd->isVisible();
        if (stayedOpen)
            fd->reject();
    });
    (pic ? child->SavePicAction : MainForm->FileSaveAs1)->trigger();

    QVERIFY(Errors().isEmpty());
    QCOMPARE(stayedOpen, !accepted);
    QCOMPARE(QFile::exists(wanted), accepted);
    if (accepted) {
        QVERIFY(messages.isEmpty());
    } else {
        QCOMPARE(messages.size(), 1);
        QVERIFY2(messages[0].contains(QFileInfo(wanted).absolutePath()), qPrintable(messages[0]));
    }
    // A catalog is retitled only by a name it could be saved under.
    if (!pic)
        QCOMPARE(child->windowTitle(), accepted ? wanted : QStringLiteral("noname1.cat"));
}

void TestDialogs::guardShowsTheMessage_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("program error") << 0 << "File does not exist: 'x.cat'";
    QTest::newRow("standard exception") << 1 << "out of range";
    QTest::newRow("anything else") << 2 << "Unknown error";
}

void TestDialogs::guardShowsTheMessage()
{
    QFETCH(int, kind);
    QFETCH(QString, message);
    bool after = false;
    RunGuarded([&] {
        if (kind == 0)
            throw EZLT_Cat_Load(QStringLiteral("File does not exist: 'x.cat'"));
        if (kind == 1)
            throw std::out_of_range("out of range");
        throw 42;
    });
    RunGuarded([&] { after = true; });
    QCOMPARE(Errors(), QStringList({message}));
    QVERIFY(after);

    // Without a test reporter the message shows in a box titled Trevasc.
    SetErrorReporter(nullptr);
    QString title;
    QString text;
    WhenModal([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box);
        title = box->windowTitle();
        text = box->text();
        box->accept();
    });
    RunGuarded([] { throw EZLT_File(QStringLiteral("Cannot write file 'ä.cat'")); });
    QCOMPARE(title, QStringLiteral("Trevasc"));
    QCOMPARE(text, QStringLiteral("Cannot write file 'ä.cat'"));
}

namespace {
class ThrowingWidget : public QObject
{
public:
    bool event(QEvent* event) override
    {
        if (event->type() == QEvent::User)
            throw EZLT_Error(QStringLiteral("handler failed"));
        return QObject::event(event);
    }
};
} // namespace

void TestDialogs::eventHandlerErrorsStopAtTheGuard()
{
    ThrowingWidget target;
    QEvent event(QEvent::User);
    QCoreApplication::sendEvent(&target, &event);
    QCOMPARE(Errors(), QStringList({"handler failed"}));
    QCoreApplication::postEvent(&target, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    QCOMPARE(Errors(), QStringList({"handler failed", "handler failed"}));
}

int main(int argc, char* argv[])
{
    TApplication application(argc, argv);
    TestDialogs test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_shell_dialogs.moc"
