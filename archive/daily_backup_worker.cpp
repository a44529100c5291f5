#include "archive/daily_backup_worker.h"

DailyBackupWorker::DailyBackupWorker(std::string archivePath, std::string folder, std::string user,
                                     std::function<void()> changed)
    : m_archivePath(std::move(archivePath)),
      m_folder(std::move(folder)),
      m_user(std::move(user)),
      m_changed(std::move(changed)),
      m_thread([this] { Run(); }) {}

DailyBackupWorker::~DailyBackupWorker() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void DailyBackupWorker::Request() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_requested = true;
    }
    m_wake.notify_one();
}

DailyBackupOutcome DailyBackupWorker::Last() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}

void DailyBackupWorker::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_requested || m_stopping; });
        if (m_stopping) return;
        m_requested = false;
        lock.unlock();
        // Once today's copy is there this is one look at the folder.
        const DailyBackupOutcome outcome = MakeTodaysBackup(m_archivePath, m_folder, m_user);
        lock.lock();
        m_last = outcome;
        lock.unlock();
        m_changed();
        lock.lock();
    }
}
