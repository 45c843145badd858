#include "project/ProjectFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <span>

#include "common/Error.h"
#include "common/ReadAll.h"
#include "common/RegularFile.h"
#include "common/TemporaryFiles.h"
#include "common/WriteAll.h"
#include "project/ProjectRewrite.h"

namespace kinetar::project {

namespace {

// Every open of a project file: a FIFO or a device at the path is refused at once, never waited on.
RegularFile OpenForReading(const std::string& path)
{
    return RegularFile(path, O_RDONLY);
}

// Reads into the caller's bytes as far as the file goes; true only when every byte arrived.
bool ReadAt(const std::string& path, std::int64_t offset, void* bytes, std::size_t count)
{
    const RegularFile file = OpenForReading(path);
    return file.IsOpen() && ReadUpTo(file.Descriptor(), offset, bytes, count) == count;
}

bool WriteAt(const std::string& path, int openFlags, std::int64_t offset, const void* bytes, std::size_t count)
{
    const RegularFile file(path, O_WRONLY | openFlags, 0666);
    return file.IsOpen() && WriteAll(file.Descriptor(), offset, {static_cast<const std::uint8_t*>(bytes), count}) == 0;
}

}  // namespace

std::string GetText(const TextField& field)
{
    const auto end = std::find(field.begin(), field.end(), '\0');
    return {field.begin(), end};
}

void SetText(TextField& field, std::string_view text)
{
    if (text.size() > kMaxTextLength) {
        throw Error("The text is longer than " + std::to_string(kMaxTextLength) + " bytes (" +
                    std::to_string(text.size()) + "), so it cannot be stored: " + std::string(text));
    }
    field.fill('\0');
    std::copy(text.begin(), text.end(), field.begin());
}

ProjectHeader NewProjectHeader()
{
    ProjectHeader header = BlankProjectHeader();
    header.ColorDepth = 3;
    header.FramesPerSecond = 8;
    header.PlayAfterCreate = 1;
    return header;
}

ProjectHeader BlankProjectHeader()
{
    return ProjectHeader{};
}

FrameRecord NewFrameRecord(std::string_view picturePath)
{
    FrameRecord record{};
    SetText(record.PictureFileName, picturePath);
    record.Stretch = 1;
    return record;
}

std::int32_t ProjectFrameCount(const std::string& path)
{
    const RegularFile file = OpenForReading(path);
    if (!file.IsOpen()) {
        return -1;
    }
    return static_cast<std::int32_t>((file.Size() - kHeaderSize) / kFrameRecordSize);
}

std::int64_t FrameRecordOffset(std::int32_t index)
{
    return kFrameRecordSize * index + kHeaderSize;
}

bool ReadProjectHeader(const std::string& path, ProjectHeader& header)
{
    return ReadAt(path, 0, &header, sizeof header);
}

bool WriteProjectHeader(const std::string& path, ProjectHeader header)
{
    return WriteAt(path, O_CREAT, 0, &header, sizeof header);
}

bool ReadFrameRecord(const std::string& path, std::int32_t index, FrameRecord& record)
{
    if (index < 0) {
        return false;
    }
    return ReadAt(path, FrameRecordOffset(index), &record, sizeof record);
}

bool WriteFrameRecord(const std::string& path, std::int32_t index, FrameRecord record)
{
    if (index < 0) {
        return false;
    }
    return WriteAt(path, 0, FrameRecordOffset(index), &record, sizeof record);
}

bool WriteFrameRecords(const std::string& path, std::int32_t firstIndex, std::span<const FrameRecord> records)
{
    if (firstIndex < 0) {
        return false;
    }
    return WriteAt(path, 0, FrameRecordOffset(firstIndex), records.data(), records.size_bytes());
}

std::string MakeTempFileName()
{
    const std::string directory = TemporaryFolder();
    // The process id in the name tells whose working copy it is: a window at start removes only
    // those of processes that are gone, never one another window is using.
    if (TemporaryNameStem(directory, kWorkingCopyPrefix).size() + 6 > kMaxTextLength) {
        throw Error("The temporary folder's path is too long: " + directory);
    }
    // Readable by this user alone: it holds the project's picture paths.
    std::string name;
    const int fd = CreateTemporaryFile(directory, kWorkingCopyPrefix, 0600, name);
    if (fd < 0) {
        throw Error("Can't create a temporary file in " + directory + ": " + std::strerror(errno));
    }
    ::close(fd);
    return name;
}

std::optional<std::uint8_t> ColorDepthCode(int bitsPerPixel)
{
    switch (bitsPerPixel) {
    case 1:
        return 0;
    case 4:
        return 1;
    case 8:
        return 2;
    case 24:
        return 3;
    default:
        return std::nullopt;
    }
}

int ColorDepthBits(const ProjectHeader& header)
{
    switch (header.ColorDepth) {
    case 0:
        return 1;
    case 1:
        return 4;
    case 2:
        return 8;
    default:
        return 24;
    }
}

std::string FileNameWithoutExtension(const std::string& path)
{
    const auto slash = path.rfind('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto dot = name.rfind('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string DefaultAviFileName(const std::string& projectPath)
{
    const auto slash = projectPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : projectPath.substr(0, slash + 1);
    return folder + FileNameWithoutExtension(projectPath) + ".avi";
}

ProjectHeader ReadProject(const std::string& path, std::vector<FrameRecord>* records)
{
    ProjectHeader header;
    const RegularFile file = OpenForReading(path);
    if (file.IsNotRegular() && !file.IsFolder()) {
        throw Error(NotRegularFileMessage(path));
    }
    if (!file.IsOpen()) {
        throw Error("Can't read project file " + path + ": " + std::strerror(file.OpenError()));
    }
    const std::size_t headerBytes = ReadUpTo(file.Descriptor(), 0, &header, sizeof header);
    if (headerBytes != sizeof header) {
        throw Error("Can't read project file " + path + ": " +
                    (file.Size() == 0 ? std::string("it is empty")
                                      : "it is " + std::to_string(headerBytes) + " bytes long, shorter than the " +
                                            std::to_string(sizeof header) + "-byte header every project starts with"));
    }
    if (records != nullptr) {
        // Every whole record in one read; a file that shrinks meanwhile keeps those that arrived.
        const auto whole = static_cast<std::size_t>((file.Size() - kHeaderSize) / kFrameRecordSize);
        const std::size_t first = records->size();
        records->resize(first + whole);
        const std::size_t got =
            ReadUpTo(file.Descriptor(), kHeaderSize, records->data() + first, whole * sizeof(FrameRecord));
        records->resize(first + got / sizeof(FrameRecord));
    }
    return header;
}

std::optional<std::string> ProjectDoubt(const std::string& path)
{
    // The largest video side the engine takes; 0 is "not set".
    constexpr std::int32_t kMaxSide = 32767;
    const RegularFile file = OpenForReading(path);
    ProjectHeader header;
    if (!file.IsOpen()) {
        return std::nullopt;
    }
    const std::string doubt = path + " does not look like a project: ";
    if (file.Size() < kHeaderSize || (file.Size() - kHeaderSize) % kFrameRecordSize != 0) {
        return doubt + "its size is not 360 + 292 \u00d7 N bytes";
    }
    if (ReadUpTo(file.Descriptor(), 0, &header, sizeof header) != sizeof header) {
        return std::nullopt;
    }
    const auto outside = [](std::int32_t side) { return side < 0 || side > kMaxSide; };
    if (outside(header.Width) || outside(header.Height)) {
        return doubt + "its video size " + std::to_string(header.Width.Get()) + " \u00d7 " +
               std::to_string(header.Height.Get()) + " is out of range";
    }
    const bool hasFrames = file.Size() > kHeaderSize;
    if (header.FramesPerSecond < 0 || (header.FramesPerSecond == 0 && hasFrames)) {
        return doubt + "it has a rate of " + std::to_string(header.FramesPerSecond.Get()) + " frames per second" +
               (hasFrames ? " and frames" : "");
    }
    return std::nullopt;
}

void ReplaceProjectFile(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    ProjectRewrite file(path);
    file.Append(header);
    for (const FrameRecord& record : records) {
        file.Append(record);
    }
    file.Commit();
}

void CopyProjectFile(const std::string& from, const std::string& to)
{
    const RegularFile source = OpenForReading(from);
    if (source.IsNotRegular() && !source.IsFolder()) {
        throw Error(NotRegularFileMessage(from));
    }
    const auto readFailure = [&](int error) {
        return Error("Can't read project file " + from + ": " + std::strerror(error));
    };
    if (source.OpenError() != 0) {
        throw readFailure(source.OpenError());
    }
    // Any file may have been opened as a project: copied a piece at a time, whatever its size.
    ProjectRewrite file(to);
    std::vector<std::uint8_t> piece(1 << 20);
    for (std::int64_t offset = 0;;) {
        const ssize_t got = ::pread(source.Descriptor(), piece.data(), piece.size(), static_cast<off_t>(offset));
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got < 0) {
            throw readFailure(errno);
        }
        if (got == 0) {
            break;
        }
        file.Append(std::span(piece).first(static_cast<std::size_t>(got)));
        offset += got;
    }
    file.Commit();
}

}  // namespace kinetar::project
