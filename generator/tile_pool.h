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
// Memory: each worker keeps one model, and there are two image slots per
// worker, reused from tile to tile, so that a worker can build the next
// image while the caller still writes the one before.
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

    // count tiles, built by up to `workers` threads (at least one). When no
    // thread can be started, next() builds each image itself.
    TilePool(std::int64_t count, unsigned workers, Build build);
    ~TilePool() { stop(); }
    TilePool(const TilePool&) = delete;
    TilePool& operator=(const TilePool&) = delete;

    // The image of the next tile, once it is built; it stays valid until the
    // next call. Call it at most count times.
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

    const std::int64_t count_;
    const Build build_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable claimable_; // the workers wait for a free slot
    std::condition_variable built_;     // the caller waits for its tile
    std::int64_t claimed_ = 0;          // tiles that a worker has taken
    std::int64_t handedOut_ = 0;        // tiles that next() has returned
    bool stopping_ = false;
    std::vector<std::thread> threads_;
    MeshModel ownModel_; // next()'s scratch when it builds by itself
};

// How many workers a run uses: as many as the machine has cores, at least
// one and at most 8 (one writer cannot take more images than that, and each
// worker holds up to three tiles' worth of memory).
unsigned tileWorkers();
// Test seam: a fixed number of workers for the following runs; 0 restores
// the default.
void setTileWorkersForTesting(unsigned workers);
