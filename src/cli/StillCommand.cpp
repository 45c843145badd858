#include "cli/StillCommand.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iostream>
#include <tuple>

#include "avi/engine/StillFrame.h"
#include "avi/engine/VideoSettings.h"
#include "cli/CliProject.h"
#include "common/Error.h"
#include "common/ReplacingFile.h"
#include "common/WriteAll.h"
#include "pictures/PngWriter.h"
#include "project/RecordPaths.h"

namespace kinetar::cli {

namespace {

bool EndsInPng(const std::string& path)
{
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (name.size() <= 4) {
        return false;
    }
    std::string extension = name.substr(name.size() - 4);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".png";
}

}  // namespace

int CommandStill(Arguments arguments)
{
    const auto output = arguments.Value("--output");
    const auto size = arguments.Value("--size");
    const auto rest = arguments.Rest();
    if (rest.size() != 2) {
        Usage(rest.size() < 2 ? "a project file and a time or #frame are needed" : "unexpected argument " + rest[2]);
    }
    if (!output) {
        Usage("still needs --output FILE.png");
    }
    const std::string destination = Absolute(*output);
    if (!EndsInPng(destination)) {
        Usage("--output must name a .png file, not '" + *output + "'");
    }
    const std::string& path = rest[0];
    const ProjectRecords records = OpenRecords(path);
    project::ProjectHeader header = records.Header();
    // Relative paths of the records are the project folder's, wherever the command was started.
    const project::RecordsWithAbsolutePaths stillRecords(path, project::ProjectFolder(path));
    avi::ProposeSettings(header, Absolute(path), stillRecords.Path());
    if (size) {
        std::tie(header.Width, header.Height) = ParseVideoSize(*size);
    }
    avi::CheckVideoSettings(header);
    const auto frame = avi::ParseFramePosition(rest[1], project::GetFrameRate(header));
    if (!frame) {
        Usage("the frame is a time (12.5, 0:12.5) or #INDEX (#300), not '" + rest[1] + "'");
    }
    const auto still = avi::MakeStill(header, stillRecords.Path(), *frame);
    const std::vector<std::uint8_t> png =
        pictures::EncodePng(still->Row(0).data(), still->RowBytes(), still->Width(), still->Height());

    ReplacingFile file(destination);
    if (!file.IsOpen()) {
        if (!file.UnsafeLink().empty()) {
            throw Error(UnsafeLinkMessage(file.UnsafeLink()));
        }
        throw Error(file.IsRefused() ? NotRegularFileMessage(destination)
                                     : "Can't create " + destination + ": " + std::strerror(file.CreateError()));
    }
    if (const int error = WriteAll(file.Descriptor(), 0, png); error != 0) {
        throw Error("Can't write " + destination + ": " + std::strerror(error));
    }
    if (const int error = file.Commit(); error != 0) {
        throw Error("Can't write " + destination + ": " + std::strerror(error));
    }
    return 0;
}

}  // namespace kinetar::cli
