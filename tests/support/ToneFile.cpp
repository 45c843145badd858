#include "support/ToneFile.h"

#include "support/ExternalTools.h"

namespace kinetar::test {

bool MakeTone(const std::string& path, double seconds)
{
    return RunCommand(kFfmpeg + " -v error -y -f lavfi -i sine=frequency=440:sample_rate=44100:duration=" +
                      std::to_string(seconds) + " " + ShellQuote(path)) == 0;
}

}  // namespace kinetar::test
