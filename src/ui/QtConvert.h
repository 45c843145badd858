#pragma once

#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QString>
#include <string>

#include "avi/frames/FrameFitting.h"
#include "pictures/DecodedPicture.h"

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

// The text after the last "/".
inline QString FileNamePart(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// A file that is there and is not a folder.
inline bool IsExistingFile(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

// The core's messages are the file system's bytes too, paths inside them included.
inline QString FromCoreText(const std::string& text)
{
    return QString::fromLocal8Bit(text);
}

// The picture as Qt draws it: indexed pictures keep their palette (4 bits widened to 8), 24-bit
// pictures their pixels as they are.
QImage ToImage(const pictures::DecodedPicture& picture);
// A fitted frame as the video shows it.
QImage ToImage(const avi::WorkingFrame& frame);

}  // namespace kinetar::ui
