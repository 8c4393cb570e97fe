#pragma once

#include <QByteArray>
#include <QString>

#include <exception>

// The program's exception base: every error it raises carries one message
// that the error guard shows to the user as it stands.
class EZLT_Error : public std::exception
{
public:
    explicit EZLT_Error(const QString& message) : FMessage(message), FUtf8(message.toUtf8()) {}
    // A message in both languages the program speaks.
    EZLT_Error(const QString& english, const QString& german) : EZLT_Error(english) { FGerman = german; }
    virtual ~EZLT_Error() = default;

    // The message in English.
    const QString& Message() const noexcept { return FMessage; }
    // The message in a language: column 0 English, 1 German.
    virtual QString Text(int column) const { return column == 1 && !FGerman.isEmpty() ? FGerman : FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

protected:
    void SetMessage(const QString& message)
    {
        FMessage = message;
        FUtf8 = message.toUtf8();
    }

private:
    QString FMessage;
    QString FGerman;
    QByteArray FUtf8;
};

// An index outside a list's bounds.
class EZLT_Index : public EZLT_Error
{
public:
    EZLT_Index(qsizetype index, qsizetype count);
};

// A file that could not be opened, read, created or written. With an
// action and a reason (an errno value or one of ZLT_Reasons), the message is
// put together from the table of reasons in either language.
class EZLT_File : public EZLT_Error
{
public:
    enum class TAction
    {
        Open,
        Read,
        Create,
        Write,
        WriteFolder,
        CreateFolder
    };
    // A message of its own; error keeps the system's error number behind
    // its reason (0 when the reason is not the system's).
    explicit EZLT_File(const QString& message, int error = 0) : EZLT_Error(message), FReason(error) {}
    // A message of the program's own in both languages, no system reason.
    EZLT_File(const QString& english, const QString& german) : EZLT_Error(english, german) {}
    EZLT_File(TAction action, const QString& fileName, int reason);
    // The reason as Qt's file classes say it ("Permission denied").
    EZLT_File(TAction action, const QString& fileName, const QString& reasonText);

    // The errno value or ZLT_Reasons code; 0 when none is known.
    int Reason() const noexcept { return FReason; }
    int Errno() const noexcept { return FReason > 0 ? FReason : 0; }
    QString Text(int column) const override;

private:
    TAction FAction = TAction::Write;
    QString FFileName;
    int FReason = 0;
    QString FReasonText; // a reason the table does not know, as given
    bool FHasReason = false;
};

// "File does not exist: '%s'", raised by catalog and picture loading.
class EZLT_Cat_Load : public EZLT_Error
{
public:
    using EZLT_Error::EZLT_Error;
};

// "Invalid File : '%s'", raised by palette loading.
class EZLT_Pal_Load : public EZLT_Error
{
public:
    using EZLT_Error::EZLT_Error;
};

// An ILDA file that holds nothing usable: it does not start with "ILDA",
// or not one frame could be read from it.
class EZLT_Ilda_Load : public EZLT_Error
{
public:
    using EZLT_Error::EZLT_Error;
};

// A file named as a catalog or picture file that holds ILDA data (it starts
// with "ILDA"): read as one it would give garbage.
class EZLT_Ilda_Content : public EZLT_Error
{
public:
    using EZLT_Error::EZLT_Error;
};

// The user cancelled a long job through its progress callback. Nothing is
// left half done, so the error guard shows nothing for it.
class EZLT_Aborted : public EZLT_Error
{
public:
    EZLT_Aborted() : EZLT_Error(QStringLiteral("Cancelled")) {}
};
