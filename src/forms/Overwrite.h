#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The overwrite-or-insert question. exec() returns one of the answers.
class TOverwriteBox : public QDialog
{
    Q_OBJECT

public:
    enum Answer
    {
        Cancel = 2,
        Overwrite = 3,
        OverwriteAll = 4,
        Insert = 5,
        InsertAll = 6
    };

    explicit TOverwriteBox(QWidget* parent = nullptr); // runs FormCreate
    void ApplyLanguage();

    QLabel* Label1 = nullptr;
    QPushButton* OverwriteBtn = nullptr;
    QPushButton* OverwriteAllBtn = nullptr;
    QPushButton* InsertBtn = nullptr;
    QPushButton* InsertAllBtn = nullptr;
    QPushButton* CancelBtn = nullptr;

    void OverwriteBtnClick();
    void OverwriteAllBtnClick();
    void InsertBtnClick();
    void InsertAllBtnClick();

protected:
    void reject() override; // Esc and the close box answer Cancel
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
};

extern TOverwriteBox* OverwriteBox;
