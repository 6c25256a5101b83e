#include "gui/common/seam_handover.h"

namespace zelvar {

CSeamHandOver::CSeamHandOver(Wake wake)
    : m_guiThread(std::this_thread::get_id()), m_wake(std::move(wake)) {}

void CSeamHandOver::Close() {
    std::deque<Task> dropped;  // destroyed outside the lock
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        dropped.swap(m_tasks);
    }
    m_changed.notify_all();
}

bool CSeamHandOver::IsClosing() const {
    std::lock_guard lock(m_mutex);
    return m_closing;
}

void CSeamHandOver::RunNext() {
    Task task;
    {
        // Taken before the task is looked at: the worker queued it under this lock,
        // and the lock is what orders this thread after it.
        std::lock_guard lock(m_mutex);
        if (m_closing || m_tasks.empty()) return;
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
    }
    task();
    m_changed.notify_all();
}

bool CSeamHandOver::UnderGateLock(const std::function<bool()>& check) const {
    std::lock_guard lock(m_mutex);
    return check();
}

bool CSeamHandOver::Hand(Task task, const std::function<bool()>& handled) {
    std::unique_lock lock(m_mutex);
    if (m_closing) return false;
    m_tasks.push_back(std::move(task));
    m_wake();
    m_changed.wait(lock, [&] { return handled() || m_closing; });
    return true;
}

}  // namespace zelvar
