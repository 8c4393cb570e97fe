#include "ZLT_Reasons.h"

#include "ZLT_Error.h"

#include <array>
#include <cerrno>
#include <cstring>

namespace ZLT_Reasons {

namespace {

struct TReason
{
    int Code;
    const char16_t* English; // the C library's own text
    const char16_t* German;  // as the C library says it in German
};

// Everything a file operation of the program can fail with.
constexpr std::array<TReason, 33> Table{{
    {EACCES, u"Permission denied", u"Keine Berechtigung"},
    {EPERM, u"Operation not permitted", u"Die Operation ist nicht erlaubt"},
    {ENOENT, u"No such file or directory", u"Datei oder Verzeichnis nicht gefunden"},
    {ENOTDIR, u"Not a directory", u"Ist kein Verzeichnis"},
    {EISDIR, u"Is a directory", u"Ist ein Verzeichnis"},
    {NotRegularFile, u"Not a regular file", u"Keine reguläre Datei"},
    {ENOSPC, u"No space left on device", u"Auf dem Gerät ist kein Speicherplatz mehr verfügbar"},
    {EDQUOT, u"Disk quota exceeded", u"Der zugewiesene Plattenplatz (Quota) ist überschritten"},
    {EROFS, u"Read-only file system", u"Das Dateisystem ist nur lesbar"},
    {EFBIG, u"File too large", u"Die Datei ist zu groß"},
    {EIO, u"Input/output error", u"Eingabe-/Ausgabefehler"},
    {ENAMETOOLONG, u"File name too long", u"Der Dateiname ist zu lang"},
    {ELOOP, u"Too many levels of symbolic links", u"Zu viele Ebenen aus symbolischen Links"},
    {EEXIST, u"File exists", u"Die Datei existiert bereits"},
    {ENOTEMPTY, u"Directory not empty", u"Das Verzeichnis ist nicht leer"},
    {EBUSY, u"Device or resource busy", u"Das Gerät oder die Ressource ist belegt"},
    {ETXTBSY, u"Text file busy", u"Die Programmdatei ist in Benutzung"},
    {EXDEV, u"Invalid cross-device link", u"Ungültiger Link über Gerätegrenzen hinweg"},
    {EMLINK, u"Too many links", u"Zu viele Links"},
    {EMFILE, u"Too many open files", u"Zu viele offene Dateien"},
    {ENFILE, u"Too many open files in system", u"Zu viele offene Dateien im System"},
    {ENOMEM, u"Cannot allocate memory", u"Nicht genügend Hauptspeicher verfügbar"},
    {ENXIO, u"No such device or address", u"Kein solches Gerät oder keine solche Adresse"},
    {ENODEV, u"No such device", u"Kein passendes Gerät gefunden"},
    {EINVAL, u"Invalid argument", u"Das Argument ist ungültig"},
    {EBADF, u"Bad file descriptor", u"Ungültiger Dateideskriptor"},
    {EAGAIN, u"Resource temporarily unavailable", u"Die Ressource ist zur Zeit nicht verfügbar"},
    {EINTR, u"Interrupted system call", u"Unterbrechung während des Betriebssystemaufrufs"},
    {EOVERFLOW, u"Value too large for defined data type", u"Der Wert ist zu groß für den definierten Datentyp"},
    {EOPNOTSUPP, u"Operation not supported", u"Die Operation wird nicht unterstützt"},
    {ESTALE, u"Stale file handle", u"Veraltete Dateizugriffsnummer (file handle)"},
    {ETIMEDOUT, u"Connection timed out", u"Die Wartezeit für die Verbindung ist abgelaufen"},
    {ENOLCK, u"No locks available", u"Keine Sperren verfügbar"},
}};

const TReason* Find(int reason)
{
    for (const TReason& row : Table)
        if (row.Code == reason)
            return &row;
    return nullptr;
}

// What a failed action says before its reason: English, German.
constexpr std::array<std::array<const char16_t*, 2>, 6> ActionTexts{{
    {u"Cannot open file '%1': %2", u"Die Datei '%1' kann nicht geöffnet werden: %2"},
    {u"Cannot read file '%1': %2", u"Die Datei '%1' kann nicht gelesen werden: %2"},
    {u"Cannot create file '%1': %2", u"Die Datei '%1' kann nicht angelegt werden: %2"},
    {u"Cannot write file '%1': %2", u"Die Datei '%1' kann nicht geschrieben werden: %2"},
    {u"Cannot write folder '%1': %2", u"Der Ordner '%1' kann nicht geschrieben werden: %2"},
    {u"Cannot create folder '%1': %2", u"Der Ordner '%1' kann nicht angelegt werden: %2"},
}};

} // namespace

QString Text(int reason, int column)
{
    if (const TReason* row = Find(reason))
        return QString::fromUtf16(column == 1 ? row->German : row->English);
    // The C library's English text, whatever the locale.
    const char* described = reason > 0 ? strerrordesc_np(reason) : nullptr;
    const QString system = described ? QString::fromUtf8(described) : QStringLiteral("Error %1").arg(reason);
    return column == 1 ? QStringLiteral("Systemfehler %1 (%2)").arg(reason).arg(system) : system;
}

int FromText(const QString& text)
{
    for (const TReason& row : Table)
        if (text == QString::fromUtf16(row.English) ||
            (row.Code > 0 && text == QString::fromLocal8Bit(std::strerror(row.Code))))
            return row.Code;
    return 0;
}

QList<int> All()
{
    QList<int> reasons;
    for (const TReason& row : Table)
        reasons << row.Code;
    return reasons;
}

} // namespace ZLT_Reasons

// ---- EZLT_File: a file error whose message is put together from the table

EZLT_File::EZLT_File(TAction action, const QString& fileName, int reason)
    : EZLT_Error(QString::fromUtf16(ZLT_Reasons::ActionTexts[size_t(action)][0])
                     .arg(fileName, ZLT_Reasons::Text(reason, 0))),
      FAction(action), FFileName(fileName), FReason(reason), FHasReason(true)
{
}

EZLT_File::EZLT_File(TAction action, const QString& fileName, const QString& reasonText)
    : EZLT_File(action, fileName, ZLT_Reasons::FromText(reasonText))
{
    if (FReason == 0) {
        // A reason the table does not know is shown as it was given.
        FReasonText = reasonText;
        SetMessage(QString::fromUtf16(ZLT_Reasons::ActionTexts[size_t(action)][0]).arg(fileName, reasonText));
    }
}

QString EZLT_File::Text(int column) const
{
    if (!FHasReason && FReason != 0 && column == 1) {
        // A message made as "Cannot write file '%1': reason" is said anew.
        const QString english = ZLT_Reasons::Text(FReason, 0);
        const QString& message = Message();
        for (const auto& action : ZLT_Reasons::ActionTexts) {
            const QString frame = QString::fromUtf16(action[0]);
            const QString head = frame.left(frame.indexOf(QLatin1String("%1")));
            const QString tail = QStringLiteral("': ") + english;
            if (message.startsWith(head) && message.endsWith(tail) &&
                message.size() >= head.size() + tail.size())
                return QString::fromUtf16(action[1]).arg(
                    message.mid(head.size(), message.size() - head.size() - tail.size()),
                    ZLT_Reasons::Text(FReason, 1));
        }
    }
    if (!FHasReason)
        return EZLT_Error::Text(column);
    return QString::fromUtf16(ZLT_Reasons::ActionTexts[size_t(FAction)][column == 1 ? 1 : 0])
        .arg(FFileName, FReason == 0 ? FReasonText : ZLT_Reasons::Text(FReason, column));
}
