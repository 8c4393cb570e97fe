#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

// The settings file's reader and writer. Values are kept exactly as typed
// (no escaping, so "C:\laser\" stays "C:\laser\"); sections and keys match
// without regard to case, as in the platform's usual ini files. Writing keeps
// every other line of an existing file.
class TIniFile
{
public:
    // Reads the file if it exists; a missing file reads as empty. A file
    // that exists but cannot be read, is not a regular file or is larger
    // than MaxSize also reads as empty, and ReadError() says why.
    explicit TIniFile(const QString& fileName);

    static constexpr qint64 MaxSize = 1 << 20;

    const QString& FileName() const { return FFileName; }
    // Why an existing file could not be read; empty when it was read or is missing.
    const QString& ReadError() const { return FReadError[0]; }
    // The same in a language: column 0 English, 1 German.
    const QString& ReadError(int column) const { return FReadError[column == 1 ? 1 : 0]; }

    // The default when the section or key is missing; a value that is not a
    // decimal 32-bit integer also gives the default.
    int32_t ReadInteger(const QString& section, const QString& key, int32_t defaultValue) const;
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;
    bool ValueExists(const QString& section, const QString& key) const;

    // Whether the file's encoding can hold the text: any text in UTF-8; in a
    // file read as Latin-1 (it was not valid UTF-8), only Latin-1 letters.
    bool CanHold(const QString& text) const;

    // Change the text in memory; UpdateFile writes it. A value with a line
    // break would become further lines of the file, and one the file's
    // encoding cannot hold would change the encoding of all its other lines:
    // both raise EZLT_Error.
    void WriteInteger(const QString& section, const QString& key, int32_t value);
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Removes a section with its lines and the blank lines before it.
    void EraseSection(const QString& section);

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
    std::array<QString, 2> FReadError; // English, German
    QStringList FLines;
    QString FLineBreak;
    bool FByteOrderMark = false;
    bool FLatin1 = false; // not UTF-8: read and written as Latin-1
};
