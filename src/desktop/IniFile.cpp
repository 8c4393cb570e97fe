#include "IniFile.h"

#include "ZLT_Error.h"
#include "ZLT_Files.h"

#include <QFile>
#include <QStringDecoder>

#include <algorithm>

#include <sys/stat.h>

namespace {
bool IsSectionLine(const QString& line, QString* name = nullptr)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = t.mid(1, close - 1).trimmed();
    return true;
}

bool IsComment(const QString& line)
{
    const QString t = line.trimmed();
    return t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'));
}

// The key of a "key=value" line, or a null string for any other line.
QString KeyOf(const QString& line)
{
    if (IsComment(line) || IsSectionLine(line))
        return QString();
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return QString();
    return line.left(eq).trimmed();
}

QString ValueOf(const QString& line)
{
    QString value = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    // The platform's ini routines drop one pair of enclosing quotes.
    if (value.size() >= 2 && (value.front() == QLatin1Char('"') || value.front() == QLatin1Char('\'')) &&
        value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

// The file's own line break, as its first one: CR LF, LF, or a lone CR (old
// Mac files); fallback for a file without any.
QString LineBreakOf(const QByteArray& data, const QString& fallback)
{
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] == '\n')
            return QStringLiteral("\n");
        if (data[i] == '\r')
            return i + 1 < data.size() && data[i + 1] == '\n' ? QStringLiteral("\r\n") : QStringLiteral("\r");
    }
    return fallback;
}

bool SameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}
} // namespace

TIniFile::TIniFile(const QString& fileName) : FFileName(fileName)
{
#ifdef Q_OS_WIN
    FLineBreak = QStringLiteral("\r\n");
#else
    FLineBreak = QStringLiteral("\n");
#endif
    // A pipe or device would block or never end, and a huge file would
    // exhaust memory: only a regular file of a plausible size is read.
    struct stat info
    {
    };
    if (::lstat(QFile::encodeName(fileName).constData(), &info) != 0)
        return; // missing: the defaults
    QByteArray data;
    try {
        bool tooLarge = false;
        data = ZLT_Files::ReadFileHead(fileName, MaxSize, &tooLarge);
        if (tooLarge)
            FReadError = {QStringLiteral("Cannot read file '%1': it is larger than %2 bytes").arg(fileName).arg(MaxSize),
                          QStringLiteral("Die Datei '%1' kann nicht gelesen werden: Sie ist größer als %2 Bytes")
                              .arg(fileName)
                              .arg(MaxSize)};
    } catch (const EZLT_Error& e) {
        FReadError = {e.Text(0), e.Text(1)};
    }
    if (!FReadError[0].isEmpty())
        return;
    if (data.startsWith("\xEF\xBB\xBF")) {
        FByteOrderMark = true;
        data.remove(0, 3);
    }
    FLineBreak = LineBreakOf(data, FLineBreak);
    // Files written by other programs may use a one-byte code page.
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(data);
    if (utf8.hasError()) {
        FLatin1 = true;
        text = QString::fromLatin1(data);
    }
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    FLines = text.split(QLatin1Char('\n'));
    // A final line break leaves one empty piece behind.
    if (!FLines.isEmpty() && FLines.back().isEmpty())
        FLines.removeLast();
}

TIniFile::Location TIniFile::Find(const QString& section, const QString& key) const
{
    Location loc;
    for (int i = 0; i < FLines.size(); ++i) {
        QString name;
        if (IsSectionLine(FLines[i], &name)) {
            if (loc.SectionLine >= 0)
                break; // the section found ends here
            if (SameName(name, section)) {
                loc.SectionLine = i;
                loc.EndLine = i + 1;
            }
            continue;
        }
        if (loc.SectionLine < 0)
            continue;
        if (!FLines[i].trimmed().isEmpty())
            loc.EndLine = i + 1;
        if (loc.KeyLine < 0 && SameName(KeyOf(FLines[i]), key))
            loc.KeyLine = i;
    }
    return loc;
}

bool TIniFile::ValueExists(const QString& section, const QString& key) const
{
    return Find(section, key).KeyLine >= 0;
}

QString TIniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const Location loc = Find(section, key);
    if (loc.KeyLine < 0)
        return defaultValue;
    return ValueOf(FLines[loc.KeyLine]);
}

int32_t TIniFile::ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const
{
    const QString text = ReadString(section, key, QString());
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? int32_t(value) : defaultValue;
}

void TIniFile::WriteInteger(const QString& section, const QString& key, int32_t value)
{
    WriteString(section, key, QString::number(value));
}

void TIniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    for (const QString& part : {section, key, value}) {
        if (part.contains(QLatin1Char('\n')) || part.contains(QLatin1Char('\r')))
            throw EZLT_Error(QStringLiteral("A setting cannot hold a line break: %1").arg(key));
        if (!CanHold(part))
            throw EZLT_Error(QStringLiteral("The settings file '%1' is written in Latin-1, which cannot hold "
                                            "the setting %2: %3")
                                 .arg(FFileName, key, value));
    }
    const QString line = key + QLatin1Char('=') + value;
    const Location loc = Find(section, key);
    if (loc.KeyLine >= 0) {
        FLines[loc.KeyLine] = line;
    } else if (loc.SectionLine >= 0) {
        FLines.insert(loc.EndLine, line);
    } else {
        // A new section, separated from what comes before by an empty line.
        if (!FLines.isEmpty() && !FLines.back().trimmed().isEmpty())
            FLines << QString();
        FLines << QLatin1Char('[') + section + QLatin1Char(']') << line;
    }
}

void TIniFile::EraseSection(const QString& section)
{
    int first = -1;
    int end = int(FLines.size());
    for (int i = 0; i < FLines.size(); ++i) {
        QString name;
        if (!IsSectionLine(FLines[i], &name))
            continue;
        if (first >= 0) {
            end = i;
            break;
        }
        if (SameName(name, section))
            first = i;
    }
    if (first < 0)
        return;
    const bool last = end == FLines.size();
    FLines.remove(first, end - first);
    // The blank line that separated a last section from the one before it.
    while (last && first > 0 && FLines[first - 1].trimmed().isEmpty())
        FLines.removeAt(--first);
}

bool TIniFile::CanHold(const QString& text) const
{
    return !FLatin1 || std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 256; });
}

QByteArray TIniFile::Text() const
{
    QString text;
    for (const QString& line : FLines)
        text += line + FLineBreak;
    // A file read in a one-byte code page keeps it: every line it holds
    // comes back byte for byte, and WriteString adds only what it can hold.
    QByteArray data = FLatin1 ? text.toLatin1() : text.toUtf8();
    if (FByteOrderMark && !FLatin1)
        data.prepend("\xEF\xBB\xBF");
    return data;
}

void TIniFile::UpdateFile() const
{
    ZLT_Files::WriteFileAtomically(FFileName, QByteArrayView(Text()));
}
