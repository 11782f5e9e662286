#pragma once
// Pictures read ahead on a worker thread, one at a time and the newest first, and kept among the
// recent pictures by the thread that asked for them, so that thread never waits for a decode.
#include "imaging/RecentPictures.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

namespace imaging {

class PicturePreparer : public QObject {
public:
    explicit PicturePreparer(QObject* parent = nullptr);
    ~PicturePreparer() override;  // stops the worker and waits for it

    // A newer request for the same slot (a pane) stops the older one and drops its picture.
    void Prepare(int slot, const QString& path, const DisplayTarget& target);
    // Whoever reads this file now does not wait for its preparation: it stops, its picture goes.
    void Stop(const QString& path);
    // Preparations asked for whose picture has not come back yet.
    int Pending() const { return static_cast<int>(live_.size()); }

private:
    struct Job {
        uint64_t id;
        QString path;
        DisplayTarget target;
        std::shared_ptr<StopFlag> stop;
    };
    void RunNewest();
    void Deliver(int slot, uint64_t id, bool stopped, std::optional<PreparedPicture> p);
    void Drop(int slot);

    // The asking thread's own: the latest job of each slot, queued or running.
    std::map<int, Job> live_;
    uint64_t nextId_ = 1;
    // Shared with the worker: what is still to be done, newest first.
    std::mutex mutex_;
    std::deque<std::pair<int, Job>> queue_;
    QThreadPool pool_;
};

}  // namespace imaging
