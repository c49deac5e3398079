#include "raster/terragen_file.h"

#include "common/byte_source.h"
#include "common/bytes.h"
#include "common/file_messages.h"
#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"

#include <algorithm>
#include <bit>
#include <string>

namespace {

constexpr const char* NoTerragen = "Keyword TERRAGEN missing!\n";
constexpr const char* NoTerrain = "Keyword TERRAIN missing!\n";
constexpr const char* FormatError = "Formatfehler in %s!\n";

// The scale a file without "SCAL" has, in metres, for all three axes.
constexpr float DefaultScale = 30.0f;

// The samples are little-endian 16-bit values; they are read straight into
// their array, so a big-endian host turns them round in place.
void samplesToHostOrder(OwnedArray<std::int16_t>& samples) {
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < samples.size(); ++i) {
            auto u = static_cast<std::uint16_t>(samples[i]);
            samples[i] = static_cast<std::int16_t>(static_cast<std::uint16_t>((u >> 8) | (u << 8)));
        }
    }
}

class TerragenReader {
  public:
    TerragenReader(TerragenFile& ter, std::string_view name, const ByteSource& source)
        : ter_(ter), path_(name), source_(source) {}

    int run() {
        std::uint8_t head[16];
        std::size_t got = take(head, sizeof head);
        ByteReader r(head, got);
        if (!sameIgnoringCase(r.view(8), "TERRAGEN")) return report(NoTerragen);
        if (!sameIgnoringCase(r.view(8), "TERRAIN ")) return report(NoTerrain);

        ter_.scaleX = ter_.scaleY = ter_.scaleZ = DefaultScale;
        for (;;) {
            char tag[4];
            // The chunks may simply stop: "EOF " is optional.
            if (take(tag, 4) < 4) return 1;
            std::string_view t(tag, 4);
            if (sameIgnoringCase(t, "EOF ")) return 1;
            int ok;
            if (sameIgnoringCase(t, "XPTS") || sameIgnoringCase(t, "YPTS") ||
                sameIgnoringCase(t, "SIZE"))
                ok = readCount(t);
            else if (sameIgnoringCase(t, "SCAL"))
                ok = readScale();
            else if (sameIgnoringCase(t, "CRAD") || sameIgnoringCase(t, "CRVM"))
                ok = chunk(4) != nullptr;
            else if (sameIgnoringCase(t, "ALTW"))
                ok = readSamples();
            else
                ok = 0;
            if (ok) continue;
            // The format gives no chunk sizes, so nothing after a chunk the
            // reader does not know (or cannot read whole) can be found. Once
            // the samples are complete the terrain is too, and what follows
            // is ignored; before that the file is of no use.
            if (!ter_.samples.empty()) return 1;
            return report(FormatError, path_.c_str());
        }
    }

  private:
    // The next n bytes, or as many as the source still holds; the chunks are
    // walked in order, so the reader keeps its own position.
    std::size_t take(void* out, std::size_t n) {
        const std::size_t got = source_.readSome(at_, n, out);
        at_ += got;
        return got;
    }
    // Bytes the source still holds after what was taken.
    std::uint64_t remaining() const { return at_ < source_.size() ? source_.size() - at_ : 0; }

    // Reads the n data bytes of a chunk; null when the file does not hold
    // them.
    const std::uint8_t* chunk(std::size_t n) { return take(data_, n) == n ? data_ : nullptr; }

    int readCount(std::string_view tag) {
        const std::uint8_t* d = chunk(4);
        if (!d) return 0;
        ByteReader r(d, 4);
        std::uint16_t v = r.u16();
        if (sameIgnoringCase(tag, "SIZE")) {
            ter_.size = v;
        } else if (sameIgnoringCase(tag, "XPTS")) {
            declaredX_ = v;
        } else {
            declaredY_ = v;
        }
        // Samples already read keep their shape: a later count only shapes
        // a later "ALTW", never the grid over the samples held.
        if (ter_.samples.empty()) {
            ter_.xpts = declaredX_;
            ter_.ypts = declaredY_;
        }
        return 1;
    }

    int readScale() {
        const std::uint8_t* d = chunk(12);
        if (!d) return 0;
        ByteReader r(d, 12);
        ter_.scaleX = r.f32();
        ter_.scaleY = r.f32();
        ter_.scaleZ = r.f32();
        return 1;
    }

    int readSamples() {
        // Without "XPTS"/"YPTS" the field is square, "SIZE" + 1 points a
        // side (in 16 bits, as the counts are stored).
        if (declaredX_ == 0) declaredX_ = static_cast<std::uint16_t>(ter_.size + 1);
        if (declaredY_ == 0) declaredY_ = static_cast<std::uint16_t>(ter_.size + 1);
        // A second "ALTW" replaces the first; from here on the record holds
        // the new shape, and no samples until they have all been read.
        ter_.samples.reset();
        ter_.xpts = declaredX_;
        ter_.ypts = declaredY_;

        const std::uint8_t* d = chunk(4);
        if (!d) return 0;
        ByteReader r(d, 4);
        ter_.heightScale = r.i16();
        ter_.baseHeight = r.i16();

        // The samples must be in the file before they get memory: a short
        // file may claim 65535 × 65535 of them.
        std::size_t count = 0, bytes = 0;
        if (!checkedMul(ter_.xpts, ter_.ypts, count) || !checkedMul(count, 2, bytes) ||
            bytes > remaining())
            return 0;
        if (!ter_.samples.allocate(count)) return 0;
        if (take(ter_.samples.data(), bytes) != bytes) {
            ter_.samples.reset();
            return 0;
        }
        samplesToHostOrder(ter_.samples);
        // An odd count is padded to keep the next tag on a 4-byte boundary.
        // A file that ends here (and writers do end files here) is complete.
        if (count % 2 != 0) take(data_, 2);
        return 1;
    }

    TerragenFile& ter_;
    std::string path_;
    const ByteSource& source_;
    std::uint64_t at_ = 0; // bytes taken so far
    std::uint8_t data_[12] = {};
    std::uint16_t declaredX_ = 0; // the latest "XPTS", before the samples
    std::uint16_t declaredY_ = 0;
};

} // namespace

int TerragenFile::read(std::string_view path) {
    release();
    FileSource file;
    const InputProblem problem = file.open(path);
    if (problem != InputProblem::None) return reportInputProblem(problem, path);
    return read(path, file);
}

int TerragenFile::read(std::string_view name, const ByteSource& source) {
    release();
    TerragenReader reader(*this, name, source);
    return reader.run();
}

double TerragenFile::sampleHeight(std::int16_t s) const {
    // s × heightScale is exact in 32 bits and the division by 65536 exact in
    // double; scaleZ keeps the single precision of the file.
    const double units = (s * heightScale) / 65536.0 + baseHeight;
    return static_cast<double>(scaleZ) * units * 100.0;
}

double TerragenFile::heightAt(std::int32_t x, std::int32_t y) const {
    if (xpts == 0 || ypts == 0 || samples.empty()) return 0.0;
    x = std::clamp<std::int32_t>(x, 0, xpts - 1);
    y = std::clamp<std::int32_t>(y, 0, ypts - 1);
    return sampleHeight(samples[static_cast<std::size_t>(y) * xpts + static_cast<std::size_t>(x)]);
}

void TerragenFile::release() {
    samples.reset();
    xpts = ypts = size = 0;
    scaleX = scaleY = scaleZ = 0.0f;
    heightScale = baseHeight = 0;
}
