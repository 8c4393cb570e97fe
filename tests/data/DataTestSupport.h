#pragma once

// Shared helpers of the frame-data tests.

#include "ZLT_Catalog.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTest>
#include <QtGlobal>

#include <cerrno>
#include <cstring>
#include <functional>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace DataTest {

// Every loader and writer must stay silent: anything that reaches Qt's
// message handler is recorded and fails the test function in cleanup().
inline QStringList& Messages()
{
    static QStringList messages;
    return messages;
}

inline void RecordMessage(QtMsgType, const QMessageLogContext&, const QString& text)
{
    Messages().append(text);
}

inline void InstallMessageTrap()
{
    qInstallMessageHandler(&RecordMessage);
}

// Call from cleanup(): fails when anything was printed.
inline void CheckNoMessages()
{
    const QStringList messages = Messages();
    Messages().clear();
    QVERIFY2(messages.isEmpty(),
             qPrintable(QStringLiteral("console output: ") + messages.join(QLatin1String(" | "))));
}

inline QByteArray Hex(const char* hex)
{
    return QByteArray::fromHex(QByteArray(hex));
}

inline void WriteBytes(const QString& fileName, const QByteArray& bytes)
{
    QFile file(fileName);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(fileName));
    QCOMPARE(file.write(bytes), bytes.size());
}

inline QByteArray ReadBytes(const QString& fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray("<cannot open>");
    return file.readAll();
}

// Runs f and returns the message of the exception of type E it raises, or
// a null string when it raises nothing. Other exceptions propagate.
template<typename E>
QString MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const E& e) {
        return e.Message();
    }
    return QString();
}

inline std::unique_ptr<TZLT_Frame> MakeFrame(std::initializer_list<TZLT_Point> points)
{
    auto frame = std::make_unique<TZLT_Frame>();
    for (const TZLT_Point& p : points)
        frame->Add(p);
    return frame;
}

// Runs body in a child process and returns the text it hands back: a
// prefix "SKIP " asks to skip, any other non-empty text is a failure.
inline QString RunInChild(const std::function<QString()>& body)
{
    int fds[2];
    if (::pipe(fds) != 0)
        return QStringLiteral("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0)
        return QStringLiteral("fork failed");
    if (pid == 0) {
        ::close(fds[0]);
        QString result;
        try {
            result = body();
        } catch (const std::exception& e) {
            result = QStringLiteral("unexpected exception: ") + QString::fromUtf8(e.what());
        }
        const QByteArray bytes = result.toUtf8();
        [[maybe_unused]] const ssize_t n = ::write(fds[1], bytes.constData(), size_t(bytes.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray text;
    char buffer[512];
    ssize_t n;
    while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return QStringLiteral("the child process did not end normally (status %1)").arg(status);
    return QString::fromUtf8(text);
}

// Runs body as the unprivileged user "nobody" when the test runs as root
// (who may read and write anything), else in this process. The same text
// protocol as RunInChild.
inline QString RunUnprivileged(const std::function<QString()>& body)
{
    if (::geteuid() != 0)
        return body();
    const passwd* nobody = ::getpwnam("nobody");
    if (!nobody)
        return QStringLiteral("SKIP running as root and there is no user 'nobody' to run as");
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    return RunInChild([&]() -> QString {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            return QStringLiteral("SKIP cannot switch to the user 'nobody': ") +
                   QString::fromLocal8Bit(std::strerror(errno));
        return body();
    });
}

// Hands a child's verdict to Qt Test: "SKIP <why>" skips, other text fails.
#define DATATEST_VERDICT(result)                                                                             \
    do {                                                                                                     \
        const QString verdict_ = (result);                                                                   \
        if (verdict_.startsWith(QLatin1String("SKIP ")))                                                     \
            QSKIP(qPrintable(verdict_.mid(5)));                                                              \
        QVERIFY2(verdict_.isEmpty(), qPrintable(verdict_));                                                  \
    } while (false)

} // namespace DataTest

// Found by QCOMPARE through argument-dependent lookup.
inline char* toString(const TZLT_Point& p)
{
    return qstrdup(QStringLiteral("TZLT_Point(%1, %2, %3, %4, %5)")
                       .arg(p.X())
                       .arg(p.Y())
                       .arg(p.Z())
                       .arg(p.Status())
                       .arg(p.Aux())
                       .toUtf8()
                       .constData());
}
