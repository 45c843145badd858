#include "cli/CliProject.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "avi/codecs/CodecRegistry.h"
#include "avi/writer/FourCC.h"

namespace kinetar::cli {

using project::FrameRecord;
using project::ProjectHeader;

bool AsciiCaseLess(const std::string& left, const std::string& right)
{
    return std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(), [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) < std::tolower(static_cast<unsigned char>(b));
    });
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
    const ProjectHeader header = project::ReadProject(path, &records);
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
