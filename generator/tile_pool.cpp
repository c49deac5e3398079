#include "generator/tile_pool.h"

#include <algorithm>
#include <atomic>
#include <system_error>

namespace {

constexpr unsigned kMostWorkers = 8;

std::atomic<unsigned> g_workersForTesting{0};

} // namespace

unsigned tileWorkers() {
    if (const unsigned fixed = g_workersForTesting.load()) return fixed;
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostWorkers);
}

void setTileWorkersForTesting(unsigned workers) {
    g_workersForTesting = workers;
}

TilePool::TilePool(std::int64_t count, unsigned workers, Build build)
    : count_(count), build_(std::move(build)) {
    workers = static_cast<unsigned>(std::clamp<std::int64_t>(count, 1, std::max(workers, 1u)));
    slots_.resize(2 * std::size_t{workers});
    threads_.reserve(workers);
    for (unsigned w = 0; w < workers; ++w) {
        // A system out of threads still gets its run, with fewer workers
        // or none.
        try {
            threads_.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            break;
        }
    }
}

void TilePool::work() {
    MeshModel model;
    const auto slots = static_cast<std::int64_t>(slots_.size());
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        // Tile t goes into the slot of tile t - slots, once the caller has
        // gone on from that one to the next (it holds the last handed out).
        claimable_.wait(lock, [&] {
            const std::int64_t released = std::max<std::int64_t>(handedOut_ - 1, 0);
            return stopping_ || claimed_ == count_ || claimed_ < released + slots;
        });
        if (stopping_ || claimed_ == count_) return;
        const std::int64_t tile = claimed_++;
        Slot& slot = slots_[static_cast<std::size_t>(tile % slots)];
        lock.unlock();
        build_(tile, model, slot.image);
        lock.lock();
        slot.tile = tile;
        built_.notify_one();
    }
}

const std::vector<std::uint8_t>& TilePool::next() {
    std::unique_lock<std::mutex> lock(mutex_);
    const std::int64_t tile = handedOut_++;
    Slot& slot = slots_[static_cast<std::size_t>(tile % static_cast<std::int64_t>(slots_.size()))];
    // The previous tile's slot is free now.
    claimable_.notify_all();
    if (threads_.empty()) {
        lock.unlock();
        build_(tile, ownModel_, slot.image);
        return slot.image;
    }
    built_.wait(lock, [&] { return slot.tile == tile; });
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
