#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <thread>

class QEventLoop;

namespace kinetar::ui {

// Runs one piece of work (a run of the engine) on a thread of its own while the UI thread goes on
// with its events. Whatever the work shows or asks is carried out on the UI thread, one call at a
// time, the work waiting for each answer: reports and questions keep their order, and a stop the
// user asks for is seen at the work's next call. The work never touches a widget itself.
class EngineThread : public QObject {
    Q_OBJECT

public:
    EngineThread() = default;
    // Stops a run still under way and waits for its thread, so nothing the work uses goes first.
    ~EngineThread() override;
    EngineThread(const EngineThread&) = delete;
    EngineThread& operator=(const EngineThread&) = delete;

    // Runs the work on the thread and returns when it has ended, raising what it raised; the UI
    // thread's events are processed meanwhile. When the application quits meanwhile, the run is
    // stopped (see Stop) and waited for.
    void Run(std::function<void()> work);
    bool Running() const { return m_thread.joinable(); }

    // From the work: carries the call out on the UI thread and returns its answer, or `stopped`
    // without calling once the run is stopped.
    template <typename T>
    T OnUiThread(std::function<T()> call, T stopped)
    {
        auto answer = std::make_shared<std::optional<T>>();
        if (!Call([call = std::move(call), answer] { *answer = call(); })) {
            return stopped;
        }
        return **answer;
    }

    // Answers every call waiting and every later one with its `stopped` value, so the work comes
    // to its end without the UI thread.
    void Stop();

private:
    struct State;
    // False when the run was stopped before the call was answered.
    bool Call(std::function<void()> call);

    std::shared_ptr<State> m_state;
    std::thread m_thread;
    QEventLoop* m_loop = nullptr;
};

}  // namespace kinetar::ui
