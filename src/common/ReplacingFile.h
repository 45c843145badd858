#pragma once

#include <string>

namespace kinetar {

// How a finished file takes the destination's name.
enum class ReplaceMethod {
    // Swap the two names in one step, then delete the old file. A rename over an existing file
    // makes ext4 write the whole new file out before it returns; the swap does not.
    Exchange,
    // One rename over the destination.
    Rename,
};

// Gives `from` the name `to`, so that `to` is at every moment either the old file or the new
// one. With Exchange, a destination that is missing or a folder, or a file system that refuses
// the swap, gets the plain rename. Returns 0 or the errno.
int ReplaceName(const std::string& from, const std::string& to, ReplaceMethod method = ReplaceMethod::Exchange);

// A new file written beside its destination under a hidden name (".name.XXXXXX" in the same
// folder), which replaces the destination on Commit(). Until then the destination stays as it
// was, and without a commit the hidden file is removed with this object.
class ReplacingFile {
public:
    enum class Permissions {
        NewFile,          // what a new file gets: 0666 less the umask
        KeepDestination,  // the existing destination's mode; NewFile when there is none
    };

    // Creates the hidden file; IsOpen() tells whether that worked and CreateError() why not.
    explicit ReplacingFile(std::string destination, Permissions permissions = Permissions::NewFile);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile();

    bool IsOpen() const { return !m_temporary.empty(); }
    int CreateError() const { return m_createError; }
    const std::string& TemporaryPath() const { return m_temporary; }

    // The descriptor of the hidden file, open for reading and writing; -1 once handed over.
    int Descriptor() const { return m_fd; }
    // Hands the descriptor over: from now on the caller closes it, before Commit().
    int ReleaseDescriptor();

    // Drops the destination's pages from the page cache, leaving the file itself as it is. They are
    // of no more use once a new file is on its way, and writing a large new file takes fresh
    // memory while they stay (measured on a virtual machine: twice the time of a fresh output).
    void DropDestinationCache() const;

    // Closes the descriptor if this object still holds it, then replaces the destination. Returns
    // 0 or the errno; on failure the destination is untouched.
    int Commit(ReplaceMethod method = ReplaceMethod::Exchange);

private:
    std::string m_destination;
    std::string m_temporary;
    int m_fd = -1;
    int m_createError = 0;
    bool m_committed = false;
};

}  // namespace kinetar
