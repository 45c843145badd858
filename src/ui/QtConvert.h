#pragma once

#include <QFile>
#include <QString>
#include <string>

namespace kinetar::ui {

// Paths cross into the core as the file system's bytes and come back the same way.
inline std::string ToNativePath(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

inline QString FromNativePath(const std::string& path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// The core's messages are the file system's bytes too, paths inside them included.
inline QString FromCoreText(const std::string& text)
{
    return QString::fromLocal8Bit(text);
}

}  // namespace kinetar::ui
