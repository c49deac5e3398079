// The main dialog of gen_zumt_ter without any window system: its texts, the
// settings of the ".danl" it works on, the height source of the chosen
// terrain, and the handlers of its buttons and edits. What only a window
// system can do (exchange the texts with the controls, enable a control, the
// file-open dialog, the wait cursor) goes through DialogWindow; messages go
// through ShowMessage like everywhere else.
//
// The dialog's numbers:
//   landscape height (host metres) = V + F x h x 0.01, h = terrain height in cm
//   F = "Faktor" (below 0.001 taken as 1.0), V = "Verschiebung"; an empty
//   Verschiebung means V = 0.02 - F x minHeight x 0.01, which lays the lowest
//   point of the terrain 2 cm above the base plate (as the generator does).
//   "Min" and "Max" show the landscape heights of minHeight and maxHeight.
// Typing Faktor or Verschiebung recomputes Min and Max ("%.2lf"); typing Min
// or Max recomputes Faktor ("%.4lf") and Verschiebung ("%.2lf").
#pragma once

#include "generator/generate_tiles.h"

#include "dialog/resource.h"
#include "raster/height_source.h"
#include "raster/job_forecast.h"
#include "settings/settings_file.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// The texts that the dialog exchanges with its controls. Paths and numbers
// are kept exactly as typed or read: no trimming, no reformatting.
struct DialogTexts {
    std::string colourPath;    // 1004, [Terrain1] "Farbe": a bare file name
    std::string settingsPath;  // 1000, the ".danl" path
    std::string heightPath;    // 1002, [Terrain1] "Hoehe": a bare file name
    std::string pixelSizeText; // 1007, [Terrain1] "Pixelgroesse", metres
    std::string minText;       // 1008, lowest landscape height, host metres
    std::string maxText;       // 1009, highest landscape height, host metres
    std::string faktorText;    // 1010, [Terrain1] "Faktor"
    std::string nameText;      // 1012, [Terrain1] "Name"
    std::string shiftText;     // 1011, [Terrain1] "Verschiebung", host metres
};

// The order in which the texts are exchanged with their controls.
struct TextBinding {
    int controlId;
    std::string DialogTexts::*text;
};
inline constexpr TextBinding TextBindings[] = {
    {IDC_COLOUR_PATH, &DialogTexts::colourPath},
    {IDC_SETTINGS_PATH, &DialogTexts::settingsPath},
    {IDC_HEIGHT_PATH, &DialogTexts::heightPath},
    {IDC_PIXEL_SIZE, &DialogTexts::pixelSizeText},
    {IDC_MIN, &DialogTexts::minText},
    {IDC_MAX, &DialogTexts::maxText},
    {IDC_FAKTOR, &DialogTexts::faktorText},
    {IDC_NAME, &DialogTexts::nameText},
    {IDC_SHIFT, &DialogTexts::shiftText},
};

// A file-open dialog as the dialog asks for it: the initial file name and the
// filter in the "|" form (description and pattern alternating, each followed
// by "|"). It runs in open mode, without default extension and without option
// flags, so a name of a file that does not exist is accepted too.
struct FileRequest {
    std::string initialName;
    std::string filter;
};

// The user's choice: the path with its folder and the file's name alone.
struct FileChoice {
    std::string pathName;
    std::string fileName;
};

// What the window system gives the dialog.
class DialogWindow {
  public:
    virtual ~DialogWindow() = default;

    // The controls' texts into the dialog's texts.
    virtual void readTexts(DialogTexts& texts) = 0;
    // The dialog's texts into the controls. Change notifications that arise
    // meanwhile are not handled.
    virtual void writeTexts(const DialogTexts& texts) = 0;
    virtual void enableControl(int controlId, bool enabled) = 0;
    // The system menu item of the about box and the icon (the window's own
    // part of the dialog's start).
    virtual void prepareFrame() = 0;
    // The file-open dialog, owned by the main dialog. None when cancelled.
    virtual std::optional<FileChoice> chooseFile(const FileRequest& request) = 0;
    // The wait cursor, remembering the cursor it replaces; and putting that
    // one back.
    virtual void beginWaitCursor() = 0;
    virtual void endWaitCursor() = 0;
    // The generator's progress: done of total tiles written; endProgress
    // restores what showProgress changed.
    virtual void showProgress(std::int64_t done, std::int64_t total) = 0;
    virtual void endProgress() = 0;
    // Ends the dialog with "OK".
    virtual void endDialogOk() = 0;
    // A question with "Ja" and "Nein" (Windows: a Yes/No message box owned
    // by the dialog); true for "Ja".
    virtual bool askYesNo(const std::string& text) = 0;
    // What a run made, after it succeeded (Windows: a message box; the
    // console: standard output).
    virtual void showResult(const std::string& text) = 0;
};

class MainDialog : public DialogTexts {
  public:
    explicit MainDialog(DialogWindow& window) : window_(window) {}
    MainDialog(const MainDialog&) = delete;
    MainDialog& operator=(const MainDialog&) = delete;

    SettingsFile settings;                      // the whole ".danl"
    std::unique_ptr<HeightSource> heightSource; // of heightPath; none at start

    // The start: the empty texts into the controls, the frame, and with an
    // argument its ".danl" loaded and shown. Returns true (the framework
    // sets the focus).
    bool OnInitDialog(const std::optional<std::string>& argument);
    // "OK": reads the texts, asks when the job is large (LargeJobQuestion:
    // "Nein" stores and generates nothing), stores the settings, runs the
    // generator and ends the dialog when the generator succeeded; the wait
    // cursor meanwhile.
    void OnOK();
    // "Übernehmen": as "OK", but the dialog stays open.
    void onApply();
    // A change notification of Faktor or Verschiebung: read, deriveRange,
    // write. Of Min or Max: read, deriveMapping, write.
    void onMappingEdited();
    void onRangeEdited();

    // The buttons "Auswählen" beside the three paths.
    void chooseSettingsFile();
    void chooseHeightFile();
    void chooseColourFile();

    // After heightPath changed: a new source for a ".ter" or a ".bmp" (the
    // pixel size edit is enabled for a bitmap only) and Min and Max from it.
    // An unusable file empties heightPath after its reader's message; a
    // wrong extension shows "Falsche Endung: %s\n", empties heightPath and
    // keeps the previous source.
    void refreshHeightSource();
    // Min and Max from Faktor and Verschiebung, and back.
    void deriveRange();
    void deriveMapping();
    // What the generator would make of the texts as they stand (with the
    // tile lengths of the settings): none without a usable height source,
    // a grid step or a tiling. Shows nothing.
    std::optional<JobForecast> jobForecast() const;

    // The generator with settings and the layout beside the ".danl".
    // Returns its result: nonzero on success. What the last run could not
    // write stays in lastOutcome; a backup it made of the user's layout is
    // named in a message after the run, and a run that succeeded shows its
    // generationSummary (showResult).
    int runGenerator();
    GenerationOutcome lastOutcome;

    // Reads the ".danl" of settingsPath (refusing any other extension with
    // "Falsche Endung: %s\n" and an emptied settingsPath), makes its folder
    // the current folder and fills the six texts from [Terrain1]; an older
    // [Terrain] is renamed [Terrain1]. A missing file is an empty store.
    void loadSettings();
    // The six texts into [Terrain1] (an empty text removes its key) and the
    // store into settingsPath. False when the write failed (after its
    // message); "OK" and "Übernehmen" then do not run the generator.
    bool storeSettings();

  private:
    void store(bool endWhenGenerated);
    // The six texts into [Terrain1] of to.
    void putTexts(SettingsFile& to) const;

    DialogWindow& window_;
};

// The question before a job above the limits of isLargeJob: "%s" is its
// forecastText.
inline constexpr const char* LargeJobQuestion =
    "Das ergibt %s.\nMehr als 1000 Kacheln oder 1 GB Modelle laedt der Simulator nur "
    "langsam.\nTrotzdem erzeugen?\n";
static_assert(ManyTiles == 1000 && ManyModelBytes == 1'000'000'000,
              "LargeJobQuestion names the limits of isLargeJob");

// SettingsFile::remove of the key when text is empty, else SettingsFile::set.
void storeKey(SettingsFile& settings, const char* section, const char* key,
              const std::string& text);

// The layout written beside a ".danl": the path up to its last "." (when that
// is not its first character) followed by ".anl".
std::string layoutPathFor(const std::string& settingsPath);

// A relative settings path with a folder in it, taken from the current
// folder, so that it still names the same file after the change of folder.
// Other paths come back unchanged.
std::string anchoredSettingsPath(const std::string& path);
