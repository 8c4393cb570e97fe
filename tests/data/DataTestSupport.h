#pragma once

// Shared helpers of the frame-data tests.

#include "ZLT_Catalog.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <QTest>
#include <QtGlobal>

#include <functional>

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
