// What the converter dialog does that is not toolkit work: its window
// template, the dropped file list, the start states of the option controls,
// the Convert button's reading of them, the sequence of a batch run off the
// window's thread and the messages it shows. Every front end (the Qt dialog,
// the native Windows one) draws its controls from here, forwards drops and
// button presses to a DialogModel and does what it asks of its DialogView.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "app/batch.h"
#include "app/options.h"
#include "messages/messages.h"

namespace kvtram {

class Workspace;

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
  const msg::Text* text;  // nullptr where the control starts without text
  UnitRect rect;          // dialog units
  bool tabStop;

  // The text in the user's language, "" for none.
  const char* label() const { return text != nullptr ? text->c_str() : ""; }
};

struct DialogTemplate {
  msg::Text caption;
  int width;              // client area, dialog units
  int height;
  const char* fontFace;
  int fontPointSize;
  std::span<const ControlTemplate> controls;  // in tab order
  // The line that tells the progress of a running batch, in the free strip
  // under the buttons; shown only while a batch runs.
  UnitRect progressLine;
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

// Where messages go: a message box with the caption msg::kAppCaption and an
// OK button in a front end, a recorder in tests.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void showMessage(const std::string& text) = 0;
};

// A message box shows at most this many lines of a message.
inline constexpr std::size_t kMessageBoxLines = 20;

// `text` as a message box shows it, so that the box fits a screen: a text of
// more than kMessageBoxLines lines shows its first kMessageBoxLines and then
// a line that tells how many are left out ("… (+N)").
std::string messageBoxText(const std::string& text);

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

// What a front end does for the model with its toolkit. Every call comes on
// the window's thread, except post(), which the batch's thread calls.
class DialogView {
 public:
  virtual ~DialogView() = default;
  // The texts of the edits and the states of the boxes as they are now.
  virtual OptionControls readControls() const = 0;
  // The list box now shows `paths`, top to bottom.
  virtual void showFiles(const std::vector<std::string>& paths) = 0;
  // The controls with ids, and drops onto the window, enabled or not.
  virtual void setControlsEnabled(bool enabled) = 0;
  // The progress line (empty at first) and the busy cursor shown, or hidden.
  virtual void showBusy(bool busy) = 0;
  virtual void showProgress(const std::string& line) = 0;
  // Remembers the control that has the focus, or gives the focus back to it.
  virtual void saveFocus() = 0;
  virtual void restoreFocus() = 0;
  // A batch has ended and its message has been shown.
  virtual void batchFinished() {}
  // Runs `task` on the window's thread once the thread is back in its event
  // loop. Called from the batch's thread.
  virtual void post(std::function<void()> task) = 0;
};

class DialogModel {
 public:
  // `sink` (and `view`) must outlive the model. Without a view the model
  // converts on the calling thread only (convert()).
  explicit DialogModel(MessageSink& sink, DialogView* view = nullptr);
  // Waits for a running batch.
  ~DialogModel();
  DialogModel(const DialogModel&) = delete;
  DialogModel& operator=(const DialogModel&) = delete;

  // A drop of files, in the order the desktop reports them (also the files
  // the program is started with). A folder among them stands for the KV
  // files directly in it, in name order. Replaces the list; a drop that is
  // too large shows msg::kTooManyFiles and empties it. Ignored while a batch
  // runs.
  void drop(const std::vector<std::string>& paths);
  const FileList& files() const { return files_; }

  // Convert pressed in a front end: the job is taken from the view's
  // controls, the focus remembered, the controls disabled and the progress
  // shown, and the batch runs on a thread of its own. When it ends, on the
  // window's thread: the progress hidden, the controls enabled, the focus
  // given back, then the message. Ignored while a batch runs.
  void pressConvert();
  bool converting() const { return worker_.joinable(); }
  // The window may close: not while a batch runs.
  bool mayClose() const { return !converting(); }
  // Blocks until a running batch has ended (for a front end that goes away).
  void waitForBatch();

  // Convert, in three steps for front ends that run the batch on a thread of
  // their own: take the job on the GUI thread, run it anywhere with the
  // workspace, show its outcome on the GUI thread.
  ConvertJob startConvert(const OptionControls& controls) const;
  // The conversion workspace, made on first use and kept for every later
  // Convert. Call it on the GUI thread before handing it to a batch.
  Workspace& workspace();
  // Shows the outcome's message (through messageBoxText): the option error
  // alone when an option was out of range, else the failure lines or
  // "終了しました".
  void finishConvert(const BatchOutcome& outcome);

  // The three steps in one, on the calling thread.
  BatchOutcome convert(const OptionControls& controls, BatchObserver* observer = nullptr);

 private:
  class ProgressRelay;

  void endBatch(const BatchOutcome& outcome);

  MessageSink& sink_;
  DialogView* view_;
  FileList files_;
  std::unique_ptr<Workspace> workspace_;
  std::unique_ptr<ProgressRelay> relay_;
  std::thread worker_;
};

// ---------------------------------------------------------------------------
// The dialog program's command line

struct DialogArguments {
  enum class Action { Open, Help, Version, Refuse };
  Action action = Action::Open;
  std::vector<std::string> paths;  // Open: the files and folders to start with
  std::string text;                // Help and Refuse: what to print
};

// The exit status of a refused command line.
inline constexpr int kDialogArgumentsRefused = 2;

// Reads the arguments after the program's name, in order: "--help" and
// "--version" ask for the help or the version, "--" makes every later
// argument a path, and any other argument beginning with '-' is refused
// (the first of these decides); every other argument is a path.
DialogArguments parseDialogArguments(const std::vector<std::string>& arguments);

}  // namespace kvtram
