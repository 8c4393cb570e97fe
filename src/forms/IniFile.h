#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>

// The settings file's reader and writer. Values are kept exactly as typed
// (no escaping, so "C:\laser\" stays "C:\laser\"); sections and keys match
// without regard to case, as in the platform's usual ini files. Writing keeps
// every other line of an existing file.
class TIniFile
{
public:
    // Reads the file if it exists; a missing or unreadable file reads as empty.
    explicit TIniFile(const QString& fileName);

    const QString& FileName() const { return FFileName; }

    // The default when the section or key is missing; a value that is not a
    // decimal 32-bit integer also gives the default.
    int32_t ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const;
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // Change the text in memory; UpdateFile writes it.
    void WriteInteger(const QString& section, const QString& key, int32_t value);
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Writes the whole file at once (replaced only when complete); raises
    // EZLT_File naming the file and the reason on failure.
    void UpdateFile() const;

    // The file's text as UpdateFile writes it.
    QByteArray Text() const;

private:
    struct Location
    {
        int SectionLine = -1; // line of "[section]", -1 when missing
        int KeyLine = -1;     // line of "key=value", -1 when missing
        int EndLine = 0;      // one past the section's last non-blank line
    };
    Location Find(const QString& section, const QString& key) const;

    QString FFileName;
    QStringList FLines;
    QString FLineBreak;
    bool FByteOrderMark = false;
    bool FLatin1 = false; // not UTF-8: read and written as Latin-1
};
