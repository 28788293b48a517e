// Preparing the pictures of a run ahead of their placing. Worker threads load, shrink,
// turn and encode the next few pictures of the selection list (preparePicture) while
// the run's thread places the current one; the run takes the results strictly in list
// order. Only pure picture work runs on the workers: the engine, the host and its
// questions stay on the run's thread.
//
// At most `readAhead` pictures beyond the one taken last are queued or held, so memory
// stays flat however long the list is. A failed preparation is kept with its picture and
// thrown when the run takes that picture: the first failing picture in list order is
// the one reported, whichever worker failed first.
//
// Usage (on the run's thread):
//     PicturePipeline pictures(options, box);
//     pictures.request(0, {path0, turn0});      // ahead of time, in list order
//     ...
//     PreparedPicture p = pictures.take(0, {path0, turn0}, [&] { host.processEvents(); });
#pragma once

#include "generate/placement.h"

#include <QSizeF>
#include <QString>

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tav {

// What one picture is prepared from.
struct PictureRequest {
    QString path;
    RotationCode turn;
    bool operator==(const PictureRequest&) const = default;
};

class PicturePipeline {
public:
    // `options.preparingThreads` workers (0: one per core; 1: no worker, every picture
    // is prepared by take() on the caller's thread). `box` is the layout's box in points.
    PicturePipeline(const PlacementOptions& options, QSizeF box);
    // Drops what was not taken; waits for the pictures being prepared.
    ~PicturePipeline();
    PicturePipeline(const PicturePipeline&) = delete;
    PicturePipeline& operator=(const PicturePipeline&) = delete;

    // Pictures that may be queued or held beyond the one taken last.
    int readAhead() const { return readAhead_; }
    // Workers started (0 when pictures are prepared on the caller's thread).
    int workerCount() const { return static_cast<int>(workers_.size()); }

    // Queues the picture of list position `index` (increasing from call to call). No
    // effect when `index` is already queued, or lies more than readAhead() beyond the
    // position taken last.
    void request(int index, const PictureRequest& picture);

    // The picture of `index`, waiting for it if a worker has it in hand; `whileWaiting`
    // is called about ten times a second meanwhile (it may throw to give up). A picture
    // queued under another request (the row changed since) or not queued at all is
    // prepared here and now. Throws what its preparation threw. Positions before `index`
    // are dropped.
    PreparedPicture take(int index, const PictureRequest& picture,
                         const std::function<void()>& whileWaiting);

private:
    struct Slot {
        int index = 0;
        PictureRequest request;
        enum class State { Queued, Working, Done } state = State::Queued;
        PreparedPicture result;
        std::exception_ptr failure;
    };

    void work();
    void prepare(Slot& slot);
    PreparedPicture prepareNow(const PictureRequest& picture) const;

    const PlacementOptions options_;
    const QSizeF box_;
    int readAhead_ = 0;
    int taken_ = -1; // the position taken last

    std::mutex mutex_;
    std::condition_variable queued_; // a slot was queued, or the pipeline ends
    std::condition_variable done_;   // a slot is done
    std::deque<std::shared_ptr<Slot>> slots_;
    bool ending_ = false;
    std::vector<std::thread> workers_;
};

} // namespace tav
