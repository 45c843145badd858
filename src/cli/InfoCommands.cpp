#include "cli/InfoCommands.h"

#include <iostream>
#include <optional>
#include <string>

#include "avi/codecs/CodecRegistry.h"
#include "avi/writer/Container.h"
#include "avi/writer/FourCC.h"
#include "cli/CliProject.h"
#include "cli/Options.h"
#include "cli/ProjectDescription.h"
#include "project/ProjectFile.h"

namespace kinetar::cli {

int CommandInfo(Arguments arguments)
{
    const bool json = arguments.Flag("--json");
    const std::string path = OneProject(arguments);
    RequireRegularFile(path);
    if (json) {
        cli::DescribeProjectJson(path, std::cout);
    } else {
        cli::DescribeProject(path, std::cout);
    }
    // Any file opens as a project; one that does not look like it gets a warning, not a failure.
    if (const auto doubt = project::ProjectDoubt(path)) {
        std::cerr << "kinetar-cli: warning: " << OneLine(*doubt) << "\n";
    }
    return 0;
}

int CommandCodecs(Arguments arguments)
{
    const auto depth = arguments.Value("--depth");
    const auto containerName = arguments.Value("--container");
    if (!arguments.Rest().empty()) {
        Usage("codecs takes no arguments");
    }
    int bits = 0;
    if (depth) {
        bits = ParseDepth(*depth);
    }
    avi::Container container = avi::Container::Avi;
    if (containerName) {
        const auto named = avi::ContainerFromName(*containerName);
        if (!named) {
            Usage("--container must be avi, mp4, mkv or webm, not '" + *containerName + "'");
        }
        container = *named;
    }
    const auto& registry = avi::CodecRegistry::Default();
    for (const auto& codec : registry.All()) {
        if ((bits == 0 || codec.Takes(bits)) && codec.GoesInto(container)) {
            std::cout << avi::FourccText(codec.Fourcc) << "\t" << codec.Name << "\n";
        }
    }
    return 0;
}

}  // namespace kinetar::cli
