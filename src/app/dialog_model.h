// What the converter dialog does that is not toolkit work: its window
// template, the dropped file list, the start states of the option controls,
// the Convert button's reading of them and the messages it shows. Every front
// end (the Qt dialog, a native Windows one) draws its controls from here and
// forwards drops and button presses to a DialogModel.
#pragma once

#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch.h"
#include "app/options.h"

namespace kvtram {

class Workspace;

// The caption of the dialog and of every message box.
inline constexpr const char* kAppCaption = "Kv_TRAM";
// A drop of this many files or more is refused.
inline constexpr std::size_t kDropFileLimit = 10000;

// ---------------------------------------------------------------------------
// Window template

enum class ControlKind { ListBox, PushButton, Edit, Label, CheckBox };

// Control ids. Labels have none.
inline constexpr int kNoControlId = -1;
inline constexpr int kIdFileList = 1000;
inline constexpr int kIdConvert = 1001;
inline constexpr int kIdExit = 1002;
inline constexpr int kIdPsgVolume = 1003;
inline constexpr int kIdFmVolume = 1004;
inline constexpr int kIdUseSccI = 1005;
inline constexpr int kIdStrictMid = 1006;
inline constexpr int kIdStrictHigh = 1007;
inline constexpr int kIdStrictMidHigh = 1008;
inline constexpr int kIdHighQuality = 1009;
inline constexpr int kIdLoopCount = 1010;

// A rectangle in dialog units, or in pixels once mapped.
struct UnitRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const UnitRect&) const = default;
};

struct ControlTemplate {
  int id;                 // kNoControlId for labels
  ControlKind kind;
  const char* text;       // "" where the control starts without text
  UnitRect rect;          // dialog units
  bool tabStop;
};

struct DialogTemplate {
  const char* caption;
  int width;              // client area, dialog units
  int height;
  const char* fontFace;
  int fontPointSize;
  std::span<const ControlTemplate> controls;  // in tab order
};

// The converter's dialog: its size, font and controls in tab order.
const DialogTemplate& converterDialogTemplate();

// ---------------------------------------------------------------------------
// Dialog units

// The dialog font's base units in pixels.
struct DialogBaseUnits {
  int width = 0;
  int height = 0;
};

// Base units from the dialog font's metrics: the width is the average advance
// of "A"-"Z" and "a"-"z", rounded to a whole pixel, computed from the advance
// of those 52 letters in one run; the height is the font's height (ascent +
// descent).
DialogBaseUnits baseUnitsFromFontMetrics(int alphabetAdvance, int fontHeight);

// Dialog units to pixels: x and widths scale by base width / 4, y and heights
// by base height / 8, each value on its own, rounded to the nearest pixel
// (halves away from zero), in integer arithmetic.
int horizontalDluToPixels(int dlu, const DialogBaseUnits& units);
int verticalDluToPixels(int dlu, const DialogBaseUnits& units);
UnitRect dluToPixels(const UnitRect& dlu, const DialogBaseUnits& units);

// ---------------------------------------------------------------------------
// Files and option controls

// Where messages go: a message box with the caption kAppCaption and an OK
// button in a front end, a recorder in tests.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void showMessage(const std::string& text) = 0;
};

// The dropped paths. Conversion follows the order of the drop; the list box
// shows the same paths sorted.
class FileList {
 public:
  // Replaces the list by the paths of one drop, in the order given. A drop of
  // kDropFileLimit paths or more leaves the list empty and returns
  // msg::kTooManyFiles; otherwise returns "".
  std::string replace(std::vector<std::string> paths);

  const std::vector<std::string>& conversionOrder() const { return paths_; }
  // The order of the list box: ASCII letters compared without case, ties
  // broken by byte order.
  std::vector<std::string> displayOrder() const;
  std::size_t size() const { return paths_.size(); }
  bool empty() const { return paths_.empty(); }

 private:
  std::vector<std::string> paths_;
};

// The texts of the three edits and the states of the five check boxes.
struct OptionControls {
  std::string psgVolumeText;    // edit 1003
  std::string fmVolumeText;     // edit 1004
  std::string loopCountText;    // edit 1010
  bool useSccI = false;         // 1005
  bool strictMid = false;       // 1006
  bool strictHigh = false;      // 1007
  bool strictMidHigh = false;   // 1008
  bool highQuality = false;     // 1009
};

// The states every start of the dialog shows: the default option values as
// decimal text ("1", "1", "2"), boxes 1006 and 1008 checked.
OptionControls startOptionControls();

// The options as Convert reads them: each edit through parseDialogInteger,
// the flags from the boxes. Nothing is range-checked here.
ConversionOptions readOptionControls(const OptionControls& controls);

// The progress line shown while a batch runs: file `index` (from 0) of `count`.
std::string progressText(std::size_t index, std::size_t count, const std::string& path);

// ---------------------------------------------------------------------------
// The dialog

// One Convert's work, taken when the button is pressed: the paths in
// conversion order and the options read from the controls. Self-contained, so
// that it can run on another thread while the dialog stays responsive.
struct ConvertJob {
  std::vector<std::string> paths;
  ConversionOptions options;
};

// Runs the batch of a job. Blocks until the batch is done; safe to call off
// the GUI thread as long as nothing else uses `workspace` meanwhile.
BatchOutcome runConvertJob(Workspace& workspace, const ConvertJob& job,
                           BatchObserver* observer = nullptr);

class DialogModel {
 public:
  // `sink` must outlive the model.
  explicit DialogModel(MessageSink& sink);
  ~DialogModel();
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  // A drop of files, in the order the desktop reports them (also the files
  // the program is started with). A folder among them stands for the KV
  // files directly in it, in name order. Replaces the list; a drop that is
  // too large shows msg::kTooManyFiles and empties it.
  void drop(const std::vector<std::string>& paths);
  const FileList& files() const { return files_; }

  // Convert, in three steps for front ends that run the batch on a thread of
  // their own: take the job on the GUI thread, run it anywhere with the
  // workspace, show its outcome on the GUI thread.
  ConvertJob startConvert(const OptionControls& controls) const;
  // The conversion workspace, made on first use and kept for every later
  // Convert. Call it on the GUI thread before handing it to a batch.
  Workspace& workspace();
  // Shows the outcome's message: the option error alone when an option was
  // out of range, else the failure lines or "終了しました".
  void finishConvert(const BatchOutcome& outcome);

  // The three steps in one, on the calling thread.
  BatchOutcome convert(const OptionControls& controls, BatchObserver* observer = nullptr);

 private:
  MessageSink& sink_;
  FileList files_;
  std::unique_ptr<Workspace> workspace_;
};

}  // namespace kvtram
