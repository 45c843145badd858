#include "cli/ProjectWriting.h"

#include <signal.h>

#include <array>
#include <csignal>

#include "common/Error.h"
#include "project/ProjectRewrite.h"

namespace kinetar::cli {
namespace {

using project::FrameRecord;
using project::ProjectHeader;

// The signals that end a run held back while it lasts: a replace in progress finishes, so an edit
// leaves either the old file or the new one and no temporary beside them.
class HeldStopSignals {
public:
    HeldStopSignals()
    {
        sigset_t held;
        sigemptyset(&held);
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            sigaddset(&held, signal);
        }
        sigprocmask(SIG_BLOCK, &held, &m_previous);
    }
    HeldStopSignals(const HeldStopSignals&) = delete;
    HeldStopSignals& operator=(const HeldStopSignals&) = delete;
    ~HeldStopSignals() { sigprocmask(SIG_SETMASK, &m_previous, nullptr); }

private:
    sigset_t m_previous{};
};

volatile std::sig_atomic_t g_stopRequested = 0;

extern "C" void OnStopRequest(int /*signal*/)
{
    g_stopRequested = 1;
}

// While it lasts a stop request (Ctrl-C, SIGTERM, SIGHUP) is noted for the rewrite to act on, so a
// long one can be stopped and still leave the project whole. A signal the caller ignores stays
// ignored.
class CaughtStopSignals {
public:
    CaughtStopSignals()
    {
        g_stopRequested = 0;
        struct sigaction action {};
        action.sa_handler = OnStopRequest;
        action.sa_flags = SA_RESTART;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], nullptr, &m_previous[i]);
            if (m_previous[i].sa_handler != SIG_IGN) {
                sigaction(kSignals[i], &action, nullptr);
            }
        }
    }
    CaughtStopSignals(const CaughtStopSignals&) = delete;
    CaughtStopSignals& operator=(const CaughtStopSignals&) = delete;
    ~CaughtStopSignals()
    {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &m_previous[i], nullptr);
        }
    }

    static bool Requested() { return g_stopRequested != 0; }

private:
    static constexpr std::array<int, 3> kSignals{SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_previous{};
};

// A stop request is looked at after this many records (1.2 MB written).
constexpr std::int32_t kRecordsBetweenStopChecks = 4096;

}  // namespace

void SaveProject(const std::string& path, const ProjectHeader& header, const std::vector<FrameRecord>& records)
{
    const HeldStopSignals held;
    project::ReplaceProjectFile(path, header, records);
}

void RewriteProject(const std::string& path, const ProjectHeader& header, std::int32_t count,
                    const std::function<FrameRecord(std::int32_t)>& record)
{
    const CaughtStopSignals stop;
    const auto stopIfAsked = [&] {
        if (CaughtStopSignals::Requested()) {
            throw Error("stopped; " + path + " was left as it was");
        }
    };
    project::ProjectRewrite file(path);
    file.Append(header);
    for (std::int32_t i = 0; i < count; ++i) {
        if (i % kRecordsBetweenStopChecks == 0) {
            stopIfAsked();
        }
        file.Append(record(i));
    }
    const HeldStopSignals held;
    stopIfAsked();
    file.Commit();
}

}  // namespace kinetar::cli
