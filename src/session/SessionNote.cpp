#include "session/SessionNote.h"

#include <QByteArray>
#include <cstdlib>
#include <span>
#include <system_error>

#include "common/Error.h"
#include "common/ReplacingFile.h"
#include "common/WriteAll.h"
#include "session/FileAccess.h"

namespace kinetar::session {

namespace {

const std::string kNotePrefix = "session-";

// Paths go percent-encoded, one per line, so any byte a file name may hold comes back as it was.
std::string Encoded(const std::string& path)
{
    return QByteArray::fromStdString(path).toPercentEncoding("/").toStdString();
}

std::string Decoded(const std::string& text)
{
    return QByteArray::fromPercentEncoding(QByteArray::fromStdString(text)).toStdString();
}

// The process id of a note's file name; 0 when the name is not a note's.
long PidOfNoteName(const std::string& name)
{
    if (name.rfind(kNotePrefix, 0) != 0 || name.size() == kNotePrefix.size() || name.size() > kNotePrefix.size() + 9) {
        return 0;
    }
    long pid = 0;
    for (const char digit : name.substr(kNotePrefix.size())) {
        if (digit < '0' || digit > '9') {
            return 0;
        }
        pid = pid * 10 + (digit - '0');
    }
    return pid;
}

void ReadNoteText(const std::filesystem::path& path, SessionNote& note)
{
    const std::vector<std::uint8_t> bytes = ReadRegularFile(path.string(), "Can't read ");
    const std::string text(bytes.begin(), bytes.end());
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string line = text.substr(start, end - start);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos) {
            const std::string key = line.substr(0, equals);
            const std::string value = Decoded(line.substr(equals + 1));
            if (key == "project") {
                note.Project = value;
            } else if (key == "working-copy") {
                note.WorkingCopy = value;
            }
        }
        start = end + 1;
    }
}

}  // namespace

std::filesystem::path SessionNoteFolder()
{
    // Only an absolute path counts, as the base directory rules say.
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state != nullptr && state[0] == '/') {
        return std::filesystem::path(state) / "kinetar";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : "") / ".local/state/kinetar";
}

std::filesystem::path SessionNotePath(long pid)
{
    return SessionNoteFolder() / (kNotePrefix + std::to_string(pid));
}

bool WriteSessionNote(const SessionNote& note)
{
    const std::filesystem::path folder = SessionNoteFolder();
    std::error_code failed;
    if (std::filesystem::create_directories(folder, failed)) {
        // The folder holds paths of the user's projects: the user's own, as the base directory rules ask.
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, failed);
    }
    const std::string text = "project=" + Encoded(note.Project) + "\nworking-copy=" + Encoded(note.WorkingCopy) + "\n";
    ReplacingFile file(SessionNotePath(note.Pid).string());
    return file.IsOpen() &&
           WriteAll(file.Descriptor(), 0, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size())) ==
               0 &&
           file.Commit() == 0;
}

void RemoveSessionNote(long pid)
{
    std::error_code ignored;
    std::filesystem::remove(SessionNotePath(pid), ignored);
}

std::vector<SessionNote> ReadSessionNotes()
{
    std::vector<SessionNote> notes;
    std::error_code failed;
    for (const auto& entry : std::filesystem::directory_iterator(SessionNoteFolder(), failed)) {
        SessionNote note;
        note.Pid = PidOfNoteName(entry.path().filename().string());
        if (note.Pid == 0) {
            continue;
        }
        try {
            ReadNoteText(entry.path(), note);
        } catch (const Error&) {
            // Nothing to recover from a note that cannot be read; its process decides what becomes of it.
        }
        notes.push_back(note);
    }
    return notes;
}

}  // namespace kinetar::session
