#include "imaging/PicturePreparer.h"

#include "imaging/RecentPictures.h"

#include <QMetaObject>

#include <vector>

namespace imaging {

PicturePreparer::PicturePreparer(QObject* parent) : QObject(parent) {
    // One at a time: two decodes side by side would halve the speed of each on a small machine
    // and take the window's core as well.
    pool_.setMaxThreadCount(1);
}

PicturePreparer::~PicturePreparer() {
    for (auto& [slot, job] : live_) job.stop->store(true);
    {
        const std::lock_guard lock(mutex_);
        queue_.clear();
    }
    pool_.waitForDone();
    // The pool's own wait is invisible to ThreadSanitizer; this lock shows it that the worker's
    // last use of the mutex came first.
    const std::lock_guard lock(mutex_);
}

void PicturePreparer::Prepare(int slot, const QString& path, const DisplayTarget& target) {
    Drop(slot);
    Job job{nextId_++, path, target, std::make_shared<StopFlag>(false)};
    live_.emplace(slot, job);
    {
        const std::lock_guard lock(mutex_);
        queue_.emplace_front(slot, std::move(job));
    }
    pool_.start([this] { RunNewest(); });
}

void PicturePreparer::Stop(const QString& path) {
    std::vector<int> matching;
    for (const auto& [slot, job] : live_)
        if (job.path == path) matching.push_back(slot);
    for (int slot : matching) Drop(slot);
}

void PicturePreparer::Drop(int slot) {
    const auto it = live_.find(slot);
    if (it == live_.end()) return;
    it->second.stop->store(true);
    const uint64_t id = it->second.id;
    live_.erase(it);
    const std::lock_guard lock(mutex_);
    std::erase_if(queue_, [id](const auto& q) { return q.second.id == id; });
}

// On the worker: every request started one run, and each run takes the newest job left.
void PicturePreparer::RunNewest() {
    std::optional<std::pair<int, Job>> next;
    {
        const std::lock_guard lock(mutex_);
        if (queue_.empty()) return;
        next = std::move(queue_.front());
        queue_.pop_front();
    }
    const auto& [slot, job] = *next;
    std::optional<PreparedPicture> p = PreparePicture(job.path, job.target, job.stop.get());
    // The picture goes to the asking thread in a queued call: only that thread touches live_
    // and decides whether the picture is still wanted.
    QMetaObject::invokeMethod(
        this,
        [this, slot = slot, id = job.id, stopped = job.stop->load(), p = std::move(p)]() mutable {
            Deliver(slot, id, stopped, std::move(p));
        },
        Qt::QueuedConnection);
}

void PicturePreparer::Deliver(int slot, uint64_t id, bool stopped,
                              std::optional<PreparedPicture> p) {
    const auto it = live_.find(slot);
    if (it == live_.end() || it->second.id != id) return;  // dropped meanwhile
    live_.erase(it);
    if (p && !stopped) KeepPreparedPicture(std::move(*p));
}

}  // namespace imaging
