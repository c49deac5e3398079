// The layout the golden file tests/data/layout/sample.anl was written from:
// every type code, objects with a bridge, a buffer stop on a straight and on a
// curved track and a duplicate, entries with and without tails, default
// cameras and set colours. zumt_write_sample_layout writes it, and the seeds
// of the layout fuzzer are cut from it.
#pragma once

#include "layout/layout.h"

#include <cstdint>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

Layout sampleLayout();
