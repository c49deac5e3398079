// Heap accounting for the benchmarks: this program's operator new and
// delete count the live bytes and their peak.
#pragma once

#include <cstddef>

std::size_t heapLive();
std::size_t heapPeak();
// Makes the current live bytes the peak, to measure from here on.
void resetHeapPeak();
