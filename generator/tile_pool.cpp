#include "generator/tile_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>

namespace {

constexpr unsigned MostWorkers = 8;
// Image slots per worker: enough that the workers can run ahead of the
// writer for a while and sleep in batches.
constexpr std::size_t SlotsPerWorker = 4;

std::atomic<unsigned> g_workersForTesting{0};

} // namespace

unsigned tileWorkers() {
    if (const unsigned fixed = g_workersForTesting.load()) return fixed;
    return std::clamp(std::thread::hardware_concurrency(), 1u, MostWorkers);
}

void setTileWorkersForTesting(unsigned workers) {
    g_workersForTesting = workers;
}

TilePool::TilePool(std::int64_t count, unsigned workers, Build build)
    : count_(count), build_(std::move(build)) {
    workers = static_cast<unsigned>(std::clamp<std::int64_t>(count, 1, std::max(workers, 1u)));
    slots_.resize(SlotsPerWorker * std::size_t{workers});
    threads_.reserve(workers);
    for (unsigned w = 0; w < workers; ++w) {
        // A system out of threads still gets its run, with fewer workers
        // or none: next() builds what no worker took.
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

std::int64_t TilePool::freeSlots() const {
    // The caller holds the last tile handed out; the slots of those before
    // it are free again.
    const std::int64_t released = std::max<std::int64_t>(handedOut_ - 1, 0);
    return released + static_cast<std::int64_t>(slots_.size()) - claimed_;
}

// Every notification below is sent after the lock is given up, so that the
// thread it wakes does not at once wait for the lock again.
void TilePool::work() {
    MeshModel model;
    const auto half = static_cast<std::int64_t>(slots_.size() / 2);
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // A worker that found no free slot sleeps until half of them are
        // free: one wake-up for several tiles, not one per tile.
        if (!stopping_ && claimed_ < count_ && freeSlots() == 0) {
            ++sleeping_;
            claimable_.wait(lock,
                            [&] { return stopping_ || claimed_ == count_ || freeSlots() >= half; });
            --sleeping_;
        }
        if (stopping_ || claimed_ == count_) return;
        if (freeSlots() == 0) continue;
        const std::int64_t tile = claimed_++;
        // Still half of the slots free: a sleeping worker may help.
        const bool wakeAnother = sleeping_ > 0 && freeSlots() >= half;
        Slot& slot = slotOf(tile);
        lock.unlock();
        if (wakeAnother) claimable_.notify_one();
        build_(tile, model, slot.image);
        lock.lock();
        slot.tile = tile;
        if (callerWaits_) {
            lock.unlock();
            built_.notify_one();
            lock.lock();
        }
    }
}

const std::vector<std::uint8_t>& TilePool::next() {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::int64_t tile = handedOut_++;
    Slot& slot = slotOf(tile);
    const bool wake = sleeping_ > 0 && freeSlots() >= static_cast<std::int64_t>(slots_.size() / 2);
    // A tile that no worker has taken yet (they are all busy, or there are
    // none) is built here rather than waited for.
    const bool buildHere = claimed_ == tile;
    if (buildHere) ++claimed_;
    if (wake || buildHere) {
        lock.unlock();
        if (wake) claimable_.notify_one();
        if (buildHere) {
            build_(tile, ownModel_, slot.image);
            return slot.image;
        }
        lock.lock();
    }
    callerWaits_ = true;
    built_.wait(lock, [&] { return slot.tile == tile; });
    callerWaits_ = false;
    return slot.image;
}

void TilePool::stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    claimable_.notify_all();
    for (std::thread& t : threads_)
        if (t.joinable()) t.join();
}
