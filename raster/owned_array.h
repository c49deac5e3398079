// OwnedArray: the heap block a raster record owns (the pixel rows of a
// bitmap, the samples of a terrain). Unlike std::vector it allocates without
// filling: the block is read from the file in one piece right after, and
// filling hundreds of megabytes first would only cost time. Move-only; the
// block is freed when the owner is cleared or destroyed.
#pragma once

#include <cstddef>
#include <memory>
#include <new>
#include <utility>

template <class T>
class OwnedArray {
  public:
    OwnedArray() = default;
    OwnedArray(OwnedArray&& other) noexcept
        : data_(std::move(other.data_)), size_(std::exchange(other.size_, 0)) {}
    OwnedArray& operator=(OwnedArray&& other) noexcept {
        data_ = std::move(other.data_);
        size_ = std::exchange(other.size_, 0);
        return *this;
    }
    OwnedArray(const OwnedArray&) = delete;
    OwnedArray& operator=(const OwnedArray&) = delete;

    // Replaces the block by n elements of unspecified value. Returns false
    // (and holds nothing) when the memory cannot be had. n = 0 holds nothing.
    bool allocate(std::size_t n) {
        reset();
        if (n == 0) return true;
        data_.reset(new (std::nothrow) T[n]);
        if (!data_) return false;
        size_ = n;
        return true;
    }
    void reset() {
        data_.reset();
        size_ = 0;
    }

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    T* data() { return data_.get(); }
    const T* data() const { return data_.get(); }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }

  private:
    std::unique_ptr<T[]> data_;
    std::size_t size_ = 0;
};
