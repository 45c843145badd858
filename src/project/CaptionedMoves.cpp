#include "project/CaptionedMoves.h"

#include <algorithm>

#include "project/Slideshow.h"
#include "project/TextRecords.h"

namespace kinetar::project {

namespace {

bool Contains(const std::vector<std::int32_t>& sorted, std::int32_t index)
{
    return std::binary_search(sorted.begin(), sorted.end(), index);
}

// Where a block that moves up (or down) goes when `destination` lies between a frame's first
// caption and the frame: in front of the captions (or after the frame). The moving records are
// counted as gone.
std::int32_t OutsideCaptionedFrame(std::int32_t destination, bool down, std::int32_t count,
                                   const std::vector<std::int32_t>& moving, const RoleAt& roleAt)
{
    std::int32_t frame = destination;
    while (frame < count && (Contains(moving, frame) || roleAt(frame) != RecordRole::Frame)) {
        ++frame;
    }
    if (frame >= count) {
        return destination;
    }
    std::int32_t firstCaption = -1;
    for (std::int32_t i = frame - 1; i >= 0; --i) {
        if (Contains(moving, i)) {
            continue;
        }
        const RecordRole role = roleAt(i);
        if (role == RecordRole::Caption) {
            firstCaption = i;
        } else if (role != RecordRole::Sound) {
            break;
        }
    }
    if (firstCaption < 0 || destination <= firstCaption) {
        return destination;
    }
    return down ? frame + 1 : firstCaption;
}

}  // namespace

RecordRole RoleOf(const FrameRecord& record)
{
    if (IsCaptionRecord(record)) {
        return RecordRole::Caption;
    }
    return IsSoundRecord(record) ? RecordRole::Sound : RecordRole::Frame;
}

std::vector<std::int32_t> CaptionsOf(std::int32_t index, const RoleAt& roleAt)
{
    std::vector<std::int32_t> captions;
    for (std::int32_t i = index - 1; i >= 0; --i) {
        const RecordRole role = roleAt(i);
        if (role == RecordRole::Caption) {
            captions.push_back(i);
        } else if (role != RecordRole::Sound) {
            break;
        }
    }
    std::reverse(captions.begin(), captions.end());
    return captions;
}

std::vector<std::int32_t> WithTheirCaptions(std::vector<std::int32_t> indexes, const RoleAt& roleAt)
{
    const std::size_t given = indexes.size();
    for (std::size_t i = 0; i < given; ++i) {
        if (roleAt(indexes[i]) == RecordRole::Frame) {
            const std::vector<std::int32_t> captions = CaptionsOf(indexes[i], roleAt);
            indexes.insert(indexes.end(), captions.begin(), captions.end());
        }
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    return indexes;
}

RecordMove PlanMove(const std::vector<std::int32_t>& indexes, std::int32_t destination, std::int32_t count,
                    const RoleAt& roleAt)
{
    RecordMove move;
    for (const std::int32_t index : indexes) {
        if (index >= 0 && index < count) {
            move.Indexes.push_back(index);
        }
    }
    move.Indexes = WithTheirCaptions(std::move(move.Indexes), roleAt);
    destination = std::clamp(destination, 0, count);
    const bool down = !move.Indexes.empty() && destination > move.Indexes.back();
    move.Destination = OutsideCaptionedFrame(destination, down, count, move.Indexes, roleAt);
    return move;
}

RecordMove PlanStep(std::int32_t index, int step, std::int32_t count, const RoleAt& roleAt)
{
    if (index < 0 || index >= count) {
        return {};
    }
    const std::vector<std::int32_t> block = WithTheirCaptions({index}, roleAt);
    if (step < 0) {
        if (block.front() == 0) {
            return {};
        }
        return PlanMove(block, block.front() - 1, count, roleAt);
    }
    if (block.back() + 1 >= count) {
        return {};
    }
    return PlanMove(block, block.back() + 2, count, roleAt);
}

std::vector<std::int32_t> OrderAfterMove(const RecordMove& move, std::int32_t count)
{
    std::vector<std::int32_t> order;
    order.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t i = 0; i <= count; ++i) {
        if (i == move.Destination) {
            order.insert(order.end(), move.Indexes.begin(), move.Indexes.end());
        }
        if (i < count && !Contains(move.Indexes, i)) {
            order.push_back(i);
        }
    }
    return order;
}

}  // namespace kinetar::project
