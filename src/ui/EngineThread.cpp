#include "ui/EngineThread.h"

#include <QEventLoop>
#include <QPointer>
#include <condition_variable>
#include <exception>
#include <mutex>

namespace kinetar::ui {

// Shared by the UI thread and the work; a call carried out late (after a stop) writes only here.
struct EngineThread::State {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Stopped = false;
    bool Finished = false;
    std::exception_ptr Failure;
};

EngineThread::~EngineThread()
{
    if (m_loop != nullptr) {
        m_loop->quit();
    }
    Stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void EngineThread::Run(std::function<void()> work)
{
    auto state = std::make_shared<State>();
    m_state = state;
    QEventLoop loop;
    m_loop = &loop;
    m_thread = std::thread([this, state, work = std::move(work)] {
        std::exception_ptr failure;
        try {
            work();
        } catch (...) {
            failure = std::current_exception();
        }
        const std::lock_guard lock(state->Mutex);
        state->Failure = failure;
        state->Finished = true;
        // Posted before the thread ends, and the thread is joined before this object goes.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_loop != nullptr) {
                    m_loop->quit();
                }
            },
            Qt::QueuedConnection);
    });

    const QPointer<EngineThread> alive(this);
    loop.exec();
    if (alive == nullptr) {
        return;  // destroyed meanwhile, which stopped the work and waited for it
    }
    m_loop = nullptr;
    bool finished = false;
    {
        const std::lock_guard lock(state->Mutex);
        finished = state->Finished;
    }
    if (!finished) {
        Stop();  // the loop was left early: the application is quitting
    }
    m_thread.join();
    if (state->Failure) {
        std::rethrow_exception(state->Failure);
    }
}

void EngineThread::Stop()
{
    if (!m_state) {
        return;
    }
    {
        const std::lock_guard lock(m_state->Mutex);
        m_state->Stopped = true;
    }
    m_state->Changed.notify_all();
}

bool EngineThread::Call(std::function<void()> call)
{
    const std::shared_ptr<State> state = m_state;
    auto answered = std::make_shared<bool>(false);  // guarded by the state's mutex
    {
        const std::lock_guard lock(state->Mutex);
        if (state->Stopped) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [state, answered, call = std::move(call)] {
            {
                const std::lock_guard lock(state->Mutex);
                if (state->Stopped) {
                    return;
                }
            }
            call();
            {
                const std::lock_guard lock(state->Mutex);
                *answered = true;
            }
            state->Changed.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(state->Mutex);
    state->Changed.wait(lock, [&] { return *answered || state->Stopped; });
    return *answered;
}

}  // namespace kinetar::ui
