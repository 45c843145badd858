#pragma once

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <string>

namespace kinetar::session {

// Paths cross into the core as the file system's bytes and come back the same way.
inline std::string ToNativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

inline QString FromNativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The text after the last "/".
inline QString FileNamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// From the last "." of the file name on; empty when the name has no ".".
inline QString ExtensionPart(const QString& path)
{
    const QString name = FileNamePart(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot);
}

// A file that is there and is not a folder.
inline bool IsExistingFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

// The comparison of names that the user reads: the locale's collation, letter case ignored.
int CompareIgnoringCase(const QString& left, const QString& right);

// The core's messages are the file system's bytes too, paths inside them included.
inline QString FromCoreText(const std::string& text)
{
    return QString::fromLocal8Bit(text);
}

}  // namespace kinetar::session
