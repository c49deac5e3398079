#include "raster/job_forecast.h"

#include "common/message.h"

namespace {

// The model's sections with one part (generator/mesh_model.h): the header
// with the point section's count, the "CObArray" class and the index and
// format sections' counts; the "CObPunkt", "CObIndex" and "CObFormat"
// classes with their array's count; then the records, a 2-byte class
// reference between two of them.
constexpr std::uint64_t HeaderBytes = 42 + (6 + 8) + 2 + 2;
constexpr std::uint64_t ClassBytes = (2 + 6 + 8) + (4 + 6 + 8) + (4 + 6 + 9);
constexpr std::uint64_t VertexBytes = 48, IndexEntryBytes = 8, FormatBytes = 48;

std::uint64_t recordsBytes(std::uint64_t n, std::uint64_t record) {
    return n == 0 ? 0 : n * (record + 2) - 2;
}

} // namespace

bool isLargeJob(const JobForecast& f) {
    return f.tiles > ManyTiles || f.modelBytes > ManyModelBytes;
}

std::uint64_t tileModelBytes(std::int64_t quadsX, std::int64_t quadsY) {
    const auto w = static_cast<std::uint64_t>(quadsX), h = static_cast<std::uint64_t>(quadsY);
    // Six group markers and four indices a quad; one format block.
    return HeaderBytes + ClassBytes + recordsBytes((w + 1) * (h + 1), VertexBytes) +
           recordsBytes(6 + 4 * w * h, IndexEntryBytes) + recordsBytes(1, FormatBytes);
}

JobForecast forecastJob(const Tiling& t, std::int32_t pixelSizeCm) {
    JobForecast f;
    f.tiles = t.tileCount();
    // The size is bilinear in the quads: with a = w + 1 and b = h + 1 it is
    // k + 50 a b + 40 (a - 1)(b - 1) per tile (50 bytes a vertex, 40 the
    // four index entries of a quad), so sums over columns and rows do.
    const std::uint64_t k = tileModelBytes(0, 0) - 50;
    std::uint64_t sumA = 0, sumW = 0, sumB = 0, sumH = 0;
    for (std::int32_t i = 0; i < t.countX; ++i) {
        const TileRect r = t.tile(i, 0).rect;
        sumA += static_cast<std::uint64_t>(r.maxX - r.minX) + 1;
        sumW += static_cast<std::uint64_t>(r.maxX - r.minX);
    }
    for (std::int32_t j = 0; j < t.countY; ++j) {
        const TileRect r = t.tile(0, j).rect;
        sumB += static_cast<std::uint64_t>(r.maxY - r.minY) + 1;
        sumH += static_cast<std::uint64_t>(r.maxY - r.minY);
    }
    f.modelBytes = static_cast<std::uint64_t>(f.tiles) * k + 50 * sumA * sumB + 40 * sumW * sumH;
    const double metres = pixelSizeCm / 100.0;
    f.areaKm2 = t.gridWidth * metres * (t.gridHeight * metres) / 1e6;
    return f;
}

std::string bytesText(std::uint64_t bytes) {
    const double b = static_cast<double>(bytes);
    if (b < 1e6) return formatText("%.0f KB", b / 1e3);
    if (b < 1e9) return formatText("%.0f MB", b / 1e6);
    return formatText("%.1f GB", b / 1e9);
}

std::string forecastText(const JobForecast& f) {
    return formatText("%lld Kacheln, %s Modelle, %.2f km2", static_cast<long long>(f.tiles),
                      bytesText(f.modelBytes).c_str(), f.areaKm2);
}
