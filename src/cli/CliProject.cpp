#include "cli/CliProject.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <sstream>

#include "avi/AviWriter.h"
#include "avi/Codecs.h"
#include "common/Error.h"
#include "common/SiblingFile.h"
#include "pictures/LoadPicture.h"

namespace kinetar::cli {

using project::FrameRecord;
using project::ProjectHeader;

namespace {

std::string FileNamePart(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string WithoutExtension(const std::string& name)
{
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string Folded(const std::string& text)
{
    std::string folded = text;
    for (char& letter : folded) {
        letter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
    }
    return folded;
}

bool IsDigit(char letter)
{
    return letter >= '0' && letter <= '9';
}

}  // namespace

std::string PictureSortKey(const std::string& path, SortMode mode)
{
    const std::string name = WithoutExtension(FileNamePart(path));
    if (mode == SortMode::Name) {
        return name;
    }
    std::string digits;
    if (mode == SortMode::NumberAtStart) {
        const auto end = std::find_if_not(name.begin(), name.end(), IsDigit);
        digits.assign(name.begin(), end);
    } else {
        const auto start = std::find_if_not(name.rbegin(), name.rend(), IsDigit).base();
        digits.assign(start, name.end());
    }
    if (digits.empty()) {
        return "999999999";
    }
    return digits.size() >= 9 ? digits : std::string(9 - digits.size(), '0') + digits;
}

std::vector<std::string> SortPictures(const std::vector<std::string>& paths, SortMode mode)
{
    std::vector<std::pair<std::string, std::string>> ordered;  // folded key, path
    for (const auto& path : paths) {
        std::string key = Folded(PictureSortKey(path, mode));
        const auto at =
            std::lower_bound(ordered.begin(), ordered.end(), key,
                             [](const auto& entry, const std::string& wanted) { return entry.first < wanted; });
        ordered.insert(at, {std::move(key), path});
    }
    std::vector<std::string> sorted;
    for (auto& entry : ordered) {
        sorted.push_back(std::move(entry.second));
    }
    return sorted;
}

std::string DefaultAviFileName(const std::string& projectPath)
{
    const auto slash = projectPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : projectPath.substr(0, slash + 1);
    return folder + WithoutExtension(FileNamePart(projectPath)) + ".avi";
}

void ProposeSettings(ProjectHeader& header, const std::string& projectPath)
{
    FrameRecord first;
    if ((header.Width == 0 || header.Height == 0) && project::ReadFrameRecord(projectPath, 0, first)) {
        try {
            const auto picture = pictures::LoadPicture(project::GetText(first.PictureFileName));
            header.Width = picture->Width();
            header.Height = picture->Height();
        } catch (const Error&) {
            // As the settings window: no size proposal, no message.
        }
    }
    if (project::GetText(header.AviFileName).empty()) {
        project::SetText(header.AviFileName, DefaultAviFileName(projectPath));
    }
}

ProjectHeader ReadProject(const std::string& path, std::vector<FrameRecord>* records)
{
    ProjectHeader header;
    if (!project::ReadProjectHeader(path, header)) {
        throw Error("Can't read project file " + path);
    }
    if (records != nullptr) {
        FrameRecord record;
        for (std::int32_t i = 0; project::ReadFrameRecord(path, i, record); ++i) {
            records->push_back(record);
        }
    }
    return header;
}

void ReplaceProjectFile(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    std::string temporary;
    const int fd = CreateSiblingFile(path, temporary);
    if (fd < 0) {
        throw Error("Can't write project file " + path + ": " + std::strerror(errno));
    }
    struct stat status {};
    mode_t mode = 0666;
    if (::stat(path.c_str(), &status) == 0) {
        mode = status.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    (void)::fchmod(fd, mode);

    std::vector<std::uint8_t> bytes(sizeof(ProjectHeader) + records.size() * sizeof(FrameRecord));
    std::memcpy(bytes.data(), &header, sizeof(ProjectHeader));
    for (std::size_t i = 0; i < records.size(); ++i) {
        std::memcpy(bytes.data() + sizeof(ProjectHeader) + i * sizeof(FrameRecord), &records[i], sizeof(FrameRecord));
    }
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            error = put < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        std::remove(temporary.c_str());
        throw Error("Can't write project file " + path + ": " + std::strerror(error));
    }
}

namespace {

std::string Printable(const std::string& text)
{
    std::string shown;
    for (const char letter : text) {
        const auto code = static_cast<unsigned char>(letter);
        if (code < 32 || code == 127) {
            static const char* hex = "0123456789abcdef";
            shown += "\\x";
            shown += hex[code >> 4];
            shown += hex[code & 15];
        } else {
            shown += letter;
        }
    }
    return shown;
}

std::string DepthText(const ProjectHeader& header)
{
    const int bits = project::ColorDepthBits(header);
    return std::to_string(bits) + (bits == 1 ? " bit" : " bits");
}

std::string CompressorText(const project::CodecSettings& settings)
{
    if (settings == project::CodecSettings{}) {
        return "not chosen";
    }
    const auto* codec = avi::CodecRegistry::Default().Find(settings.Handler);
    std::string text = Printable(avi::FourccText(settings.Handler));
    text += codec != nullptr ? " (" + codec->Name + ")" : " (not available in this build)";
    if (settings.Quality <= avi::kQualityMax) {
        text += ", quality " + std::to_string(settings.Quality / 100) + "%";
    }
    return text;
}

}  // namespace

std::string DescribeProject(const std::string& path)
{
    std::vector<FrameRecord> records;
    const ProjectHeader header = ReadProject(path, &records);
    std::ostringstream out;
    const std::string destination = project::GetText(header.AviFileName);
    out << "Size: " << header.Width.Get() << "x" << header.Height.Get() << "\n";
    out << "Colour depth: " << DepthText(header) << "\n";
    out << "Frames per second: " << header.FramesPerSecond.Get() << "\n";
    out << "Destination: " << (destination.empty() ? std::string("not set") : Printable(destination)) << "\n";
    out << "Compressor: " << CompressorText(header.CodecSettings) << "\n";
    out << "Play after generation: " << (header.PlayAfterCreate != 0 ? "yes" : "no") << "\n";
    out << "Frames: " << records.size() << "\n";
    for (std::size_t i = 0; i < records.size(); ++i) {
        out << i << "\t" << (records[i].Stretch != 0 ? "stretch" : "no-stretch") << "\t"
            << Printable(project::GetText(records[i].PictureFileName)) << "\n";
    }
    return out.str();
}

}  // namespace kinetar::cli
