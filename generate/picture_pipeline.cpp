#include "generate/picture_pipeline.h"

#include <algorithm>
#include <chrono>

namespace tav {

namespace {

int threadsFor(const PlacementOptions& options) {
    if (options.preparingThreads > 0) {
        return options.preparingThreads;
    }
    return std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
}

// How often take() hands control back to its caller while it waits.
constexpr auto kWaitSlice = std::chrono::milliseconds(100);

} // namespace

PicturePipeline::PicturePipeline(const PlacementOptions& options, QSizeF box)
    : options_(options), box_(box) {
    const int threads = threadsFor(options);
    if (threads < 2) {
        return;
    }
    // Enough pictures in hand that no worker waits for the run to take one, and few
    // enough that memory does not grow with the list.
    readAhead_ = threads + 2;
    workers_.reserve(static_cast<std::size_t>(threads));
    for (int i = 0; i < threads; ++i) {
        workers_.emplace_back([this] { work(); });
    }
}

PicturePipeline::~PicturePipeline() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
        slots_.clear();
    }
    queued_.notify_all();
    for (std::thread& worker : workers_) {
        worker.join();
    }
}

void PicturePipeline::request(int index, const PictureRequest& picture) {
    if (workers_.empty() || index <= taken_ || index > taken_ + readAhead_) {
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        if (!slots_.empty() && slots_.back()->index >= index) {
            return;
        }
        auto slot = std::make_shared<Slot>();
        slot->index = index;
        slot->request = picture;
        slots_.push_back(std::move(slot));
    }
    queued_.notify_one();
}

PreparedPicture PicturePipeline::take(int index, const PictureRequest& picture,
                                      const std::function<void()>& whileWaiting) {
    std::unique_lock lock(mutex_);
    taken_ = index;
    while (!slots_.empty() && slots_.front()->index < index) {
        slots_.pop_front();
    }
    std::shared_ptr<Slot> slot;
    if (!slots_.empty() && slots_.front()->index == index) {
        slot = slots_.front();
        slots_.pop_front();
    }
    if (!slot || slot->request != picture) {
        // Not asked for, or asked for a row that has changed since: a worker may still
        // be busy with the old request, and simply drops its result.
        lock.unlock();
        return prepareNow(picture);
    }
    if (slot->state == Slot::State::Queued) {
        // No worker has reached it yet: the caller does it rather than wait.
        lock.unlock();
        return prepareNow(picture);
    }
    const auto done = [&] { return slot->state == Slot::State::Done; };
    while (!done_.wait_for(lock, kWaitSlice, done)) {
        lock.unlock();
        whileWaiting();
        lock.lock();
    }
    if (slot->failure) {
        std::rethrow_exception(slot->failure);
    }
    return std::move(slot->result);
}

void PicturePipeline::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Slot> slot;
        queued_.wait(lock, [&] {
            if (ending_) {
                return true;
            }
            const auto it = std::find_if(slots_.begin(), slots_.end(), [](const auto& s) {
                return s->state == Slot::State::Queued;
            });
            if (it != slots_.end()) {
                slot = *it;
            }
            return slot != nullptr;
        });
        if (ending_) {
            return;
        }
        slot->state = Slot::State::Working;
        lock.unlock();
        prepare(*slot);
        lock.lock();
        slot->state = Slot::State::Done;
        done_.notify_all();
    }
}

void PicturePipeline::prepare(Slot& slot) {
    // Runs without the lock: only this worker touches the slot's result until it is
    // marked done.
    try {
        slot.result = prepareNow(slot.request);
    } catch (...) {
        slot.failure = std::current_exception();
    }
}

PreparedPicture PicturePipeline::prepareNow(const PictureRequest& picture) const {
    return preparePicture(picture.turn, picture.path, box_, options_);
}

} // namespace tav
