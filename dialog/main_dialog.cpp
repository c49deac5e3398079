#include "dialog/main_dialog.h"

#include "common/message.h"
#include "common/numeric.h"
#include "common/paths.h"
#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "platform/platform.h"
#include "raster/terrain_settings.h"
#include "raster/terrain_tiling.h"

#include <cmath>

namespace {

constexpr const char* OldSection = "Terrain";

constexpr const char* WrongExtension = "Falsche Endung: %s\n";

constexpr const char* SettingsFilter = "erw. Anlagen|*.danl|*.*|";
constexpr const char* HeightFilter = "Terragen Datei|*.ter|Höhenbitmap|*.bmp|*.*|";
constexpr const char* ColourFilter = "Farbbitmap|*.bmp|*.*|";

// A Faktor below this is none: Min and Max are computed with 1.0, and
// Min and Max that give one (Max not above Min) are put back.
constexpr double SmallestFaktor = 0.001;
// Terrain heights (cm) closer than this make a flat terrain.
constexpr double FlatRange = 0.001;

bool hasUsableSource(const std::unique_ptr<HeightSource>& source) {
    return source && source->gridWidth != 0;
}

bool isFlat(const HeightSource& source) {
    return std::fabs(source.maxHeight - source.minHeight) < FlatRange;
}

} // namespace

void storeKey(SettingsFile& settings, const char* section, const char* key,
              const std::string& text) {
    if (text.empty())
        settings.remove(section, key);
    else
        settings.set(section, key, text);
}

std::string layoutPathFor(const std::string& settingsPath) {
    // A name that is nothing but an extension (".danl") is kept whole.
    if (settingsPath.rfind('.') == 0) return settingsPath + ".anl";
    return withExtension(settingsPath, ".anl");
}

std::string anchoredSettingsPath(const std::string& path) {
    // A bare name lies in the current folder before the change and after it.
    if (nameOffset(path) == 0) return path;
    return anchoredPath(path);
}

bool MainDialog::OnInitDialog(const std::optional<std::string>& argument) {
    // The framework's start shows the empty texts.
    window_.writeTexts(*this);
    window_.prepareFrame();
    if (argument) {
        settingsPath = *argument;
        loadSettings();
        window_.writeTexts(*this);
    }
    return true;
}

void MainDialog::store(bool endWhenGenerated) {
    window_.readTexts(*this);
    // A job the host will be slow to load is confirmed before anything is
    // stored; the forecast is exact, so a smaller one never asks.
    if (const std::optional<JobForecast> forecast = jobForecast();
        forecast && isLargeJob(*forecast) &&
        !window_.askYesNo(formatText(LargeJobQuestion, forecastText(*forecast).c_str())))
        return;
    window_.beginWaitCursor();
    // Settings that could not be stored (an empty "Erw. Anlage" too) have
    // shown why; a run would write a layout that nothing names.
    const int generated = storeSettings() ? runGenerator() : 0;
    if (endWhenGenerated && generated) {
        // The framework's end with "OK" reads the texts once more.
        window_.readTexts(*this);
        window_.endDialogOk();
    }
    window_.endWaitCursor();
}

void MainDialog::OnOK() {
    store(true);
}

void MainDialog::onApply() {
    store(false);
}

void MainDialog::onMappingEdited() {
    window_.readTexts(*this);
    deriveRange();
    window_.writeTexts(*this);
}

void MainDialog::onRangeEdited() {
    window_.readTexts(*this);
    deriveMapping();
    window_.writeTexts(*this);
}

void MainDialog::chooseSettingsFile() {
    window_.readTexts(*this);
    FileRequest request;
    if (settingsPath.empty()) {
        std::optional<std::string> host = hostFolder();
        request.initialName = formatText("%sAnlagen\\*.danl", host ? host->c_str() : "");
    } else {
        request.initialName = settingsPath;
    }
    request.filter = SettingsFilter;
    std::optional<FileChoice> choice = window_.chooseFile(request);
    if (!choice) return;
    if (!choice->pathName.empty()) settingsPath = choice->pathName;
    loadSettings();
    window_.writeTexts(*this);
}

void MainDialog::chooseHeightFile() {
    // The texts are not read first: what was typed into "Name" or
    // "Pixelgröße" since the last read is replaced by the stored text.
    std::optional<FileChoice> choice = window_.chooseFile(FileRequest{"", HeightFilter});
    if (!choice) return;
    if (!choice->fileName.empty()) heightPath = choice->fileName;
    refreshHeightSource();
    window_.writeTexts(*this);
}

void MainDialog::chooseColourFile() {
    std::optional<FileChoice> choice = window_.chooseFile(FileRequest{"", ColourFilter});
    if (!choice) return;
    // The generator opens and checks the colour file.
    if (!choice->fileName.empty()) colourPath = choice->fileName;
    window_.writeTexts(*this);
}

void MainDialog::refreshHeightSource() {
    window_.enableControl(IDC_PIXEL_SIZE, false);
    const std::optional<std::string> ext = extensionOf(heightPath);
    if (ext == ".ter") {
        heightSource.reset();
        heightSource = std::make_unique<TerragenHeightSource>(heightPath);
        // A Terragen file brings its own pixel size: the edit stays disabled.
        if (heightSource->gridWidth != 0)
            deriveRange();
        else
            heightPath.clear();
        return;
    }
    if (ext == ".bmp") {
        heightSource.reset();
        // Only the grid and the height range are used here, so the pixel
        // size does not matter.
        heightSource = std::make_unique<BitmapHeightSource>(heightPath, 0);
        if (heightSource->gridWidth != 0) {
            window_.enableControl(IDC_PIXEL_SIZE, true);
            deriveRange();
        } else {
            heightPath.clear();
        }
        return;
    }
    report(WrongExtension, heightPath.c_str());
    heightPath.clear();
}

void MainDialog::deriveRange() {
    if (!hasUsableSource(heightSource)) {
        minText.clear();
        maxText.clear();
        return;
    }
    const HeightSource& source = *heightSource;
    double faktor = textToReal(faktorText);
    if (faktor < SmallestFaktor) faktor = 1.0;
    const double shift =
        shiftText.empty() ? defaultVerschiebung(faktor, source.minHeight) : textToReal(shiftText);
    minText = formatText("%.2lf", shift + faktor * source.minHeight * 0.01);
    maxText = formatText("%.2lf", shift + faktor * source.maxHeight * 0.01);
    window_.enableControl(IDC_MIN, true);
    window_.enableControl(IDC_MAX, true);
    // A flat terrain has no range to set.
    if (isFlat(source)) {
        window_.enableControl(IDC_MIN, false);
        window_.enableControl(IDC_MAX, false);
    }
}

void MainDialog::deriveMapping() {
    if (!hasUsableSource(heightSource)) {
        minText.clear();
        maxText.clear();
        return;
    }
    const HeightSource& source = *heightSource;
    if (isFlat(source)) {
        deriveRange();
        return;
    }
    const double low = textToReal(minText);
    const double high = textToReal(maxText);
    const double faktor = (high - low) / (source.maxHeight - source.minHeight) * 100.0;
    // Max not above Min: Min and Max go back to what Faktor and
    // Verschiebung give.
    if (!(faktor >= SmallestFaktor)) {
        deriveRange();
        return;
    }
    faktorText = formatText("%.4lf", faktor);
    shiftText = formatText("%.2lf", low - faktor * source.minHeight * 0.01);
}

int MainDialog::runGenerator() {
    const std::string layoutPath = layoutPathFor(settingsPath);
    // The generator works on the settings in memory, read here once for the
    // whole run; the file just written is not read back.
    const int result = generateTiles(
        readTerrainValues(settings), layoutPath,
        [this](std::int64_t done, std::int64_t total) { window_.showProgress(done, total); },
        &lastOutcome);
    window_.endProgress();
    // The one thing the user must learn even when all went well.
    if (lastOutcome.backupPath)
        report("Die alte Anlage ist gesichert als %s\n", lastOutcome.backupPath->c_str());
    if (result) window_.showResult(generationSummary(lastOutcome, layoutPath));
    return result;
}

std::optional<JobForecast> MainDialog::jobForecast() const {
    if (!hasUsableSource(heightSource)) return std::nullopt;
    SettingsFile texts = settings;
    putTexts(texts);
    const TerrainValues terrain = readTerrainValues(texts);
    // The dialog's source of a bitmap was read without its grid step.
    std::int32_t pixelSize = heightSource->pixelSize;
    if (extensionOf(heightPath) == ".bmp")
        pixelSize = truncToInt32(terrain.pixelSizeMetres * 100.0);
    if (pixelSize <= 0) return std::nullopt;
    const TileLengths lengths = tileLengths(terrain);
    if (lengths.halfTileCm < 0) return std::nullopt;
    const std::optional<Tiling> tiling =
        planTiling(heightSource->gridWidth, heightSource->gridHeight, pixelSize, lengths.halfTileCm,
                   lengths.spacingCm);
    if (!tiling) return std::nullopt;
    return forecastJob(*tiling, pixelSize);
}

void MainDialog::loadSettings() {
    if (extensionOf(settingsPath) != ".danl") {
        report(WrongExtension, settingsPath.c_str());
        settingsPath.clear();
        return;
    }
    // The height and colour files are bare names in the folder of the
    // ".danl": that folder becomes the current folder. A relative path
    // would then name another file, so it is anchored first.
    settingsPath = anchoredSettingsPath(settingsPath);
    if (const PathSplit split = splitPath(settingsPath); !split.folder.empty())
        changeFolder(split.folder);

    // A ".danl" that does not exist yet is an empty store, without a word.
    settings.clear();
    if (settings.read(settingsPath, false) == SettingsFile::ReadResult::Refused) {
        // Its message is shown; without a name it can never be written over.
        settings.clear();
        settingsPath.clear();
        return;
    }
    if (settings.hasSection(OldSection) && !settings.hasSection(TerrainSection))
        settings.renameSection(OldSection, TerrainSection);

    auto fill = [this](std::string& text, const char* key, const char* absent) {
        text = absent;
        if (const std::string* value = settings.find(TerrainSection, key)) text = *value;
    };
    fill(nameText, NameKey, "");
    fill(heightPath, HeightKey, "");
    fill(colourPath, ColourKey, "");
    fill(pixelSizeText, PixelSizeKey, "");
    fill(faktorText, FaktorKey, "1.0");
    fill(shiftText, VerschiebungKey, "");

    // Without a height file the previous source and Min and Max stay.
    if (!heightPath.empty()) refreshHeightSource();
}

void MainDialog::putTexts(SettingsFile& to) const {
    storeKey(to, TerrainSection, NameKey, nameText);
    storeKey(to, TerrainSection, HeightKey, heightPath);
    storeKey(to, TerrainSection, ColourKey, colourPath);
    storeKey(to, TerrainSection, PixelSizeKey, pixelSizeText);
    storeKey(to, TerrainSection, FaktorKey, faktorText);
    storeKey(to, TerrainSection, VerschiebungKey, shiftText);
}

bool MainDialog::storeSettings() {
    putTexts(settings);
    return settings.write(settingsPath);
}
