// The meshes of a run's next tiles are built on worker threads while the
// calling thread writes the finished ones. TilePool hands their file images
// to the caller strictly in tile order, so the files, the progress and every
// message come in the same order as from a single thread, and every byte is
// the same.
//
// The workers touch nothing but their own scratch model, the image slot of
// the tile they build and the sources, which they only read. They never
// report anything: the message functions and the progress belong to the
// caller's thread (on Windows the dialog's), and a failure is only known
// when the caller writes a file.
//
// Memory: each worker keeps one model, and there are four image slots per
// worker, reused from tile to tile, so that the workers can build ahead
// while the caller writes. A tile that no worker has taken when the caller
// wants it is built by the caller itself, so no thread idles while there is
// work, and a run without any worker thread still runs.
#pragma once

#include "generator/mesh_model.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class TilePool {
  public:
    // Builds the file image of tile number index (0-based, in the order the
    // tiles are written) into image, with model as scratch. Runs on a worker.
    using Build =
        std::function<void(std::int64_t index, MeshModel& model, std::vector<std::uint8_t>& image)>;

    // count tiles, built by up to `workers` threads (at least one is tried).
    TilePool(std::int64_t count, unsigned workers, Build build);
    ~TilePool() { stop(); }
    TilePool(const TilePool&) = delete;
    TilePool& operator=(const TilePool&) = delete;

    // The image of the next tile, once it is built (here, if no worker has
    // taken it); it stays valid until the next call. At most count calls.
    const std::vector<std::uint8_t>& next();

    // Lets no worker start another tile and waits for all of them: a worker
    // first finishes the tile it builds. next() may not be called after it.
    void stop();

  private:
    struct Slot {
        std::vector<std::uint8_t> image;
        std::int64_t tile = -1; // the tile whose image it holds, once built
    };
    void work();
    // Slots a worker may fill now (with the lock held).
    std::int64_t freeSlots() const;
    Slot& slotOf(std::int64_t tile) {
        return slots_[static_cast<std::size_t>(tile % static_cast<std::int64_t>(slots_.size()))];
    }

    const std::int64_t count_;
    const Build build_;
    std::vector<Slot> slots_; // tile t goes into slot t % size
    std::mutex mutex_;
    std::condition_variable claimable_; // sleeping workers wait for free slots
    std::condition_variable built_;     // the caller waits for its tile
    std::int64_t claimed_ = 0;          // tiles taken by a worker or the caller
    std::int64_t handedOut_ = 0;        // tiles that next() has returned
    int sleeping_ = 0;                  // workers waiting for free slots
    bool callerWaits_ = false;
    bool stopping_ = false;
    std::vector<std::thread> threads_;
    MeshModel ownModel_; // scratch for the tiles that next() builds itself
};

// How many workers a run uses: as many as the machine has cores, at least
// one and at most 8 (one writer cannot take more images than that, and each
// worker holds up to five tiles' worth of memory: its model and four slots,
// some 3 MB for the largest tiles the format allows).
unsigned tileWorkers();
// Test seam: a fixed number of workers for the following runs; 0 restores
// the default.
void setTileWorkersForTesting(unsigned workers);
