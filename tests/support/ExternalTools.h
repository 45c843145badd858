#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "support/RgbImage.h"

namespace kinetar::test {

// The independent programs the tests write files with and read them back with, as
// scripts/install-deps installs them.
inline const std::string kFfmpeg = "/usr/bin/ffmpeg";
inline const std::string kFfprobe = "/usr/bin/ffprobe";
inline const std::string kConvert = "/usr/bin/convert";           // ImageMagick
inline const std::string kPython = "/usr/bin/python3";            // with Pillow
inline const std::string kGstLaunch = "/usr/bin/gst-launch-1.0";  // another player's readers
inline const std::string kCwebp = "/usr/bin/cwebp";
inline const std::string kHeifEnc = "/usr/bin/heif-enc";
inline const std::string kHeifConvert = "/usr/bin/heif-convert";
inline const std::string kExiftool = "/usr/bin/exiftool";
inline const std::string kAvifenc = "/usr/bin/avifenc";

// Runs a shell command; returns its exit status and, when asked, what it wrote on stdout.
int RunCommand(const std::string& command, std::string* output = nullptr);
bool HaveProgram(const std::string& path);
// Which of the programs are missing, as a skip message; empty when all are there.
std::string MissingPrograms(std::initializer_list<std::string> paths);
std::string ShellQuote(const std::string& text);
// The command with every {in} and {out} replaced by the quoted paths.
std::string FillCommand(std::string command, const std::string& in, const std::string& out);
// A Python command that opens sys.argv[1] with Pillow as `im`, then runs the statements.
std::string PillowCommand(const std::string& statements, const std::string& arguments);

// The first picture of a file as decoded by another program; nullopt when the program fails.
std::optional<RgbImage> DecodeWithImageMagick(const std::string& path);
// Pillow runs the statements on `im` before it is taken as RGB.
std::optional<RgbImage> DecodeWithPillow(const std::string& path, const std::string& statements = {});
std::optional<RgbImage> DecodeWithFfmpeg(const std::string& path);

// What ffprobe, an independent reader, finds in a video file.
struct ProbedPacket {
    std::int64_t Pts = 0;
    std::int64_t Size = 0;
    bool Key = false;
};
struct ProbedVideo {
    std::string Codec;
    std::string PixelFormat;
    int Width = 0;
    int Height = 0;
    std::string FrameRate;           // "8/1"
    std::int64_t HeaderFrames = 0;   // nb_frames
    std::int64_t CountedFrames = 0;  // nb_read_frames (decoded)
    std::vector<ProbedPacket> Packets;
};
// nullopt when ffprobe complains about anything in the file.
std::optional<ProbedVideo> Probe(const std::string& path, bool withPackets = true);
// ffprobe's entries of one stream ("v:0", "a:0"), e.g. "color_space,codec_tag_string"; empty on failure.
std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream,
                                               const std::string& entries);
// Every frame ffmpeg decodes, as RGB.
std::optional<std::vector<RgbImage>> DecodeVideoFrames(const std::string& path);
// Whether the decoder found each frame to be a key frame, in order.
std::vector<bool> DecodedKeyFrames(const std::string& path);
// Whether GStreamer's reader plays every stream of the file to its end (within a minute).
bool GStreamerPlaysToTheEnd(const std::string& path);
// The samples of the file's first sound stream as ffmpeg decodes it to 48 kHz stereo.
std::int64_t DecodedSoundSamples(const std::string& path);
// A sine tone of this many seconds, of the kind the name's extension says, written by ffmpeg.
inline bool MakeTone(const std::string& path, double seconds)
{
    return RunCommand(kFfmpeg + " -v error -y -f lavfi -i sine=duration=" + std::to_string(seconds) + " " +
                      ShellQuote(path)) == 0;
}

}  // namespace kinetar::test

// Skips the running test unless every program named is there. A macro, as GTEST_SKIP returns only
// from the function it stands in.
#define KINETAR_SKIP_WITHOUT(...)                                                                            \
    do {                                                                                                     \
        if (const std::string missing = ::kinetar::test::MissingPrograms({__VA_ARGS__}); !missing.empty()) { \
            GTEST_SKIP() << missing;                                                                         \
        }                                                                                                    \
    } while (false)
