#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace kinetar {

// Every temporary file this program makes is named "<folder>/<prefix><pid>.XXXXXX": hidden
// outputs beside their destination (prefix ".name."), working copies in the temporary folder
// (prefix "AVI"). The process id tells whose file it is, so a later process removes only what
// a process that is gone left behind, never a file another running one is using.

// TMPDIR, or /tmp when it is unset or empty; without trailing slashes.
std::string TemporaryFolder();

// "<folder>/<prefix><pid>.": a temporary name of this process less its six random characters.
std::string TemporaryNameStem(const std::string& folder, const std::string& prefix);

// Creates a new file under such a name, open for reading and writing, with the given mode (less
// the umask). Returns the descriptor and sets path, or -1 with errno set.
int CreateTemporaryFile(const std::string& folder, const std::string& prefix, mode_t mode, std::string& path);

// The process whose temporary file the name (a file name, without a folder) is; 0 when the name
// has another prefix or shape.
long TemporaryFileOwner(std::string_view fileName, std::string_view prefix);

// The temporary files with that prefix in the folder that processes now gone left behind: only
// regular files of this user, not links, with exactly the name's shape. Full paths.
std::vector<std::string> LeftTemporaryFiles(const std::string& folder, const std::string& prefix);

}  // namespace kinetar
