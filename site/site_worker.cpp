#include "site/site_worker.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "measurement/local_clock.h"
#include "measurement/time_text.h"
#include "site/site_cause_text.h"

// What the window's thread and the worker share; the worker keeps it alive as long as it runs.
struct SiteWorker::Shared {
    std::string archivePath, connection;
    std::function<void()> changed;
    mutable std::mutex lock;
    std::condition_variable wake;
    bool asked = false, stopping = false, ended = false;
    SiteState state;

    void Run() {
        for (;;) {
            {
                std::unique_lock<std::mutex> guard(lock);
                wake.wait(guard, [&] { return asked || stopping; });
                if (stopping) break;
                asked = false;
                state.pushing = true;
            }
            changed();
            const PushOutcome outcome =
                PushArchiveToSite(archivePath, connection, [&] { return !Stopping(); });
            Record(outcome);
            changed();
        }
        std::lock_guard<std::mutex> guard(lock);
        ended = true;
        wake.notify_all();
    }

    bool Stopping() {
        std::lock_guard<std::mutex> guard(lock);
        return stopping;
    }

    void Record(const PushOutcome& outcome) {
        std::lock_guard<std::mutex> guard(lock);
        state.counted = true;
        state.pushing = false;
        state.waiting = outcome.waiting;
        state.refused = outcome.refused;
        state.actionsWaiting = outcome.actionsWaiting;
        state.actionsRefused = outcome.actionsRefused;
        state.actionsError = outcome.actionsSite ? "" : outcome.actionsSite.diagnostic;
        state.failed = !outcome.site || !outcome.archive;
        if (!outcome.archive) {
            state.lastErrorTextId = ArchiveCauseTextId(outcome.archive.cause);
            state.lastError = outcome.archive.detail;
        } else if (!outcome.site) {
            state.lastErrorTextId = SiteFailureTextId(outcome.site);
            state.lastError = outcome.site.diagnostic;
        } else {
            state.lastPushedAt = TimeText(LocalNowSeconds());
        }
    }
};

SiteWorker::SiteWorker(std::string archivePath, std::string connection,
                       std::function<void()> changed)
    : m_shared(std::make_shared<Shared>()) {
    m_shared->archivePath = std::move(archivePath);
    m_shared->connection = std::move(connection);
    m_shared->changed = std::move(changed);
    std::thread([shared = m_shared] { shared->Run(); }).detach();
}

SiteWorker::~SiteWorker() {
    std::unique_lock<std::mutex> guard(m_shared->lock);
    m_shared->stopping = true;
    m_shared->wake.notify_all();
    m_shared->wake.wait_for(guard, std::chrono::seconds(3), [&] { return m_shared->ended; });
}

void SiteWorker::Push() {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    m_shared->asked = true;
    m_shared->wake.notify_all();
}

SiteState SiteWorker::State() const {
    std::lock_guard<std::mutex> guard(m_shared->lock);
    return m_shared->state;
}
