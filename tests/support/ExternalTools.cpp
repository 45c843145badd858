#include "support/ExternalTools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <sstream>

namespace kinetar::test {

int RunCommand(const std::string& command, std::string* output)
{
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return -1;
    }
    std::array<char, 65536> buffer{};
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        if (output != nullptr) {
            output->append(buffer.data(), got);
        }
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& path)
{
    return ::access(path.c_str(), X_OK) == 0;
}

std::string MissingPrograms(std::initializer_list<std::string> paths)
{
    std::string missing;
    for (const std::string& path : paths) {
        if (!HaveProgram(path)) {
            missing += (missing.empty() ? "" : ", ") + path;
        }
    }
    return missing.empty() ? missing : missing + " not installed (scripts/install-deps installs it)";
}

std::string ShellQuote(const std::string& text)
{
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'') {
            quoted += "'\\''";
        } else {
            quoted += c;
        }
    }
    return quoted + "'";
}

std::string FillCommand(std::string command, const std::string& in, const std::string& out)
{
    for (const auto& [key, value] : {std::pair<std::string, std::string>{"{in}", in}, {"{out}", out}}) {
        const std::string quoted = ShellQuote(value);
        for (std::size_t at = command.find(key); at != std::string::npos; at = command.find(key, at + quoted.size())) {
            command.replace(at, key.size(), quoted);
        }
    }
    return command;
}

std::string PillowCommand(const std::string& statements, const std::string& arguments)
{
    const std::string script = "import sys\nfrom PIL import Image\nim = Image.open(sys.argv[1])\n" + statements;
    return kPython + " -c " + ShellQuote(script) + " " + arguments;
}

namespace {

std::optional<RgbImage> DecodeThroughPpm(const std::string& command)
{
    // A decoder that warns about a damaged file may still exit non-zero after writing the whole
    // picture; the PPM parse decides.
    std::string output;
    RunCommand(command, &output);
    return ParsePpm(std::span(reinterpret_cast<const std::uint8_t*>(output.data()), output.size()));
}

}  // namespace

std::optional<RgbImage> DecodeWithImageMagick(const std::string& path)
{
    return DecodeThroughPpm(kConvert + " " + ShellQuote(path + "[0]") + " -depth 8 ppm:- 2>/dev/null");
}

std::optional<RgbImage> DecodeWithFfmpeg(const std::string& path)
{
    return DecodeThroughPpm(kFfmpeg + " -v quiet -i " + ShellQuote(path) +
                            " -frames:v 1 -f image2pipe -c:v ppm -pix_fmt rgb24 - 2>/dev/null");
}

std::optional<RgbImage> DecodeWithPillow(const std::string& path, const std::string& statements)
{
    return DecodeThroughPpm(PillowCommand(statements +
                                              "im = im.convert('RGB')\n"
                                              "sys.stdout.buffer.write(b'P6 %d %d 255\\n' % im.size + im.tobytes())\n",
                                          ShellQuote(path) + " 2>/dev/null"));
}

namespace {

std::string Field(const std::string& line, const std::string& name)
{
    const std::string key = name + "=";
    const auto at = line.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto start = at + key.size();
    return line.substr(start, line.find('|', start) - start);
}

std::int64_t Number(const std::string& text)
{
    try {
        return std::stoll(text);
    } catch (const std::exception&) {
        return -1;
    }
}

}  // namespace

std::optional<ProbedVideo> Probe(const std::string& path, bool withPackets)
{
    std::string output;
    const std::string command = kFfprobe +
                                " -v error -count_frames -select_streams v:0 -show_entries "
                                "stream=codec_name,pix_fmt,width,height,r_frame_rate,nb_frames,nb_read_frames" +
                                std::string(withPackets ? " -show_entries packet=pts,size,flags" : "") +
                                " -of compact " + ShellQuote(path) + " 2>&1";
    if (RunCommand(command, &output) != 0) {
        return std::nullopt;
    }
    ProbedVideo video;
    bool sawStream = false;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("packet|", 0) == 0) {
            video.Packets.push_back({Number(Field(line, "pts")), Number(Field(line, "size")),
                                     Field(line, "flags").find('K') != std::string::npos});
        } else if (line.rfind("stream|", 0) == 0) {
            sawStream = true;
            video.Codec = Field(line, "codec_name");
            video.PixelFormat = Field(line, "pix_fmt");
            video.Width = static_cast<int>(Number(Field(line, "width")));
            video.Height = static_cast<int>(Number(Field(line, "height")));
            video.FrameRate = Field(line, "r_frame_rate");
            video.HeaderFrames = Number(Field(line, "nb_frames"));
            video.CountedFrames = Number(Field(line, "nb_read_frames"));
        } else if (!line.empty()) {
            // Any complaint of the reader makes the file suspect.
            return std::nullopt;
        }
    }
    if (!sawStream) {
        return std::nullopt;
    }
    return video;
}

std::map<std::string, std::string> ProbeStream(const std::string& path, const std::string& stream,
                                               const std::string& entries)
{
    std::string output;
    if (RunCommand(kFfprobe + " -v error -select_streams " + stream + " -show_entries stream=" + entries +
                       " -of default=noprint_wrappers=1 " + ShellQuote(path) + " 2>/dev/null",
                   &output) != 0) {
        return {};
    }
    std::map<std::string, std::string> values;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        const auto equals = line.find('=');
        if (equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
    }
    return values;
}

std::optional<std::vector<RgbImage>> DecodeVideoFrames(const std::string& path)
{
    const auto probed = Probe(path, false);
    if (!probed) {
        return std::nullopt;
    }
    std::string output;
    // Passthrough keeps one output frame per decoded frame, with no duplication for gaps.
    if (RunCommand(kFfmpeg + " -v error -i " + ShellQuote(path) +
                       " -fps_mode passthrough -f rawvideo -pix_fmt rgb24 - 2>/dev/null",
                   &output) != 0) {
        return std::nullopt;
    }
    const std::size_t frameBytes =
        static_cast<std::size_t>(probed->Width) * static_cast<std::size_t>(probed->Height) * 3;
    if (frameBytes == 0 || output.size() % frameBytes != 0) {
        return std::nullopt;
    }
    std::vector<RgbImage> frames;
    for (std::size_t at = 0; at < output.size(); at += frameBytes) {
        RgbImage image{probed->Width, probed->Height, {}};
        image.Pixels.assign(output.begin() + static_cast<std::ptrdiff_t>(at),
                            output.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
        frames.push_back(std::move(image));
    }
    return frames;
}

std::vector<bool> DecodedKeyFrames(const std::string& path)
{
    std::string output;
    RunCommand(kFfprobe + " -v error -select_streams v -show_entries frame=key_frame -of csv=p=0 " + ShellQuote(path),
               &output);
    std::vector<bool> keys;
    for (const char c : output) {
        if (c == '0' || c == '1') {
            keys.push_back(c == '1');
        }
    }
    return keys;
}

bool GStreamerPlaysToTheEnd(const std::string& path)
{
    return RunCommand("timeout 60 " + kGstLaunch + " -q playbin uri=file://" + ShellQuote(path) +
                      " video-sink=fakesink audio-sink=fakesink >/dev/null 2>&1") == 0;
}

std::int64_t DecodedSoundSamples(const std::string& path)
{
    std::string bytes;
    RunCommand(kFfmpeg + " -v error -i " + ShellQuote(path) + " -map 0:a -f s16le -ac 2 -ar 48000 -", &bytes);
    return static_cast<std::int64_t>(bytes.size() / 4);
}

}  // namespace kinetar::test
