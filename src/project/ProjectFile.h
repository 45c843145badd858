#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/LittleEndian.h"

namespace kinetar::project {

// Little-endian integers stored byte by byte, so the records have no padding and read the same on
// every host.
template <typename T>
class LittleEndian {
    static_assert(sizeof(T) == 4, "the records hold 32-bit numbers only");

public:
    constexpr LittleEndian() = default;
    constexpr LittleEndian(T value) { Set(value); }  // NOLINT(google-explicit-constructor)
    constexpr operator T() const { return Get(); }   // NOLINT(google-explicit-constructor)
    constexpr T Get() const { return static_cast<T>(LoadLE32(m_bytes)); }
    constexpr void Set(T value) { StoreLE32(m_bytes, 0, static_cast<std::uint32_t>(value)); }

private:
    std::array<std::uint8_t, sizeof(T)> m_bytes{};
};

using LeInt32 = LittleEndian<std::int32_t>;
using LeUInt32 = LittleEndian<std::uint32_t>;

// A text field: at most 260 bytes and a terminating zero.
inline constexpr std::size_t kTextFieldSize = 261;
inline constexpr std::size_t kMaxTextLength = kTextFieldSize - 1;
using TextField = std::array<char, kTextFieldSize>;

// The text up to the first zero byte (the whole field if there is none).
std::string GetText(const TextField& field);
// Stores text with its terminating zero and zeroes the bytes after it. A text of more than 260
// bytes is refused with an Error naming it and the limit; the field is then left as it was.
void SetText(TextField& field, std::string_view text);

// The codec choice of the last generation, in the field order of the Video for Windows COMPVARS
// record. All zero means that no codec was ever chosen. Handle and pointer fields are never used.
struct CodecSettings {
    LeUInt32 StructSize;
    LeUInt32 Flags;
    LeUInt32 CodecHandle;
    LeUInt32 StreamType;
    LeUInt32 Handler;
    LeUInt32 InputFormat;
    LeUInt32 OutputFormat;
    LeUInt32 OutputBits;
    LeUInt32 PreviousBits;
    LeUInt32 FrameNumber;
    LeUInt32 KeyFrameInterval;
    LeUInt32 DataRate;
    LeUInt32 Quality;
    LeUInt32 KeyFrameCounter;
    LeUInt32 CodecState;
    LeUInt32 CodecStateSize;

    bool operator==(const CodecSettings&) const = default;
};
static_assert(sizeof(CodecSettings) == 64);

// The project file: a 360-byte header, then one 292-byte record per frame, no signature, no count.
struct ProjectHeader {
    LeInt32 Width;
    LeInt32 Height;
    TextField AviFileName{};
    std::uint8_t ColorDepth = 0;  // 0 = 1 bit, 1 = 4 bits, 2 = 8 bits, anything else 24 bits
    LeInt32 FramesPerSecond;
    project::CodecSettings CodecSettings;
    std::uint8_t PlayAfterCreate = 0;
    // Slideshow settings; zero in all of them gives the whole-number rate, black and nearest
    // neighbour of a project that has none.
    LeUInt32 RateDenominator;                  // 0 = 1: FramesPerSecond is the whole rate
    std::array<std::uint8_t, 3> Background{};  // red, green, blue
    std::uint8_t SmoothScaling = 0;            // 0 = nearest neighbour, 1 = smooth
    // What an added picture gets (project/PictureDefaults.h); zero in all of them adds pictures
    // as a project without them always has: one frame, stretched, cut, still.
    LeUInt32 DefaultDuration;        // milliseconds
    std::uint8_t DefaultFit = 0;     // the Fit byte of a frame record
    LeUInt32 DefaultCrossfade;       // milliseconds
    std::uint8_t DefaultMotion = 0;  // 0 = none, 2 = automatic
    std::array<std::uint8_t, 3> Reserved{};
};
static_assert(sizeof(ProjectHeader) == 360);
static_assert(offsetof(ProjectHeader, AviFileName) == 8);
static_assert(offsetof(ProjectHeader, ColorDepth) == 269);
static_assert(offsetof(ProjectHeader, FramesPerSecond) == 270);
static_assert(offsetof(ProjectHeader, CodecSettings) == 274);
static_assert(offsetof(ProjectHeader, PlayAfterCreate) == 338);
static_assert(offsetof(ProjectHeader, RateDenominator) == 339);
static_assert(offsetof(ProjectHeader, Background) == 343);
static_assert(offsetof(ProjectHeader, SmoothScaling) == 346);
static_assert(offsetof(ProjectHeader, DefaultDuration) == 347);
static_assert(offsetof(ProjectHeader, DefaultFit) == 351);
static_assert(offsetof(ProjectHeader, DefaultCrossfade) == 352);
static_assert(offsetof(ProjectHeader, DefaultMotion) == 356);

struct FrameRecord {
    std::uint8_t Reserved1 = 0;
    TextField PictureFileName{};
    LeUInt32 Duration;         // milliseconds; 0 = one video frame
    std::uint8_t Stretch = 0;  // 0 = copy to the top-left corner, otherwise stretch to the video size
    std::uint8_t Fit = 0;      // 0 = as Stretch says, 1 = letterbox, 2 = crop, 3 = centre
    LeUInt32 Crossfade;        // milliseconds of blending into this picture; 0 = cut
    std::uint8_t Motion = 0;   // 0 = still, 1 = between the framings below, 2 = automatic
    std::uint8_t Easing = 0;   // 0 = linear, 1 = easing in and out
    // Centre x and y (16-bit fractions of the picture), zoom (thousandths), little-endian.
    std::array<std::uint8_t, 6> MotionStart{};
    std::array<std::uint8_t, 6> MotionEnd{};
    std::array<std::uint8_t, 6> Reserved3{};
};
static_assert(sizeof(FrameRecord) == 292);
static_assert(offsetof(FrameRecord, PictureFileName) == 1);
static_assert(offsetof(FrameRecord, Duration) == 262);
static_assert(offsetof(FrameRecord, Stretch) == 266);
static_assert(offsetof(FrameRecord, Fit) == 267);
static_assert(offsetof(FrameRecord, Crossfade) == 268);
static_assert(offsetof(FrameRecord, Motion) == 272);
static_assert(offsetof(FrameRecord, MotionStart) == 274);
static_assert(offsetof(FrameRecord, MotionEnd) == 280);

inline constexpr std::int64_t kHeaderSize = sizeof(ProjectHeader);
inline constexpr std::int64_t kFrameRecordSize = sizeof(FrameRecord);

// The header of a project made by the New command: 24 bits, 8 frames per second, play when done.
ProjectHeader NewProjectHeader();
// The header of a project created because the path given on the command line did not exist.
ProjectHeader BlankProjectHeader();
// A record for an added picture: the picture's path, stretched. Refuses a path over 260 bytes.
FrameRecord NewFrameRecord(std::string_view picturePath);

// (file size - 360) / 292, truncated toward zero; -1 when the file cannot be opened.
std::int32_t ProjectFrameCount(const std::string& path);
std::int64_t FrameRecordOffset(std::int32_t index);

// Each call opens and closes the file. A read that comes up short returns false and leaves the bytes
// it did not get as the caller had them.
bool ReadProjectHeader(const std::string& path, ProjectHeader& header);
// Creates a missing file; never truncates, so the frame records stay.
bool WriteProjectHeader(const std::string& path, ProjectHeader header);
bool ReadFrameRecord(const std::string& path, std::int32_t index, FrameRecord& record);
// Never creates the file; index equal to the frame count appends a record.
bool WriteFrameRecord(const std::string& path, std::int32_t index, FrameRecord record);
// Records firstIndex, firstIndex + 1, ... in one write, as WriteFrameRecord would put them one by one.
bool WriteFrameRecords(const std::string& path, std::int32_t firstIndex, std::span<const FrameRecord> records);

// Working copies are temporary files with this prefix in the temporary folder: the name stays the
// same across versions, so a later start can offer what an earlier version left.
inline constexpr const char* kWorkingCopyPrefix = "AVI";

// A new empty file "AVI<process id>.xxxxxx" in TMPDIR (or /tmp), readable by this user alone; the
// caller owns and deletes it.
std::string MakeTempFileName();

int ColorDepthBits(const ProjectHeader& header);
// The ColorDepth code of 1, 4, 8 or 24 bits; nullopt for any other depth.
std::optional<std::uint8_t> ColorDepthCode(int bitsPerPixel);

// The last part of a path ("/" separates) up to its last ".".
std::string FileNameWithoutExtension(const std::string& path);
// The video a project makes by default: the project's folder, its name without the extension,
// and ".avi".
std::string DefaultAviFileName(const std::string& projectPath);

// The header and every frame record of a project file; raises an Error when the header cannot be
// read: "Can't read project file <path>: " and why (the system's reason, or the file is empty or
// shorter than a header), or "<path> is not a regular file" for a device, FIFO or socket.
ProjectHeader ReadProject(const std::string& path, std::vector<FrameRecord>* records);
// A short sentence saying why the file does not look like a project: a size other than
// 360 + 292 x N bytes, a video side outside 0 to 32767, a negative rate, or a rate of 0 with
// frames. Any file is still taken as a project; this only lets the user know. nullopt when the
// file looks like one, or cannot be read (opening it says why).
std::optional<std::string> ProjectDoubt(const std::string& path);

// Replaces the whole project file with a header and records at once: a reader sees either the old
// file or the new one, never a mix. Raises an Error when that fails; the old file then stays. A
// link is followed and stays a link; a device, FIFO or socket is refused untouched. ProjectRewrite
// does the same for records made one at a time.
void ReplaceProjectFile(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records);
// Replaces the file `to` with a byte-for-byte copy of `from` in the same way. Raises an Error
// naming the file that could not be read or written; `to` then stays as it was.
void CopyProjectFile(const std::string& from, const std::string& to);

}  // namespace kinetar::project
