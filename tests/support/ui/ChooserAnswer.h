#pragma once

#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "avi/frames/FrameDIB.h"
#include "avi/writer/Container.h"
#include "project/ProjectFile.h"

namespace kinetar::test {

// Answers the compressor chooser when a run asks for it, through the windows' services: the real
// dialog is made for the run's depth and kind of file, the compressor (and a quality in percent)
// selected in it, and its choice returned; without a compressor the run is cancelled. One answer
// at a time is in effect, from its making to its end.
class ChooserAnswer {
public:
    explicit ChooserAnswer(std::optional<std::uint32_t> fourcc, std::optional<int> quality = {});
    ~ChooserAnswer();
    ChooserAnswer(const ChooserAnswer&) = delete;
    ChooserAnswer& operator=(const ChooserAnswer&) = delete;

    // What the test's services do in place of showing the chooser; a chooser nobody expected
    // cancels the run and fails the test.
    static bool Answer(QWidget* owner, avi::Container container, project::CodecSettings& variables,
                       const avi::FrameDIB& format);

    // Runs once the chooser has answered, at the run's next progress report.
    std::function<void()> Then;
    int Shown = 0;

private:
    std::optional<std::uint32_t> m_fourcc;
    std::optional<int> m_quality;
};

}  // namespace kinetar::test
