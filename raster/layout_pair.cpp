#include "raster/layout_pair.h"

#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "platform/platform.h"
#include "raster/height_file.h"

namespace {

constexpr const char* ExtrasSection = "DZ";
constexpr const char* GeneralSection = "Zumt";

} // namespace

bool namesLayoutPair(std::string_view path) {
    const std::optional<std::string> ext = extensionOf(path);
    return ext == ".anl" || ext == ".danl";
}

std::optional<LayoutPair> openLayoutPair(std::string_view argument) {
    const std::string arg(argument);
    if (!namesLayoutPair(arg)) {
        report("Falscher Dateityp: %s!\n", arg.c_str());
        return std::nullopt;
    }

    // Neither program can say anything without the settings, but a missing
    // file is no reason to stop before the missing "Hoehe" says what is
    // wanted.
    SettingsFile settings;
    if (settings.read(withExtension(arg, ".danl"), true) == SettingsFile::ReadResult::Refused)
        return std::nullopt;

    // The settings name their files relative to the layout's folder, and
    // "hoehen.ini" lies there too.
    const PathSplit split = splitPath(withExtension(arg, ".anl"));
    if (!split.folder.empty()) changeFolder(split.folder);

    LayoutPair pair;
    pair.layoutName = split.name;
    pair.terrain = readTerrainValues(settings);
    pair.heights = openHeightSource(pair.terrain);
    if (!pair.heights) return std::nullopt;
    return pair;
}

bool HeightExtras::read() {
    file_.clear();
    const bool read = file_.read(HeightExtrasName, false) != SettingsFile::ReadResult::Refused;
    all_ = file_.getInt(GeneralSection, "Alles", 1) != 0;
    defaultExtra_ = toSingle(file_.getReal(GeneralSection, "DZ", 0.0f));
    return read;
}

bool HeightExtras::names(std::string_view key) const {
    return file_.find(ExtrasSection, key) != nullptr;
}

double HeightExtras::extraOf(std::string_view key) const {
    return file_.getReal(ExtrasSection, key, defaultExtra_);
}

std::int32_t HeightExtras::trackExtraCm() const {
    return truncToInt32(extraOf(TracksKey) * 100.0);
}
