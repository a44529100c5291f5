// The window's daily copy, made on a thread of its own so that a slow or absent backup folder
// never holds the operator up: asked for after each archive write, it copies once a day and
// remembers how the last try went.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "archive/daily_backup.h"

class DailyBackupWorker {
public:
    // `changed` is called on the worker's thread after each try.
    DailyBackupWorker(std::string archivePath, std::string folder, std::string user,
                      std::function<void()> changed);
    ~DailyBackupWorker();  // waits for a copy under way
    DailyBackupWorker(const DailyBackupWorker&) = delete;
    DailyBackupWorker& operator=(const DailyBackupWorker&) = delete;

    // After an archive write: today's copy, unless it has been made.
    void Request();
    // The last try: Done when it succeeded (or none failed yet), and the copy it tried.
    DailyBackupOutcome Last() const;
    const std::string& ArchivePath() const { return m_archivePath; }

private:
    void Run();

    const std::string m_archivePath, m_folder, m_user;
    const std::function<void()> m_changed;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_requested = false, m_stopping = false;
    DailyBackupOutcome m_last;
    std::thread m_thread;  // last: started once the rest is set
};
