#include "ZLT_FileNames.h"

#include <QDir>
#include <QStringDecoder>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ZLT_FileNames {

namespace {

constexpr char16_t EscapeBase = 0xDC00; // a byte b that is not UTF-8 stands as U+DC00 + b (b >= 0x80)

// The length of the valid UTF-8 sequence at data[i], 0 when it is not one.
int SequenceAt(const unsigned char* data, qsizetype size, qsizetype i, char32_t* code)
{
    const unsigned char lead = data[i];
    int length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return 0;
    }
    if (i + length > size)
        return 0;
    for (int k = 1; k < length; ++k) {
        const unsigned char next = data[i + k];
        if ((next & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not UTF-8.
    if (value < least || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF)
        return 0;
    *code = value;
    return length;
}

} // namespace

QString Decode(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8,
                        QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = utf8(bytes);
    if (!utf8.hasError())
        return text;
    text.clear();
    text.reserve(bytes.size());
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype i = 0; i < bytes.size();) {
        char32_t code = 0;
        if (data[i] < 0x80) {
            text += QChar(data[i++]);
        } else if (const int length = SequenceAt(data, bytes.size(), i, &code)) {
            text += QString::fromUcs4(&code, 1);
            i += length;
        } else {
            text += QChar(char16_t(EscapeBase + data[i++]));
        }
    }
    return text;
}

QByteArray Encode(const QString& name)
{
    if (!HasForeignBytes(name))
        return name.toUtf8();
    QByteArray bytes;
    bytes.reserve(name.size() * 3);
    qsizetype start = 0;
    for (qsizetype i = 0; i <= name.size(); ++i) {
        const bool escape = i < name.size() && name[i].unicode() >= EscapeBase + 0x80 &&
                            name[i].unicode() <= EscapeBase + 0xFF &&
                            !(i > 0 && name[i - 1].isHighSurrogate());
        if (i < name.size() && !escape)
            continue;
        bytes += QStringView(name).mid(start, i - start).toUtf8();
        if (i < name.size())
            bytes += char(name[i].unicode() - EscapeBase);
        start = i + 1;
    }
    return bytes;
}

bool HasForeignBytes(const QString& name)
{
    for (qsizetype i = 0; i < name.size(); ++i) {
        const char16_t c = name[i].unicode();
        if (c >= EscapeBase + 0x80 && c <= EscapeBase + 0xFF && !(i > 0 && name[i - 1].isHighSurrogate()))
            return true;
    }
    return false;
}

QByteArray ToUrl(const QString& name)
{
    // Unreserved characters and the path's slashes stay as they are.
    return "file://" + Encode(name).toPercentEncoding("/");
}

QString FromUrl(QByteArrayView url)
{
    constexpr QByteArrayView scheme("file://");
    if (!url.startsWith(scheme))
        return QString();
    QByteArray path = url.sliced(scheme.size()).toByteArray();
    // "file://host/path": only this machine's files.
    if (!path.startsWith('/')) {
        if (!path.startsWith("localhost/"))
            return QString();
        path.remove(0, qsizetype(sizeof "localhost") - 1);
    }
    return Decode(QByteArray::fromPercentEncoding(path));
}

namespace {
bool Stat(const QString& name, struct stat* info)
{
    return !name.isEmpty() && ::stat(Encode(name).constData(), info) == 0;
}
} // namespace

bool IsDirectory(const QString& name)
{
    struct stat info
    {
    };
    return Stat(name, &info) && S_ISDIR(info.st_mode);
}

bool IsFile(const QString& name)
{
    struct stat info
    {
    };
    return Stat(name, &info) && !S_ISDIR(info.st_mode);
}

QString Absolute(const QString& name)
{
    if (name.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(name);
    QByteArray folder(4096, Qt::Uninitialized);
    while (!::getcwd(folder.data(), size_t(folder.size()))) {
        if (errno != ERANGE)
            return QDir::cleanPath(QDir::currentPath() + QLatin1Char('/') + name);
        folder.resize(folder.size() * 2);
    }
    return QDir::cleanPath(Decode(QByteArrayView(folder.constData())) + QLatin1Char('/') + name);
}

QString Canonical(const QString& name)
{
    if (name.isEmpty())
        return QString();
    const std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(Encode(name).constData(), nullptr),
                                                               &std::free);
    return resolved ? Decode(QByteArrayView(resolved.get())) : QString();
}

QStringList FilesIn(const QString& folder)
{
    QStringList names;
    QByteArray path = Encode(folder.isEmpty() ? QStringLiteral(".") : folder);
    struct TCloser
    {
        void operator()(DIR* d) const { ::closedir(d); }
    };
    const std::unique_ptr<DIR, TCloser> dir(::opendir(path.constData()));
    if (!dir)
        return names;
    if (!path.endsWith('/'))
        path += '/';
    while (const dirent* entry = ::readdir(dir.get())) {
        const QByteArrayView name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        bool directory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info
            {
            };
            directory = ::stat((path + name.toByteArray()).constData(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        if (!directory)
            names << Decode(name);
    }
    return names;
}

} // namespace ZLT_FileNames
