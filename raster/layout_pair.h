// A layout's files as the programs that fit it to its terrain open them
// (zumt_hoehen, and zumt_vorschau, which shows the fit): the layout
// "<name>.anl", its settings "<name>.danl" beside it, the terrain that their
// [Terrain1] "Hoehe" names and "hoehen.ini" with the extra heights, all taken
// from the layout's folder.
//
// "hoehen.ini" (optional, as is every key in it; heights in metres):
//   [Zumt] "Alles"     not 0 (default 1): every track and every object whose
//                      model path holds no backslash is adjusted; 0: only
//                      what section [DZ] names
//   [Zumt] "DZ"        default extra height of the [DZ] keys (0.0)
//   [DZ]   "Gleise"    extra height of the tracks; selects them when
//                      "Alles" is 0
//   [DZ]   "Kameras"   extra height of the five cameras; only this key
//                      selects them
//   [DZ]   model path  extra height of the objects with exactly this path;
//                      selects them when "Alles" is 0
// A key whose text is no number is present and gives an extra height of 0.
#pragma once

#include "raster/height_source.h"
#include "raster/terrain_settings.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// True when path names either file of a pair: its extension is ".anl" or
// ".danl", as written.
bool namesLayoutPair(std::string_view path);

// An opened pair.
struct LayoutPair {
    std::string layoutName;                // the ".anl", relative to the current folder
    TerrainValues terrain;                 // [Terrain1] of the ".danl", read once
    std::unique_ptr<HeightSource> heights; // "Hoehe": never null; empty (gridWidth 0)
                                           // when its reader refused the file
};

// Opens the pair that argument names, in this order:
//   - the name: anything but namesLayoutPair (a ".ter" dropped on a program
//     by mistake) is refused with "Falscher Dateityp: %s!\n";
//   - the ".danl": a missing one is reported and read as empty, so that the
//     run stops at the missing "Hoehe"; one the settings store refuses stops
//     here with the store's message;
//   - the layout's folder becomes the current folder, and [Terrain1] names
//     the height file relative to it (openHeightSource, with its messages).
// None after the message.
std::optional<LayoutPair> openLayoutPair(std::string_view argument);

// The file name of the extra heights and the [DZ] keys that are no model
// paths.
inline constexpr const char* HeightExtrasName = "hoehen.ini";
inline constexpr const char* TracksKey = "Gleise";
inline constexpr const char* CamerasKey = "Kameras";

// "hoehen.ini", read once.
class HeightExtras {
  public:
    // Reads HeightExtrasName from the current folder. A missing file is an
    // empty one, without a word; false after the settings store's message
    // for a file it refuses.
    [[nodiscard]] bool read();

    // [Zumt] "Alles" is not 0.
    bool all() const { return all_; }
    // [DZ] holds the key.
    bool names(std::string_view key) const;
    // The extra height in metres of [DZ] key, else [Zumt] "DZ" (taken in
    // single precision), else 0.
    double extraOf(std::string_view key) const;
    // extraOf(TracksKey) in cm, truncated toward zero (-2147483648 beyond 32
    // bits, as truncToInt32).
    std::int32_t trackExtraCm() const;

  private:
    SettingsFile file_;
    bool all_ = true;
    float defaultExtra_ = 0.0f; // metres
};
