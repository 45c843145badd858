#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kinetar::avi
