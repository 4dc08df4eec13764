#include "app/dialog_model.h"

#include <algorithm>
#include <array>

#include "app/printable.h"
#include "app/song_folders.h"
#include "app/workspace.h"
#include "messages/dialog_texts.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

constexpr std::array<ControlTemplate, 15> kConverterControls{{
    {kIdFileList, ControlKind::ListBox, nullptr, {20, 20, 260, 50}, true},
    {kIdConvert, ControlKind::PushButton, &msg::kButtonConvert, {20, 145, 50, 40}, true},
    {kIdExit, ControlKind::PushButton, &msg::kButtonExit, {230, 135, 50, 50}, true},
    {kIdPsgVolume, ControlKind::Edit, nullptr, {130, 125, 40, 20}, true},
    {kIdFmVolume, ControlKind::Edit, nullptr, {130, 165, 40, 20}, true},
    {kNoControlId, ControlKind::Label, &msg::kLabelFileList, {20, 10, 128, 8}, false},
    {kNoControlId, ControlKind::Label, &msg::kLabelPsgVolume, {130, 115, 45, 8}, false},
    {kNoControlId, ControlKind::Label, &msg::kLabelFmVolume, {130, 155, 45, 8}, false},
    {kIdUseSccI, ControlKind::CheckBox, &msg::kBoxUseSccI, {230, 90, 50, 10}, true},
    {kIdStrictMid, ControlKind::CheckBox, &msg::kBoxStrictMid, {20, 80, 99, 10}, true},
    {kIdStrictHigh, ControlKind::CheckBox, &msg::kBoxStrictHigh, {20, 120, 99, 10}, true},
    {kIdStrictMidHigh, ControlKind::CheckBox, &msg::kBoxStrictMidHigh, {20, 100, 106, 10}, true},
    {kIdHighQuality, ControlKind::CheckBox, &msg::kBoxHighQuality, {130, 90, 90, 10}, true},
    {kIdLoopCount, ControlKind::Edit, nullptr, {230, 110, 30, 15}, true},
    {kNoControlId, ControlKind::Label, &msg::kLabelLoopCount, {265, 112, 20, 8}, false},
}};

constexpr DialogTemplate kConverterDialog{
    msg::kAppCaption, 301, 200, "MS UI Gothic", 9, kConverterControls, {20, 188, 260, 8}};

// number * numerator / denominator rounded to the nearest integer, halves
// away from zero, with a 64-bit intermediate (the rounding of MulDiv).
int mulDivRounded(int number, int numerator, int denominator) {
  long long product = static_cast<long long>(number) * numerator;
  bool negative = (product < 0) != (denominator < 0);
  long long magnitude = product < 0 ? -product : product;
  long long divisor = denominator < 0 ? -static_cast<long long>(denominator) : denominator;
  long long quotient = (magnitude + divisor / 2) / divisor;
  return static_cast<int>(negative ? -quotient : quotient);
}

char asciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool displayLess(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto ca = static_cast<unsigned char>(asciiLower(a[i]));
    auto cb = static_cast<unsigned char>(asciiLower(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

const DialogTemplate& converterDialogTemplate() { return kConverterDialog; }

DialogBaseUnits baseUnitsFromFontMetrics(int alphabetAdvance, int fontHeight) {
  // Half-pixel steps of the average over 52 letters, rounded up at the half.
  return {(alphabetAdvance / 26 + 1) / 2, fontHeight};
}

int horizontalDluToPixels(int dlu, const DialogBaseUnits& units) {
  return mulDivRounded(dlu, units.width, 4);
}

int verticalDluToPixels(int dlu, const DialogBaseUnits& units) {
  return mulDivRounded(dlu, units.height, 8);
}

UnitRect dluToPixels(const UnitRect& dlu, const DialogBaseUnits& units) {
  return {horizontalDluToPixels(dlu.x, units), verticalDluToPixels(dlu.y, units),
          horizontalDluToPixels(dlu.width, units), verticalDluToPixels(dlu.height, units)};
}

std::string FileList::replace(std::vector<std::string> paths) {
  if (paths.size() >= kDropFileLimit) {
    paths_.clear();
    return msg::kTooManyFiles;
  }
  paths_ = std::move(paths);
  return {};
}

std::vector<std::string> FileList::displayOrder() const {
  std::vector<std::string> sorted = paths_;
  std::stable_sort(sorted.begin(), sorted.end(), displayLess);
  // A name's control characters are shown escaped, as on the command line.
  for (std::string& path : sorted) path = printable(path);
  return sorted;
}

OptionControls startOptionControls() {
  const ConversionOptions defaults;
  OptionControls controls;
  controls.psgVolumeText = std::to_string(defaults.psgVolumeReduction);
  controls.fmVolumeText = std::to_string(defaults.fmVolumeReduction);
  controls.loopCountText = std::to_string(defaults.loopCount);
  controls.useSccI = defaults.useSccI;
  controls.strictMid = defaults.strictMid;
  controls.strictHigh = defaults.strictHigh;
  controls.strictMidHigh = defaults.strictMidHigh;
  controls.highQuality = defaults.highQuality;
  return controls;
}

ConversionOptions readOptionControls(const OptionControls& controls) {
  ConversionOptions options;
  options.psgVolumeReduction = parseDialogInteger(controls.psgVolumeText);
  options.fmVolumeReduction = parseDialogInteger(controls.fmVolumeText);
  options.loopCount = parseDialogInteger(controls.loopCountText);
  options.useSccI = controls.useSccI;
  options.strictMid = controls.strictMid;
  options.strictHigh = controls.strictHigh;
  options.strictMidHigh = controls.strictMidHigh;
  options.highQuality = controls.highQuality;
  return options;
}

std::string progressText(std::size_t index, std::size_t count, const std::string& path) {
  return msg::converting(index, count, printable(path));
}

std::string messageBoxText(const std::string& text) {
  std::size_t lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\n') continue;
    if (lines == kMessageBoxLines) {
      const auto rest = 1 + static_cast<std::size_t>(std::count(text.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                                                 text.end(), '\n'));
      return text.substr(0, i) + "\n… (+" + std::to_string(rest) + ")";
    }
    ++lines;
  }
  return text;
}

BatchOutcome runConvertJob(Workspace& workspace, const ConvertJob& job, BatchObserver* observer) {
  return runBatch(workspace, job.paths, job.options, observer);
}

// Hands the batch's progress from its thread to the window's.
class DialogModel::ProgressRelay : public BatchObserver {
 public:
  explicit ProgressRelay(DialogModel& model) : model_(model) {}

  void fileStarting(std::size_t index, std::size_t count, const std::string& path) override {
    DialogModel& model = model_;
    model.view_->post([&model, line = progressText(index, count, path)] {
      if (model.converting()) model.view_->showProgress(line);
    });
  }

 private:
  DialogModel& model_;
};

DialogModel::DialogModel(MessageSink& sink, DialogView* view)
    : sink_(sink), view_(view), relay_(std::make_unique<ProgressRelay>(*this)) {}

DialogModel::~DialogModel() { waitForBatch(); }

void DialogModel::waitForBatch() {
  if (worker_.joinable()) worker_.join();
}

void DialogModel::drop(const std::vector<std::string>& paths) {
  if (converting()) return;
  std::string message = files_.replace(expandSongFolders(paths, false).paths);
  if (view_ != nullptr) view_->showFiles(files_.displayOrder());
  if (!message.empty()) sink_.showMessage(message);
}

void DialogModel::pressConvert() {
  if (view_ == nullptr || converting()) return;
  ConvertJob job = startConvert(view_->readControls());
  Workspace& work = workspace();
  view_->saveFocus();
  view_->setControlsEnabled(false);
  view_->showBusy(true);
  worker_ = std::thread([this, job = std::move(job), &work] {
    BatchOutcome outcome = runConvertJob(work, job, relay_.get());
    view_->post([this, outcome = std::move(outcome)] { endBatch(outcome); });
  });
}

void DialogModel::endBatch(const BatchOutcome& outcome) {
  waitForBatch();
  view_->showBusy(false);
  view_->setControlsEnabled(true);
  view_->restoreFocus();
  finishConvert(outcome);
  view_->batchFinished();
}

ConvertJob DialogModel::startConvert(const OptionControls& controls) const {
  return {files_.conversionOrder(), readOptionControls(controls)};
}

Workspace& DialogModel::workspace() {
  if (!workspace_) workspace_ = std::make_unique<Workspace>();
  return *workspace_;
}

void DialogModel::finishConvert(const BatchOutcome& outcome) {
  sink_.showMessage(messageBoxText(outcome.message));
}

BatchOutcome DialogModel::convert(const OptionControls& controls, BatchObserver* observer) {
  ConvertJob job = startConvert(controls);
  BatchOutcome outcome = runConvertJob(workspace(), job, observer);
  finishConvert(outcome);
  return outcome;
}

DialogArguments parseDialogArguments(const std::vector<std::string>& arguments) {
  DialogArguments parsed;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && argument == "--help") {
      return {DialogArguments::Action::Help, {},
              std::string(msg::kDialogUsage) + "\n" + msg::kDialogHelp.c_str()};
    } else if (options && argument == "--version") {
      return {DialogArguments::Action::Version, {}, {}};
    } else if (options && !argument.empty() && argument[0] == '-') {
      return {DialogArguments::Action::Refuse, {},
              msg::failureLine(argument, msg::kNoSuchOption) + "\n" + msg::kDialogUsage.c_str() + "\n" +
                  msg::kDialogMoreHelp.c_str()};
    } else {
      parsed.paths.push_back(argument);
    }
  }
  return parsed;
}

}  // namespace kvtram
