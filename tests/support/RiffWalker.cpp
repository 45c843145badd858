#include "support/RiffWalker.h"

#include "support/ByteWriter.h"
#include "support/TestFiles.h"

namespace kinetar::test {

std::string FourccOf(std::uint32_t id)
{
    std::string text(4, ' ');
    for (std::size_t i = 0; i < 4; ++i) {
        text[i] = static_cast<char>((id >> (8 * i)) & 0xFF);
    }
    return text;
}

const RiffChunk* RiffChunk::Child(const std::string& fourcc) const
{
    const auto all = ChildrenNamed(fourcc);
    return all.empty() ? nullptr : all.front();
}

std::vector<const RiffChunk*> RiffChunk::ChildrenNamed(const std::string& fourcc) const
{
    std::vector<const RiffChunk*> found;
    for (const auto& child : Children) {
        if (FourccOf(child.Id) == fourcc || (child.ListType != 0 && FourccOf(child.ListType) == fourcc)) {
            found.push_back(&child);
        }
    }
    return found;
}

namespace {

bool WalkRange(std::span<const std::uint8_t> file, std::uint64_t begin, std::uint64_t end, std::vector<RiffChunk>& out,
               std::string* problem)
{
    std::uint64_t at = begin;
    while (at < end) {
        if (at + 8 > end) {
            *problem = "a chunk header at " + std::to_string(at) + " runs past its parent";
            return false;
        }
        RiffChunk chunk;
        chunk.Offset = at;
        chunk.Id = LoadU32(file, at);
        chunk.Size = LoadU32(file, at + 4);
        const std::uint64_t dataEnd = at + 8 + chunk.Size;
        if (dataEnd > end) {
            *problem = FourccOf(chunk.Id) + " at " + std::to_string(at) + " runs past its parent";
            return false;
        }
        const std::string id = FourccOf(chunk.Id);
        if (id == "RIFF" || id == "LIST") {
            if (chunk.Size < 4) {
                *problem = id + " at " + std::to_string(at) + " has no list type";
                return false;
            }
            chunk.ListType = LoadU32(file, at + 8);
            if (!WalkRange(file, at + 12, dataEnd, chunk.Children, problem)) {
                return false;
            }
        }
        at = dataEnd + (chunk.Size % 2);
        if (at > end) {
            *problem = id + " at " + std::to_string(chunk.Offset) + " lacks its pad byte";
            return false;
        }
        out.push_back(std::move(chunk));
    }
    return true;
}

}  // namespace

std::vector<RiffChunk> WalkRiff(std::span<const std::uint8_t> file, std::string* problem)
{
    std::vector<RiffChunk> chunks;
    problem->clear();
    WalkRange(file, 0, file.size(), chunks, problem);
    return chunks;
}

RiffFile WalkRiffFile(const std::string& path)
{
    RiffFile walked;
    walked.Bytes = ReadFile(path);
    walked.Chunks = WalkRiff(walked.Bytes, &walked.Problem);
    return walked;
}

}  // namespace kinetar::test
