#include "settings/FileTypes.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>
#include <algorithm>

namespace kinetar::settings {

namespace {

// The installed package's opener is org.tavrel.Kinetar.desktop; this per-user one takes its own id
// so the two never shadow each other.
const QString kDesktopFileName = QStringLiteral("org.tavrel.KinetarProject.desktop");
const QString kMimePackageName = QStringLiteral("kinetar-project.xml");
const QString kIconName = QStringLiteral("org.tavrel.Kinetar");
const QString kMimeIconName = QStringLiteral("application-x-kinetar-project");
const QString kMimePackageResource = QStringLiteral(":/kinetar/kinetar-project.xml");
const QString kIconResource = QStringLiteral(":/kinetar/icons/kinetar.svg");
const QByteArray kDefaultGroup = QByteArrayLiteral("[Default Applications]");

// A database update that takes longer than this is left behind.
constexpr int kToolTimeoutMs = 20000;

// The base directory rules: an unset, empty or relative variable means the default.
QString XdgFolder(const char* variable, const QString& fallbackUnderHome)
{
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value)) {
        return QDir::cleanPath(value);
    }
    return QDir::homePath() + fallbackUnderHome;
}

QString DataHome()
{
    return XdgFolder("XDG_DATA_HOME", QStringLiteral("/.local/share"));
}

QString ConfigHome()
{
    return XdgFolder("XDG_CONFIG_HOME", QStringLiteral("/.config"));
}

QString MimePackagePath()
{
    return DataHome() + QStringLiteral("/mime/packages/") + kMimePackageName;
}

QString DesktopEntryPath()
{
    return DataHome() + QStringLiteral("/applications/") + kDesktopFileName;
}

QString AppIconPath()
{
    return DataHome() + QStringLiteral("/icons/hicolor/scalable/apps/") + kIconName + QStringLiteral(".svg");
}

QString MimeIconPath()
{
    return DataHome() + QStringLiteral("/icons/hicolor/scalable/mimetypes/") + kMimeIconName + QStringLiteral(".svg");
}

QString MimeAppsListPath()
{
    return ConfigHome() + QStringLiteral("/mimeapps.list");
}

// Replaces the file as a whole, so a reader never sees half of it.
bool WriteWholeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray ResourceBytes(const QString& resource)
{
    QFile file(resource);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray DesktopEntry(const QString& programPath)
{
    // NoDisplay: this entry only opens project files; the installed package brings the menu entry.
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Version=1.4\n"
               "Name=Kinetar\n"
               "Comment=Turns still pictures into AVI videos\n"
               "Exec=%1\n"
               "Icon=%2\n"
               "MimeType=%3;\n"
               "NoDisplay=true\n"
               "Terminal=false\n")
        .arg(DesktopExecValue(programPath), kIconName, QLatin1String(kProjectMimeType))
        .toUtf8();
}

QByteArray KeyOf(const QByteArray& line)
{
    const qsizetype equals = line.indexOf('=');
    return equals < 0 ? QByteArray() : line.left(equals).trimmed();
}

bool IsGroupHeader(const QByteArray& line)
{
    return line.trimmed().startsWith('[');
}

// Gives the type the desktop id as its default application, or with an empty id takes the type's
// line away whatever it names. Every other line of the file stays as it was.
// Returns whether the file changed.
bool SetDefaultApplication(const QString& listPath, const QByteArray& desktopId)
{
    QFile file(listPath);
    QByteArray original;
    if (file.open(QIODevice::ReadOnly)) {
        original = file.readAll();
        file.close();
    } else if (desktopId.isEmpty() || file.exists()) {
        // Nothing to take away, or a file that cannot be read must not be replaced.
        return false;
    }

    QByteArrayList lines = original.split('\n');
    const bool endsWithNewline = original.isEmpty() || original.endsWith('\n');
    if (endsWithNewline) {
        lines.removeLast();
    }

    const QByteArray type(kProjectMimeType);
    const QByteArray newLine = type + '=' + desktopId;
    bool written = false;
    bool inDefaultGroup = false;
    int defaultGroupsSeen = 0;
    qsizetype groupEnd = -1;  // after the last non-blank line of the first [Default Applications]
    for (qsizetype index = 0; index < lines.size();) {
        if (IsGroupHeader(lines[index])) {
            inDefaultGroup = lines[index].trimmed() == kDefaultGroup;
            if (inDefaultGroup && ++defaultGroupsSeen == 1) {
                groupEnd = index + 1;
            }
        } else if (inDefaultGroup && KeyOf(lines[index]) == type) {
            if (desktopId.isEmpty() || written) {
                lines.removeAt(index);
                continue;
            }
            lines[index] = newLine;
            written = true;
        }
        if (inDefaultGroup && defaultGroupsSeen == 1 && !lines[index].trimmed().isEmpty()) {
            groupEnd = index + 1;
        }
        ++index;
    }
    if (!desktopId.isEmpty() && !written) {
        if (groupEnd >= 0) {
            lines.insert(groupEnd, newLine);
        } else {
            if (!lines.isEmpty() && !lines.last().trimmed().isEmpty()) {
                lines.append(QByteArray());
            }
            lines.append(kDefaultGroup);
            lines.append(newLine);
        }
    }

    QByteArray edited = lines.join('\n');
    if (endsWithNewline && !lines.isEmpty()) {
        edited += '\n';
    }
    if (edited == original) {
        return false;
    }
    // A file left holding only the empty group says nothing; registering may well have made it.
    if (desktopId.isEmpty() && edited.trimmed() == kDefaultGroup) {
        return QFile::remove(listPath);
    }
    return WriteWholeFile(listPath, edited);
}

// Runs a database tool where it is installed; its outcome does not matter.
void RunTool(const QString& name, const QString& folder)
{
    const QString program = QStandardPaths::findExecutable(name);
    if (program.isEmpty() || !QFileInfo(folder).isDir()) {
        return;
    }
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(program, {folder});
    if (!process.waitForFinished(kToolTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

void UpdateDatabases()
{
    RunTool(QStringLiteral("update-mime-database"), DataHome() + QStringLiteral("/mime"));
    RunTool(QStringLiteral("update-desktop-database"), DataHome() + QStringLiteral("/applications"));
}

// Whether the character asks for the whole argument to be quoted in an Exec value.
bool IsReservedInExec(QChar c)
{
    return QStringView(u" \t\n\"'\\><~|&;$*?#()`").contains(c);
}

}  // namespace

QString DesktopExecValue(const QString& programPath)
{
    QString argument;
    const bool quoted = std::any_of(programPath.begin(), programPath.end(), IsReservedInExec);
    for (const QChar c : programPath) {
        if (quoted && QStringView(u"\"`$\\").contains(c)) {
            argument += u'\\';
        }
        // A single percent sign would start a field code.
        argument += c == u'%' ? QStringLiteral("%%") : QString(c);
    }
    if (quoted) {
        argument = u'"' + argument + u'"';
    }
    // The entry file's own escapes come on top of the quoting.
    QString value;
    for (const QChar c : argument + QStringLiteral(" %f")) {
        switch (c.unicode()) {
        case u'\\':
            value += QStringLiteral("\\\\");
            break;
        case u'\n':
            value += QStringLiteral("\\n");
            break;
        case u'\t':
            value += QStringLiteral("\\t");
            break;
        case u'\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

void RegisterProjectFileType(const QString& programPath)
{
    WriteWholeFile(MimePackagePath(), ResourceBytes(kMimePackageResource));
    const QByteArray icon = ResourceBytes(kIconResource);
    WriteWholeFile(AppIconPath(), icon);
    WriteWholeFile(MimeIconPath(), icon);
    WriteWholeFile(DesktopEntryPath(), DesktopEntry(programPath));
    SetDefaultApplication(MimeAppsListPath(), kDesktopFileName.toUtf8());
    UpdateDatabases();
}

void UnregisterProjectFileType()
{
    bool removed = false;
    for (const QString& path : {MimePackagePath(), DesktopEntryPath(), AppIconPath(), MimeIconPath()}) {
        removed = QFile::remove(path) || removed;
    }
    removed = SetDefaultApplication(MimeAppsListPath(), QByteArray()) || removed;
    // Without a registration there is nothing to update, and the databases stay as they were.
    if (removed) {
        UpdateDatabases();
    }
}

}  // namespace kinetar::settings
