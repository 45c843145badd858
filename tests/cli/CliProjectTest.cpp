#include <gtest/gtest.h>

#include <string>

#include "avi/codecs/CodecRegistry.h"
#include "avi/codecs/Compressor.h"
#include "cli/CliProject.h"
#include "cli/ProjectDescription.h"
#include "project/ProjectFile.h"
#include "support/TestFiles.h"

namespace kinetar::cli {
namespace {

// info shows a stored quality as the window's compressor chooser does: rounded to whole percent,
// never 0 for a chosen quality; none at all for the compressor's own default.
TEST(DescribeProject, QualityInPercentAsTheChooserShowsIt)
{
    const test::TempDir folder;
    struct Row {
        std::uint32_t stored;  // hundredths of a percent
        const char* text;      // in the settings lines
        const char* json;      // the "quality" value
    };
    const Row rows[] = {
        {7500, ", quality 75%", "\"quality\": 75,"}, {7550, ", quality 76%", "\"quality\": 76,"},
        {7549, ", quality 75%", "\"quality\": 75,"}, {10000, ", quality 100%", "\"quality\": 100,"},
        {0, ", quality 1%", "\"quality\": 1,"},      {avi::kQualityDefault, "", "\"quality\": null,"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.stored);
        project::ProjectHeader header = project::NewProjectHeader();
        header.CodecSettings = avi::MakeCodecSettings(avi::CodecRegistry::Default().All().front().Fourcc);
        header.CodecSettings.Quality = row.stored;
        const std::string path = folder.File("quality.AVIprj");
        project::ReplaceProjectFile(path, header, {});

        const std::string text = DescribeProject(path);
        if (*row.text != '\0') {
            EXPECT_NE(text.find(row.text), std::string::npos) << text;
        } else {
            EXPECT_EQ(text.find(", quality"), std::string::npos) << text;
        }
        const std::string json = DescribeProjectJson(path);
        EXPECT_NE(json.find(row.json), std::string::npos) << json;
    }
}

}  // namespace
}  // namespace kinetar::cli
