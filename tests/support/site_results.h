// Waits for a SiteHistoryModel's results as the history window waits for its message: each
// arrival taken on the waiting thread, until the state waited for holds or a query fails.
// Declared before the model it waits for, so that it outlives it.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

#include "history/site_history_model.h"

class SiteResults {
public:
    SiteResultsArrived Arrived() {
        return [this] {
            const std::lock_guard<std::mutex> guard(m_lock);
            m_arrived = true;
            m_wake.notify_all();
        };
    }

    // False when a query failed first (its words in `failed`).
    bool Until(SiteHistoryModel& model, const std::function<bool()>& done) {
        while (!failed && !done()) {
            {
                std::unique_lock<std::mutex> guard(m_lock);
                m_wake.wait(guard, [&] { return m_arrived; });
                m_arrived = false;
            }
            failed = model.Take().failed;
        }
        return !failed;
    }

    // Row `index`, asked for and waited for; null when a query failed.
    const Measurement* Row(SiteHistoryModel& model, size_t index) {
        return Until(model, [&] { return model.Row(index) != nullptr; }) ? model.Row(index)
                                                                         : nullptr;
    }

    std::optional<SiteStatus> failed;

private:
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_arrived = false;
};
