#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class TIniFile;

// The catalogs opened or saved most recently, newest first, at most
// MaxCount. They are kept in the settings file's own section (File1 to
// File8; a name that is not UTF-8 as a file: URL of its bytes, a name the
// file's encoding cannot hold not at all). The File menu's entries for
// them are TRecentFiles in the widgets.
class TRecentList : public QObject
{
    Q_OBJECT

public:
    static constexpr int MaxCount = 8;
    static const QString Section;

    using QObject::QObject;

    const QStringList& Files() const { return FFiles; }

    // Puts the file at the top as an absolute path; an entry for the same
    // file moves there, and the oldest entry beyond MaxCount goes. A name
    // the settings file could not give back as it is (a line break, spaces
    // at either end) is not remembered.
    void Add(const QString& fileName);
    // Removes every entry for the same file.
    void Remove(const QString& fileName);

    // Load reads the section (entries it could not have written are
    // skipped); Save replaces it, and leaves none for an empty list.
    void Load(const TIniFile& ini);
    void Save(TIniFile& ini) const;

    // The same file: the same absolute path once "." and ".." are resolved,
    // or the same file reached through symbolic links.
    static bool SameFile(const QString& a, const QString& b);

signals:
    // The list of files is another one.
    void Changed();

private:
    void SetFiles(QStringList files);

    QStringList FFiles;
};
