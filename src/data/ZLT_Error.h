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

    const QString& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FUtf8.constData(); }

private:
    QString FMessage;
    QByteArray FUtf8;
};

// An index outside a list's bounds.
class EZLT_Index : public EZLT_Error
{
public:
    EZLT_Index(qsizetype index, qsizetype count);
};

// A file that could not be opened, read, created or written. The message
// ends in the reason; Errno keeps the system's error number behind it (0
// when the reason is not the system's), so the reason can be put in the
// user's language.
class EZLT_File : public EZLT_Error
{
public:
    explicit EZLT_File(const QString& message, int error = 0) : EZLT_Error(message), FErrno(error) {}

    int Errno() const noexcept { return FErrno; }

private:
    int FErrno;
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
