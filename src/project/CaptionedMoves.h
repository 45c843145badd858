#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "project/ProjectFile.h"

// A caption goes on the frame after it, so a frame and its captions move and go as one: moved or
// removed alone, a frame would leave its words on another picture.
namespace kinetar::project {

// What the rules need to know of a record.
enum class RecordRole : std::uint8_t {
    Frame,    // a picture or a title: fills frames and takes the captions before it
    Caption,  // goes on the next frame
    Sound,    // takes no time; stays where it is among captions
};
RecordRole RoleOf(const FrameRecord& record);
// The role of the record at an index; the session reads them from a file, the command line from
// memory.
using RoleAt = std::function<RecordRole(std::int32_t index)>;

// The captions that go on the frame at `index`: the caption records between it and the frame before
// it, ascending (sound records among them take no time and are not counted).
std::vector<std::int32_t> CaptionsOf(std::int32_t index, const RoleAt& roleAt);

// The indexes with the captions of each frame among them added; ascending, each once.
std::vector<std::int32_t> WithTheirCaptions(std::vector<std::int32_t> indexes, const RoleAt& roleAt);

// A block of records to move, and the index of the record it goes in front of (`count`: the end),
// both counted before the move.
struct RecordMove {
    std::vector<std::int32_t> Indexes;
    std::int32_t Destination = 0;
};
// Takes each frame's captions along, and keeps the block from landing between a caption and its
// frame: moving up, it goes in front of that frame's captions; moving down, after the frame.
RecordMove PlanMove(const std::vector<std::int32_t>& indexes, std::int32_t destination, std::int32_t count,
                    const RoleAt& roleAt);
// One record (with its captions, when it is a frame) one place up (step -1) or down (+1), past the
// whole neighbouring frame with its captions. Nothing to move at either end.
RecordMove PlanStep(std::int32_t index, int step, std::int32_t count, const RoleAt& roleAt);

// The order after a move: entry i is the index before the move of the record that ends at i.
std::vector<std::int32_t> OrderAfterMove(const RecordMove& move, std::int32_t count);

}  // namespace kinetar::project
