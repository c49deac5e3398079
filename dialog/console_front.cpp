#include "dialog/console_front.h"

#include "common/command_line.h"
#include "common/message.h"
#include "common/paths.h"
#include "dialog/main_dialog.h"
#include "platform/platform.h"
#include "platform/text.h"
#include "raster/terrain_settings.h"

#include <chrono>
#include <cstdio>
#include <string>

namespace {

constexpr const char* Usage =
    "Aufruf: gen_zumt_ter Anlage.danl\n"
    "Liest [Terrain1] der erweiterten Anlage, speichert die Einstellungen wieder,\n"
    "erzeugt die Kacheln als Modelle und die Anlage Anlage.anl.\n"
    "  -q  ohne Felder und Fortschritt    -h, --help  diese Hilfe    --version\n";

void printText(std::FILE* to, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), to);
}

// The console has no controls: the dialog's texts are all there is, and
// nothing is enabled, chosen or waited for.
class ConsoleWindow : public DialogWindow {
  public:
    bool ended = false;
    // Progress is for a terminal: a log gets no carriage-return lines.
    bool progress = false;

    void readTexts(DialogTexts&) override {}
    void writeTexts(const DialogTexts&) override {}
    void enableControl(int, bool) override {}
    void prepareFrame() override {}
    std::optional<FileChoice> chooseFile(const FileRequest&) override { return std::nullopt; }
    void beginWaitCursor() override {}
    void endWaitCursor() override {}
    void showProgress(std::int64_t done, std::int64_t total) override {
        // One line, rewritten at most ten times a second and for the last
        // tile, so that a log of the run stays short.
        const auto now = std::chrono::steady_clock::now();
        if (!progress) return;
        if (shown_ && done != total && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        std::printf("\rKachel %lld von %lld", static_cast<long long>(done),
                    static_cast<long long>(total));
        std::fflush(stdout);
        shown_ = true;
    }
    void endProgress() override {
        if (shown_) std::printf("\n");
        std::fflush(stdout);
        shown_ = false;
    }
    void endDialogOk() override { ended = true; }
    // Nobody is asked here: the forecast was printed before the run.
    bool askYesNo(const std::string&) override { return true; }
    void showResult(const std::string& text) override {
        printText(stdout, terminalText(text));
        std::fflush(stdout);
    }

  private:
    bool shown_ = false;
    std::chrono::steady_clock::time_point last_;
};

// "Label:  value", the label as the dialog shows it (Windows-1252 like every
// text of the system), the value as it stands in the file.
void printField(const char* label, const std::string& value) {
    std::string line = label;
    line.resize(14, ' ');
    printText(stdout, cp1252ToUtf8(line) + terminalText(value) + "\n");
}

} // namespace

int genZumtTerConsoleMain(int argc, char** argv) {
    bool quiet = false;
    if (auto code =
            takeStandardOptions(argc, argv, "gen_zumt_ter", cp1252ToUtf8(Usage).c_str(), quiet))
        return *code;
    if (argc < 2) {
        printText(stderr, cp1252ToUtf8(Usage));
        return 1;
    }
    ConsoleWindow window;
    window.progress = !quiet && standardOutputIsTerminal();
    MainDialog dialog(window);
    // There are no fields to fill in here: a ".danl" that is not there is a
    // mistyped name, and storing the settings would create it.
    dialog.settingsPath = argv[1];
    if (extensionOf(dialog.settingsPath) == ".danl" && !fileCanBeOpened(dialog.settingsPath)) {
        report("Can't open %s!\n", dialog.settingsPath.c_str());
        return 1;
    }
    dialog.loadSettings();
    if (dialog.settingsPath.empty()) return 1;
    const std::string* named = dialog.settings.find(TerrainSection, HeightKey);
    if (named && !named->empty() && dialog.heightPath.empty()) return 1;

    if (!quiet) {
        printField("Erw. Anlage:", dialog.settingsPath);
        printField("Terrain:", dialog.heightPath);
        printField("Farbbitmap:", dialog.colourPath);
        printField("Name:", dialog.nameText);
        printField("Pixelgröße:", dialog.pixelSizeText);
        printField("Min:", dialog.minText);
        printField("Max:", dialog.maxText);
        printField("Faktor:", dialog.faktorText);
        printField("Verschiebung:", dialog.shiftText);
        // What the run will make, before it starts: a large job can be
        // stopped with Ctrl-C while the first tiles are written.
        if (const std::optional<JobForecast> forecast = dialog.jobForecast())
            printField("Vorhersage:", forecastText(*forecast));
    }
    std::fflush(stdout);

    dialog.OnOK();
    // Exit 0 says that every file was written: a model or the layout that
    // could not be has shown its message, and the run counts as failed.
    return window.ended && dialog.lastOutcome.complete() ? 0 : 1;
}
