#pragma once

#include <string>

#include "common/RegularFile.h"

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

// "<link> is a symbolic link in a folder others can write to, owned by another user; it was not
// followed": why a replace refused the link ReplacingFile::UnsafeLink() names.
std::string UnsafeLinkMessage(const std::string& link);

// A new file written beside its destination under a hidden name (".name.<pid>.XXXXXX" in the same
// folder), which replaces the destination on Commit(). Until then the destination stays as it
// was, and without a commit the hidden file is removed with this object.
//
// Only a regular file is ever replaced, or a new one created. A destination that is a folder, a
// device, a FIFO or a socket is refused when this object is made, before anything is written,
// and left as it is (NotRegularFileMessage names it). A symbolic link, or a chain of them, is
// followed: the file it points to is replaced, the hidden file is written beside that file, and
// the link stays a link. A link that points nowhere gets its target created, as a shell's
// redirection would. A link that the kernel would not follow either is refused before anything is
// done: one in a sticky folder that everyone may write to (/tmp), owned neither by this user nor
// by the folder's owner, as another user can plant it there to have a file of ours overwritten.
//
// Hidden files of this user left beside the destination by a process that is gone (killed, or
// its delete failed) are removed when the next object for the same destination is made.
class ReplacingFile {
public:
    enum class Permissions {
        NewFile,          // what a new file gets: 0666 less the umask
        KeepDestination,  // the existing destination's mode, owner and group; NewFile when there is none
    };

    // Creates the hidden file; IsOpen() tells whether that worked and CreateError() why not.
    // KeepDestination takes the mode of the file a link points to.
    explicit ReplacingFile(std::string destination, Permissions permissions = Permissions::NewFile);
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;
    ~ReplacingFile();

    bool IsOpen() const { return !m_temporary.empty(); }
    // The errno of the failure; for a refused destination EISDIR (a folder) or EINVAL, ELOOP for
    // links that never end, EACCES for an unsafe link.
    int CreateError() const { return m_createError; }
    // The destination is there and is not a regular file, so nothing was done.
    bool IsRefused() const { return m_refused; }
    // The link that was not followed, the destination or one on its chain, so nothing was done;
    // empty when there was none. UnsafeLinkMessage says why.
    const std::string& UnsafeLink() const { return m_unsafeLink; }
    // The file that is replaced: the destination with its links followed.
    const std::string& Target() const { return m_target; }
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
    // 0 or the errno; on failure the destination is untouched. Something other than a regular file
    // that took the target's name meanwhile is not replaced either (EISDIR or EINVAL).
    int Commit(ReplaceMethod method = ReplaceMethod::Exchange);

private:
    std::string m_destination;
    std::string m_target;
    std::string m_temporary;
    std::string m_unsafeLink;
    int m_fd = -1;
    int m_createError = 0;
    bool m_refused = false;
    bool m_committed = false;
};

}  // namespace kinetar
