#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The settings dialog: palette directory and language. The main window's
// settings command fills it, shows it and takes the values over on OK.
class TSettingsBox : public QDialog
{
    Q_OBJECT

public:
    explicit TSettingsBox(QWidget* parent = nullptr); // runs FormCreate
    void ApplyLanguage();

    QGroupBox* GroupBox1 = nullptr;
    QLabel* LabelPalPath = nullptr; // the label of EditPalPath
    QLineEdit* EditPalPath = nullptr;
    QLabel* LabelLanguage = nullptr;
    QComboBox* ComboBoxLanguage = nullptr;
    QPushButton* ButtonOK = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // The path as it was when the dialog was shown.
    QString OldPalPath;

    void FormShow();
    void ButtonOKClick();
    void ButtonCancelClick();

protected:
    void showEvent(QShowEvent* event) override; // FormShow
    void reject() override;                     // Esc and the close box answer Cancel

private:
    void FormCreate();
};

extern TSettingsBox* SettingsBox;
