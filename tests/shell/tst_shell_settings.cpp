// The settings dialog as the Edit menu shows it, and the language switch
// across every window.

#include "ShellTestKit.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTemporaryDir>

using namespace ShellTestKit;

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void dialogShowsTheSettingsInEffect_data();
    void dialogShowsTheSettingsInEffect();
    void okTakesAnExistingFolder();
    void okRefusesAMissingFolderSilently();
    void cancelChangesNothing_data();
    void cancelChangesNothing();
    void noLanguageChosenStoresMinusOne();
    void keysOfTheDialog();

    void germanReachesEveryWindowAtOnce();
    void englishAgainEmptiesTheSecondAboutLine();
    void settingsReachTheFileOnlyAtTheEnd();

private:
    // Shows the settings dialog through its command; edit runs while it is shown.
    void RunSettings(const std::function<void(TSettingsBox*)>& edit);
};

void TestSettings::init()
{
    QFile::remove(IniPath());
    StartProgram();
}

void TestSettings::cleanup()
{
    EndProgram();
    QFile::remove(IniPath());
}

void TestSettings::RunSettings(const std::function<void(TSettingsBox*)>& edit)
{
    bool shown = false;
    WhenModal([&](QWidget* modal) {
        shown = modal == SettingsBox;
        edit(SettingsBox);
    });
    MainForm->EditSettingsAction1->trigger();
    QVERIFY(shown);
    QVERIFY(!SettingsBox->isVisible());
}

void TestSettings::dialogShowsTheSettingsInEffect_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("shown");
    QTest::newRow("English") << 0 << 0 << "English";
    QTest::newRow("Deutsch") << 1 << 1 << "Deutsch";
    QTest::newRow("seven: none") << 7 << -1 << "";
    QTest::newRow("minus one: none") << -1 << -1 << "";
}

void TestSettings::dialogShowsTheSettingsInEffect()
{
    QFETCH(int, language);
    QFETCH(int, index);
    QFETCH(QString, shown);
    MainForm->Language = language;
    MainForm->PalettePath = QStringLiteral("/pal/");
    QString path;
    int selected = -2;
    QString entry;
    QString old;
    RunSettings([&](TSettingsBox* box) {
        path = box->EditPalPath->text();
        selected = box->ComboBoxLanguage->currentIndex();
        entry = box->ComboBoxLanguage->currentText();
        old = box->OldPalPath;
        box->ButtonCancel->click();
    });
    QCOMPARE(path, QStringLiteral("/pal/"));
    QCOMPARE(old, QStringLiteral("/pal/"));
    QCOMPARE(selected, index);
    QCOMPARE(entry, shown);
    QCOMPARE(SettingsBox->ComboBoxLanguage->count(), 2);
    QCOMPARE(SettingsBox->ComboBoxLanguage->itemText(0), QStringLiteral("English"));
    QCOMPARE(SettingsBox->ComboBoxLanguage->itemText(1), QStringLiteral("Deutsch"));
    QVERIFY(!SettingsBox->ComboBoxLanguage->isEditable());
}

void TestSettings::okTakesAnExistingFolder()
{
    QTemporaryDir dir;
    const QString path = dir.path() + QLatin1Char('/');
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(path);
        box->ButtonOK->click();
    });
    QCOMPARE(MainForm->PalettePath, path);
    QCOMPARE(MainForm->Language, 0);

    // Without a trailing separator an existing folder is taken as it stands.
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(dir.path());
        box->ButtonOK->click();
    });
    QCOMPARE(MainForm->PalettePath, dir.path());
}

void TestSettings::okRefusesAMissingFolderSilently()
{
    QTemporaryDir dir;
    MainForm->PalettePath = dir.path();
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(dir.filePath(QStringLiteral("missing")));
        box->ComboBoxLanguage->setCurrentIndex(1);
        box->ButtonOK->click();
    });
    QCOMPARE(MainForm->PalettePath, dir.path());
    QCOMPARE(MainForm->Language, 1); // the language change still applies
    QCOMPARE(SettingsBox->EditPalPath->text(), dir.path());
    QVERIFY(Errors().isEmpty());

    // Opened again, the dialog shows the path in effect.
    QString shown;
    RunSettings([&](TSettingsBox* box) {
        shown = box->EditPalPath->text();
        box->ButtonCancel->click();
    });
    QCOMPARE(shown, dir.path());
}

void TestSettings::cancelChangesNothing_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("Cancel button") << "button";
    QTest::newRow("Escape") << "escape";
    QTest::newRow("close box") << "close";
}

void TestSettings::cancelChangesNothing()
{
    QFETCH(QString, how);
    QTemporaryDir dir;
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(dir.path());
        box->ComboBoxLanguage->setCurrentIndex(1);
        if (how == "button")
            box->ButtonCancel->click();
        else if (how == "escape")
            QTest::keyClick(box, Qt::Key_Escape);
        else
            box->close();
    });
    QCOMPARE(MainForm->PalettePath, QStringLiteral("C:\\laser\\"));
    QCOMPARE(MainForm->Language, 0);
    QCOMPARE(SettingsBox->EditPalPath->text(), QStringLiteral("C:\\laser\\"));
    QCOMPARE(MainForm->FileNew1->text(), QStringLiteral("&New"));
    QCOMPARE(SettingsBox->windowTitle(), QStringLiteral("Globale Settings"));
}

void TestSettings::noLanguageChosenStoresMinusOne()
{
    MainForm->Language = 7;
    RunSettings([](TSettingsBox* box) { box->ButtonOK->click(); });
    QCOMPARE(MainForm->Language, -1);
    QCOMPARE(MainForm->FileNew1->text(), QStringLiteral("&New"));
    QVERIFY(MainForm->close());
    QCOMPARE(ReadFile(IniPath()), QByteArray("[Application]\nLanguage=-1\nPathToPalettes=C:\\laser\\\n"));
}

void TestSettings::keysOfTheDialog()
{
    // The focus starts in the path field; Enter there confirms.
    QTemporaryDir dir;
    QWidget* focused = nullptr;
    RunSettings([&](TSettingsBox* box) {
        focused = box->focusWidget();
        box->EditPalPath->setText(dir.path());
        QTest::keyClick(box->EditPalPath, Qt::Key_Return);
    });
    QCOMPARE(focused, static_cast<QWidget*>(SettingsBox->EditPalPath));
    QCOMPARE(MainForm->PalettePath, dir.path());

    // Enter with the focus on Cancel cancels.
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(QStringLiteral("/"));
        box->ButtonCancel->setFocus();
        QTest::keyClick(box->ButtonCancel, Qt::Key_Return);
    });
    QCOMPARE(MainForm->PalettePath, dir.path());
}

void TestSettings::germanReachesEveryWindowAtOnce()
{
    MainForm->FileNew1->trigger();
    MainForm->FileNew1->trigger();
    RunSettings([](TSettingsBox* box) {
        box->ComboBoxLanguage->setCurrentIndex(1);
        box->ButtonOK->click();
    });
    QCOMPARE(MainForm->Language, 1);

    // Main window: menus, actions, hints.
    QCOMPARE(MainForm->menuBar()->actions().at(3)->text(), QStringLiteral("&Fenster"));
    QCOMPARE(MainForm->FileClose1->text(), QStringLiteral("&Schließen"));
    QCOMPARE(MainForm->WindowCascade1->toolTip(), QStringLiteral("Überlappend"));
    QCOMPARE(MainForm->FileImportPicDir1->statusTip(),
             QStringLiteral("Importiert alle PIC Dateien eines Verzeichnisses in eine CAT Datei"));

    // The three dialogs.
    QCOMPARE(OverwriteBox->windowTitle(), QStringLiteral("Überschreiben"));
    QCOMPARE(OverwriteBox->Label1->text(), QStringLiteral("Überschreibe aktuellen Frame oder Einfügen ?"));
    QCOMPARE(OverwriteBox->OverwriteBtn->text(), QStringLiteral("Ü&berschreiben"));
    QCOMPARE(OverwriteBox->InsertAllBtn->text(), QStringLiteral("Ein&fügen Alle"));
    QCOMPARE(OverwriteBox->CancelBtn->text(), QStringLiteral("&Abbrechen"));
    QCOMPARE(SettingsBox->windowTitle(), QStringLiteral("Globale Einstellungen"));
    QCOMPARE(SettingsBox->GroupBox1->title(), QStringLiteral("Globale Einstellungen"));
    QCOMPARE(SettingsBox->LabelPalPath->text(), QStringLiteral("Pfad zu den Paletten:"));
    QCOMPARE(SettingsBox->LabelLanguage->text(), QStringLiteral("Sprache"));
    QCOMPARE(SettingsBox->ButtonOK->text(), QStringLiteral("&OK"));
    QCOMPARE(AboutBox->windowTitle(), QStringLiteral("Info"));
    QCOMPARE(AboutBox->Label1->text(), QStringLiteral("Ein Tool um Frames zwischen ZLT Catalog Dateien"));
    QCOMPARE(AboutBox->Label2->text(), QStringLiteral("zu kopieren/verschieben"));
    QCOMPARE(AboutBox->Label3->text(), QStringLiteral("Siehe readme.txt für weitere Informationen..."));
    QCOMPARE(AboutBox->Version->text(), QStringLiteral("Version 0.3a"));

    // Every open catalog window, and one opened afterwards.
    MainForm->FileNew1->trigger();
    for (int i = 0; i < MainForm->MDIChildCount(); ++i)
        QCOMPARE(MainForm->MDIChildren(i)->Label1->text(), QStringLiteral("Gehe zu Frame:"));
}

void TestSettings::englishAgainEmptiesTheSecondAboutLine()
{
    MainForm->Language = 1;
    AboutBox->ApplyLanguage();
    QCOMPARE(AboutBox->Label2->text(), QStringLiteral("zu kopieren/verschieben"));
    RunSettings([](TSettingsBox* box) {
        QCOMPARE(box->ComboBoxLanguage->currentIndex(), 1);
        box->ComboBoxLanguage->setCurrentIndex(0);
        box->ButtonOK->click();
    });
    QCOMPARE(AboutBox->windowTitle(), QStringLiteral("About"));
    QCOMPARE(AboutBox->Label1->text(),
             QStringLiteral("A tool to copy/move frames between ZLT catalog files"));
    QCOMPARE(AboutBox->Label2->text(), QString());
    QCOMPARE(SettingsBox->windowTitle(), QStringLiteral("Globale Settings"));
    QCOMPARE(SettingsBox->GroupBox1->title(), QStringLiteral("Global Settings"));
    QCOMPARE(SettingsBox->LabelLanguage->text(), QStringLiteral("Language"));
    QCOMPARE(SettingsBox->ButtonCancel->text(), QStringLiteral("&Cancel"));
    QCOMPARE(OverwriteBox->OverwriteAllBtn->text(), QStringLiteral("Overwrite &All"));
}

void TestSettings::settingsReachTheFileOnlyAtTheEnd()
{
    QTemporaryDir dir;
    RunSettings([&](TSettingsBox* box) {
        box->EditPalPath->setText(dir.path() + QLatin1Char('/'));
        box->ComboBoxLanguage->setCurrentIndex(1);
        box->ButtonOK->click();
    });
    QVERIFY(!QFile::exists(IniPath()));
    QVERIFY(MainForm->close());
    QCOMPARE(ReadFile(IniPath()), QByteArray("[Application]\nLanguage=1\nPathToPalettes=") +
                                      QFile::encodeName(dir.path()) + "/\n");
}

QTEST_MAIN(TestSettings)
#include "tst_shell_settings.moc"
