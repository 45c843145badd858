#include <gtest/gtest.h>

#include <string>

#include "avi/writer/Container.h"

namespace kinetar::avi {
namespace {

TEST(Container, TheDestinationsExtensionChoosesAndEverythingElseStaysAvi)
{
    const struct {
        const char* path;
        Container expected;
    } rows[] = {
        {"/v/trip.mp4", Container::Mp4},     {"trip.M4V", Container::Mp4},      {"/v/trip.MoV", Container::Mp4},
        {"a.b.mkv", Container::Mkv},         {"/v/x.webm", Container::WebM},    {"/v/trip.avi", Container::Avi},
        {"/v/trip", Container::Avi},         {"/v/.mp4", Container::Avi},       {"/v.mp4/trip", Container::Avi},
        {"/v/trip.mp4.bak", Container::Avi}, {"/v/trip.mpeg4", Container::Avi}, {"", Container::Avi},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ContainerForPath(row.path), row.expected) << row.path;
    }
    for (const Container kind : {Container::Avi, Container::Mp4, Container::Mkv, Container::WebM}) {
        EXPECT_EQ(ContainerFromName(ContainerName(kind)), kind);
    }
    EXPECT_FALSE(ContainerFromName("MP4").has_value());
}

TEST(Container, ADestinationNamingAnotherKindOfFileIsRefusedAndVideosAndUnknownNamesAreNot)
{
    const struct {
        const char* path;
        const char* kind;  // nullptr: taken
    } rows[] = {
        {"show.gif", "a GIF picture"},
        {"/v/show.JPG", "a JPEG picture"},
        {"/v/show.jpeg", "a JPEG picture"},
        {"show.PnG", "a PNG picture"},
        {"show.webp", "a WebP picture"},
        {"show.tif", "a TIFF picture"},
        {"show.Tiff", "a TIFF picture"},
        {"show.heic", "a HEIC picture"},
        {"show.mp4.gif", "a GIF picture"},
        {"song.mp3", "an MP3 sound"},
        {"song.WAV", "a WAV sound"},
        {"song.ogg", "an Ogg sound"},
        {"song.m4a", "an M4A sound"},
        {"notes.txt", "a text file"},
        {"/v/show.AVIprj", "a Kinetar project"},
        {"/v/show.avi", nullptr},
        {"/v/show.MP4", nullptr},
        {"show.m4v", nullptr},
        {"show.mov", nullptr},
        {"show.mkv", nullptr},
        {"show.webm", nullptr},
        {"show.gif.avi", nullptr},
        {"show", nullptr},
        {"show.video", nullptr},
        {"/v/.gif", nullptr},
        {"/v.gif/show", nullptr},
        {"", nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        const auto message = WrongKindOfDestination(row.path);
        if (row.kind == nullptr) {
            EXPECT_FALSE(message.has_value()) << *message;
            continue;
        }
        ASSERT_TRUE(message.has_value());
        EXPECT_EQ(*message, std::string(row.path) + " names " + row.kind +
                                ", not a video; Kinetar writes .avi, .mp4 (.m4v, .mov), .mkv or .webm");
    }
}

}  // namespace
}  // namespace kinetar::avi
