#include "ui/VideoSettingsForm.h"

#include <QDir>
#include <QFileInfo>
#include <limits>

#include "common/Error.h"
#include "ui/QtConvert.h"

namespace kinetar::ui {

std::int32_t ReadWholeNumber(const QString& text)
{
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, 10);
    if (!ok || value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
        throw Error("'" + ToNativePath(text) + "' is not a valid integer value");
    }
    return static_cast<std::int32_t>(value);
}

std::int32_t ReadWholeNumberOrZero(const QString& text)
{
    try {
        return ReadWholeNumber(text);
    } catch (const Error&) {
        return 0;
    }
}

QString ExistingFolderOf(const QString& path)
{
    QDir folder = QFileInfo(path).absoluteDir();
    while (!folder.exists() && !folder.isRoot()) {
        folder.setPath(QFileInfo(folder.path()).absolutePath());
    }
    return folder.path();
}

bool AcceptsNumberKey(QChar key)
{
    return (key >= u'0' && key <= u'9') || key.unicode() < 32;
}

bool AcceptsRateKey(QChar key, const QString& rest)
{
    if (key == u'.' || key == u'/') {
        return !rest.contains(key);
    }
    return AcceptsNumberKey(key);
}

}  // namespace kinetar::ui
