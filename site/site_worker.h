// The window's pushes to the site archive, on a thread of their own: the operator and the
// device never wait for the server. A push is asked for after every archive write (and once at
// the start); the rows stay waiting in the archive when the server is down, slow or refuses,
// and go at the next push. Nothing here shows a box: the window shows the state.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "archive/archive_file.h"
#include "site/site_push.h"

struct SiteState {
    bool counted = false;   // a push (or a look at the archive) has ended once
    bool pushing = false;   // a push runs now
    size_t waiting = 0;     // rows the site does not hold yet
    size_t refused = 0;     // rows set aside, refused by the site for their content
    bool failed = false;    // the last push failed: `lastError` says why
    std::string lastError;  // the box-style text of the last failure, secrets masked (UTF-8)
    int lastErrorTextId = 0;
    std::string lastPushedAt;  // "YYYY-MM-DD HH:MM:SS" of the last push that ended well
    // Versions of corrective actions the site does not hold yet, and those it refused; when the
    // site failed them alone (the rows went), its words.
    size_t actionsWaiting = 0, actionsRefused = 0;
    std::string actionsError;
};

class SiteWorker {
public:
    // `changed` is called on the worker's thread whenever the state changes.
    SiteWorker(std::string archivePath, std::string connection, std::function<void()> changed);
    // Asks the thread to end and waits a little for it; one stuck in a call to a slow server is
    // left to end with the program (it holds no transaction the server keeps).
    ~SiteWorker();
    SiteWorker(const SiteWorker&) = delete;
    SiteWorker& operator=(const SiteWorker&) = delete;

    // A push of every waiting row, soon; pushes asked for while one runs make one more.
    void Push();
    SiteState State() const;

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
};

// The archive the window keeps its reads in, which asks the worker for a push after every write
// that went well.
class PushingArchive : public RecordArchive {
public:
    PushingArchive(RecordArchive& archive, SiteWorker& worker)
        : m_archive(archive), m_worker(worker) {}

    ArchiveStatus Keep(const std::string& source, MeasurementFeed& feed,
                       BatchCount& count) override {
        const ArchiveStatus status = m_archive.Keep(source, feed, count);
        if (status) m_worker.Push();
        return status;
    }
    // Nothing of it goes to the site.
    ArchiveStatus KeepForcedClear(const ForcedClear& clear) override {
        return m_archive.KeepForcedClear(clear);
    }
    const std::string& Path() const override { return m_archive.Path(); }

private:
    RecordArchive& m_archive;
    SiteWorker& m_worker;
};
