#include "dialog/main_dialog.h"

#include "common/message.h"
#include "generator/generate_tiles.h"
#include "generator/host_folder.h"
#include "platform/platform.h"

#include <cmath>

namespace {

constexpr const char* Section = "Terrain1";
constexpr const char* OldSection = "Terrain";

constexpr const char* WrongExtension = "Falsche Endung: %s\n";

constexpr const char* SettingsFilter = "erw. Anlagen|*.danl|*.*|";
constexpr const char* HeightFilter = "Terragen Datei|*.ter|Höhenbitmap|*.bmp|*.*|";
constexpr const char* ColourFilter = "Farbbitmap|*.bmp|*.*|";

// A factor below this is no factor: Min and Max are computed with 1.0, and
// Min and Max that give one (Max not above Min) are put back.
constexpr double SmallestFactor = 0.001;
// Terrain heights (cm) closer than this make a flat terrain.
constexpr double FlatRange = 0.001;
// The default shift lays the lowest point this high above the base plate (m).
constexpr double LiftAboveBase = 0.02;

// The text from the last "." to the end; empty when there is no ".".
std::string extensionOf(const std::string& path) {
    std::size_t dot = path.rfind('.');
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

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
    std::string path = settingsPath;
    std::size_t dot = path.rfind('.');
    if (dot != std::string::npos && dot > 0) path.resize(dot);
    return path + ".anl";
}

std::optional<std::string> settingsFolder(const std::string& path) {
    std::size_t cut = std::string::npos;
    for (std::size_t i = path.size(); i-- > 0;) {
        if (isFolderSeparator(path[i])) {
            cut = i;
            break;
        }
    }
    if (cut == std::string::npos) return std::nullopt;
    // "\Test.danl": the root itself.
    if (cut == 0) return path.substr(0, 1);
    std::string folder = path.substr(0, cut);
    // "C:" alone would be the drive's current folder, not its root.
    if (folder.size() == 2 && folder[1] == ':') folder += path[cut];
    return folder;
}

std::string anchoredSettingsPath(const std::string& path) {
    if (path.empty() || isFolderSeparator(path[0])) return path;
    if (path.size() >= 2 && path[1] == ':') return path; // a drive
    bool hasFolder = false;
    for (char c : path)
        hasFolder = hasFolder || isFolderSeparator(c);
    if (!hasFolder) return path;
    std::string base = currentFolder();
    if (base.empty()) return path;
    if (!isFolderSeparator(base.back())) base += platformIsWindows() ? '\\' : '/';
    return base + path;
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
    const std::string ext = extensionOf(heightPath);
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
    double factor = textToReal(factorText);
    if (factor < SmallestFactor) factor = 1.0;
    const double shift = shiftText.empty() ? LiftAboveBase - factor * source.minHeight * 0.01
                                           : textToReal(shiftText);
    minText = formatText("%.2lf", shift + factor * source.minHeight * 0.01);
    maxText = formatText("%.2lf", shift + factor * source.maxHeight * 0.01);
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
    const double factor = (high - low) / (source.maxHeight - source.minHeight) * 100.0;
    // Max not above Min: Min and Max go back to what Faktor and
    // Verschiebung give.
    if (!(factor >= SmallestFactor)) {
        deriveRange();
        return;
    }
    factorText = formatText("%.4lf", factor);
    shiftText = formatText("%.2lf", low - factor * source.minHeight * 0.01);
}

int MainDialog::runGenerator() {
    const std::string layoutPath = layoutPathFor(settingsPath);
    // The generator works on the settings in memory; the file just written
    // is not read back.
    const int result = generateTiles(
        settings, layoutPath,
        [this](std::int64_t done, std::int64_t total) { window_.showProgress(done, total); },
        &lastOutcome);
    window_.endProgress();
    // The one thing the user must learn even when all went well.
    if (lastOutcome.backupPath)
        report("Die alte Anlage ist gesichert als %s\n", lastOutcome.backupPath->c_str());
    return result;
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
    if (std::optional<std::string> folder = settingsFolder(settingsPath)) changeFolder(*folder);

    // A ".danl" that does not exist yet is an empty store, without a word.
    settings.clear();
    if (settings.read(settingsPath, false) == SettingsFile::ReadResult::Refused) {
        // Its message is shown; without a name it can never be written over.
        settings.clear();
        settingsPath.clear();
        return;
    }
    if (settings.hasSection(OldSection) && !settings.hasSection(Section))
        settings.renameSection(OldSection, Section);

    auto fill = [this](std::string& text, const char* key, const char* absent) {
        text = absent;
        if (const std::string* value = settings.find(Section, key)) text = *value;
    };
    fill(nameText, "Name", "");
    fill(heightPath, "Hoehe", "");
    fill(colourPath, "Farbe", "");
    fill(pixelSizeText, "Pixelgroesse", "");
    fill(factorText, "Faktor", "1.0");
    fill(shiftText, "Verschiebung", "");

    // Without a height file the previous source and Min and Max stay.
    if (!heightPath.empty()) refreshHeightSource();
}

bool MainDialog::storeSettings() {
    storeKey(settings, Section, "Name", nameText);
    storeKey(settings, Section, "Hoehe", heightPath);
    storeKey(settings, Section, "Farbe", colourPath);
    storeKey(settings, Section, "Pixelgroesse", pixelSizeText);
    storeKey(settings, Section, "Faktor", factorText);
    storeKey(settings, Section, "Verschiebung", shiftText);
    return settings.write(settingsPath);
}
