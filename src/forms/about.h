#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;

// The About box: program icon, name, version and a short description.
class TAboutBox : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr); // runs FormCreate
    void ApplyLanguage();

    QFrame* Panel1 = nullptr;
    QLabel* ProgramIcon = nullptr;
    QLabel* ProductName = nullptr;
    QLabel* Version = nullptr;
    QLabel* Label1 = nullptr; // description, first line
    QLabel* Label2 = nullptr; // description, second line
    QLabel* Label3 = nullptr; // pointer to the readme file
    QPushButton* OKButton = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

extern TAboutBox* AboutBox;
