// kinetar-cli: edits projects and generates their videos from the command line.

#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <new>
#include <string>

#include "cli/CliProject.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "common/StopRequest.h"
#include "text/TextDrawing.h"

using namespace kinetar::cli;

namespace {

int RunCommandLine(int argc, char** argv)
{
    // A run allocates and frees a picture and a converted frame for every frame. Keeping freed
    // blocks in the heap spares the kernel mapping and zeroing them anew each time.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
    if (argc < 2) {
        std::cerr << "kinetar-cli: a command is needed\n" << UsageText();
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h") {
        std::cout << HelpText();
        return 0;
    }
    if (name == "--version") {
        std::cout << "kinetar-cli " << KINETAR_VERSION << "\n";
        return 0;
    }
    kinetar::text::SetFontWarningHandler(
        [](const std::string& message) { std::cerr << "kinetar-cli: " << OneLine(message) << "\n"; });
    const Command* command = nullptr;
    try {
        command = &FindCommand(name);
        if (AsksForHelp(argc, argv)) {
            std::cout << CommandHelpText(*command);
            return 0;
        }
        return command->Run(Arguments(argc, argv, 2));
    } catch (const UsageError& error) {
        // A slip in one command's options is answered with that command's usage, not all of them.
        std::cerr << "kinetar-cli: " << OneLine(error.message) << "\n"
                  << (command ? CommandUsageText(*command) : UsageText());
        return kExitUsage;
    } catch (const std::filesystem::filesystem_error& error) {
        // A path the system refuses to work with: say which and why, not the library's wording.
        std::cerr << "kinetar-cli: "
                  << (error.path1().empty() ? std::string("a file") : Printable(error.path1().string())) << ": "
                  << error.code().message() << "\n";
        return kExitFailure;
    } catch (const std::bad_alloc&) {
        std::cerr << "kinetar-cli: not enough memory\n";
        return kExitFailure;
    } catch (const std::exception& error) {
        std::cerr << "kinetar-cli: " << OneLine(error.what()) << "\n";
        return kExitFailure;
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const int status = RunCommandLine(argc, argv);
    if (kinetar::CallsStillRunning()) {
        // A picture's decoding left to finish after a stop still uses the library's static
        // objects, which an ordinary exit would destroy under it.
        std::cout.flush();
        std::cerr.flush();
        std::fflush(nullptr);
        std::_Exit(status);
    }
    return status;
}
