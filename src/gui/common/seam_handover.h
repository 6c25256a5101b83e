// The cross-thread hand-over of the main-window seam, shared by every front end.
//
// A call from the GUI thread acts at once. A call from another thread (the worker) is
// queued here and waits until the GUI thread has handled it, as a sent window message
// did. Once the gate is closed every call is dropped: a waiting caller is released and
// later callers return at once, so a worker that outlives the window never blocks.
//
// The worker never touches a window: it queues its task and asks the front end to wake
// the GUI thread (wake: a posted event or window message), both while holding the
// gate's mutex and only while the gate is open. The front end answers each wake with
// one RunNext on the GUI thread. The gate is closed under the same mutex before the
// window that wake posts to goes away: from then on nothing is posted, the tasks still
// queued are dropped and every waiting caller is woken.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace zelvar {

class CSeamHandOver {
  public:
    // Asks the GUI thread to call RunNext once. Called with the gate's mutex held.
    using Wake = std::function<void()>;

    // Made on the GUI thread.
    explicit CSeamHandOver(Wake wake);
    CSeamHandOver(const CSeamHandOver&) = delete;
    CSeamHandOver& operator=(const CSeamHandOver&) = delete;

    bool OnGuiThread() const { return std::this_thread::get_id() == m_guiThread; }

    // Any thread: drops the queued tasks and every later call, releases waiting callers.
    void Close();
    bool IsClosing() const;

    // GUI thread, once per wake: runs the oldest queued task while the gate is open.
    void RunNext();

    // check() run under the gate's mutex: for a front end whose wake is an object the
    // worker made (a posted event), looked at only once this lock orders the GUI thread
    // after the worker that made it.
    bool UnderGateLock(const std::function<bool()>& check) const;

    // Runs action() on the GUI thread and returns its result; fallback once the gate is
    // closed. action must own everything it uses and may itself find the window gone.
    template <typename Result, typename Action>
    Result Call(Result fallback, Action action);

  private:
    using Task = std::function<void()>;
    // Queues task and wakes the GUI thread, then waits for handled or the gate closing;
    // false when the gate was closed before the task was queued.
    bool Hand(Task task, const std::function<bool()>& handled);

    const std::thread::id m_guiThread;
    const Wake m_wake;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;  // a task was handled, or the gate closed
    bool m_closing = false;             // guarded by m_mutex
    std::deque<Task> m_tasks;           // guarded by m_mutex
};

template <typename Result, typename Action>
Result CSeamHandOver::Call(Result fallback, Action action) {
    if (OnGuiThread()) return IsClosing() ? fallback : action();
    // Shared with the task: a released caller has returned, the task may still run.
    struct Reply {
        bool handled = false;  // guarded by m_mutex
        std::optional<Result> result;
    };
    auto reply = std::make_shared<Reply>();
    auto task = [this, reply, action]() mutable {
        std::optional<Result> result;
        if (!IsClosing()) result = action();
        std::lock_guard lock(m_mutex);
        reply->result = std::move(result);
        reply->handled = true;
    };
    if (!Hand(std::move(task), [&reply] { return reply->handled; })) return fallback;
    std::lock_guard lock(m_mutex);
    return reply->result ? std::move(*reply->result) : fallback;
}

}  // namespace zelvar
