#include "tests/raster/raster_test_files.h"

#include "raster/bitmap_writer.h"
#include "tests/support/test_support.h"

std::vector<std::uint8_t> makeBitmap(const BitmapPlan& plan) {
    ByteWriter w;
    const std::uint32_t offset = plan.dataOffset ? plan.dataOffset : plan.coreHeader ? 26u : 54u;
    const std::int64_t stride = (3 * std::int64_t{plan.width} + 3) / 4 * 4;
    w.bytes(plan.magic, 2);
    w.u32(0); // fileSize: not trusted, so not filled in
    w.u16(0);
    w.u16(0);
    w.u32(offset);
    if (plan.coreHeader) {
        w.u32(12);
        w.i16(static_cast<std::int16_t>(plan.width));
        w.i16(static_cast<std::int16_t>(plan.height));
        w.u16(plan.planes);
        w.u16(plan.bitCount);
    } else {
        w.u32(40);
        w.i32(plan.width);
        w.i32(plan.height);
        w.u16(plan.planes);
        w.u16(plan.bitCount);
        for (std::uint32_t v : {plan.compression, 0u, 2835u, 2835u, 0u, 0u}) // ppm: 2835
            w.u32(v);
    }
    if (!plan.withRows) return w.buffer();
    for (std::int32_t y = 0; y < plan.height; ++y) {
        for (std::int32_t x = 0; x < plan.width; ++x) {
            const std::int32_t v = plan.pixel ? plan.pixel(x, y) : (x * 7 + y * 1000) & 0xFFFFFF;
            w.u8(static_cast<std::uint8_t>(v >> 16));
            w.u8(static_cast<std::uint8_t>(v >> 8));
            w.u8(static_cast<std::uint8_t>(v));
        }
        for (std::int64_t i = 3 * std::int64_t{plan.width}; i < stride; ++i)
            w.u8(0xEE);
    }
    return w.buffer();
}

void writeTerrainFiles(const TempFolder& folder, std::int32_t width, std::int32_t height,
                       const PixelValue& heightCm, const PixelValue& colour) {
    const auto write = [&](const char* name, const PixelValue& value) {
        writeBytes(folder.file(name),
                   encodeBitmapFile(width, height, [&](std::int32_t y, std::uint8_t* bytes) {
                       for (std::int32_t x = 0; x < width; ++x) {
                           const std::int32_t v = value(x, y);
                           *bytes++ = static_cast<std::uint8_t>(v >> 16);
                           *bytes++ = static_cast<std::uint8_t>(v >> 8);
                           *bytes++ = static_cast<std::uint8_t>(v);
                       }
                   }));
    };
    write("hoehe.bmp", [&](std::int32_t x, std::int32_t y) { return 10000 + heightCm(x, y); });
    write(
        "farbe.bmp", colour ? colour : [](std::int32_t, std::int32_t) { return 0x3C8C46; });
}

TerragenBuilder& TerragenBuilder::scale(float x, float y, float z) {
    w_.bytes("SCAL", 4);
    w_.f32(x);
    w_.f32(y);
    w_.f32(z);
    return *this;
}

TerragenBuilder& TerragenBuilder::heights(std::int16_t heightScale, std::int16_t baseHeight,
                                          const std::vector<std::int16_t>& samples,
                                          const char* tag) {
    w_.bytes(tag, 4);
    w_.i16(heightScale);
    w_.i16(baseHeight);
    for (std::int16_t s : samples)
        w_.i16(s);
    if (samples.size() % 2) w_.u16(0);
    return *this;
}

std::vector<std::uint8_t> terragenGrid(std::int32_t width, std::int32_t height, float step,
                                       const PixelValue& sample) {
    std::vector<std::int16_t> samples;
    for (std::int32_t y = 0; y <= height; ++y)
        for (std::int32_t x = 0; x <= width; ++x)
            samples.push_back(static_cast<std::int16_t>(sample(x, y)));
    return TerragenBuilder()
        .count("XPTS", static_cast<std::uint16_t>(width + 1))
        .count("YPTS", static_cast<std::uint16_t>(height + 1))
        .scale(step, step, 1)
        .heights(16384, 0, samples)
        .bytes();
}
