#include "app/dialog_model.h"

#include <algorithm>
#include <array>

#include "app/song_folders.h"
#include "app/workspace.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

constexpr std::array<ControlTemplate, 15> kConverterControls{{
    {kIdFileList, ControlKind::ListBox, "", {20, 20, 260, 50}, true},
    {kIdConvert, ControlKind::PushButton, "変換", {20, 145, 50, 40}, true},
    {kIdExit, ControlKind::PushButton, "終了", {230, 135, 50, 50}, true},
    {kIdPsgVolume, ControlKind::Edit, "", {130, 125, 40, 20}, true},
    {kIdFmVolume, ControlKind::Edit, "", {130, 165, 40, 20}, true},
    {kNoControlId, ControlKind::Label, "KV ファイル（複数可）", {20, 10, 128, 8}, false},
    {kNoControlId, ControlKind::Label, "PSG 音量減", {130, 115, 45, 8}, false},
    {kNoControlId, ControlKind::Label, "FM 音量減", {130, 155, 45, 8}, false},
    {kIdUseSccI, ControlKind::CheckBox, "SCC-I 使用", {230, 90, 50, 10}, true},
    {kIdStrictMid, ControlKind::CheckBox, "サンプリング計算厳密化(中音)", {20, 80, 99, 10}, true},
    {kIdStrictHigh, ControlKind::CheckBox, "サンプリング計算厳密化(高音)", {20, 120, 99, 10}, true},
    {kIdStrictMidHigh, ControlKind::CheckBox, "サンプリング計算厳密化(中高音)", {20, 100, 106, 10}, true},
    {kIdHighQuality, ControlKind::CheckBox, "高音質化（中高音を有効）", {130, 90, 90, 10}, true},
    {kIdLoopCount, ControlKind::Edit, "", {230, 110, 30, 15}, true},
    {kNoControlId, ControlKind::Label, "ループ", {265, 112, 20, 8}, false},
}};

constexpr DialogTemplate kConverterDialog{kAppCaption, 301, 200, "MS UI Gothic", 9,
                                          kConverterControls};

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
  return msg::converting(index, count, path);
}

BatchOutcome runConvertJob(Workspace& workspace, const ConvertJob& job, BatchObserver* observer) {
  return runBatch(workspace, job.paths, job.options, observer);
}

DialogModel::DialogModel(MessageSink& sink) : sink_(sink) {}

DialogModel::~DialogModel() = default;

void DialogModel::drop(const std::vector<std::string>& paths) {
  std::string message = files_.replace(expandSongFolders(paths, false).paths);
  if (!message.empty()) sink_.showMessage(message);
}

ConvertJob DialogModel::startConvert(const OptionControls& controls) const {
  return {files_.conversionOrder(), readOptionControls(controls)};
}

Workspace& DialogModel::workspace() {
  if (!workspace_) workspace_ = std::make_unique<Workspace>();
  return *workspace_;
}

void DialogModel::finishConvert(const BatchOutcome& outcome) { sink_.showMessage(outcome.message); }

BatchOutcome DialogModel::convert(const OptionControls& controls, BatchObserver* observer) {
  ConvertJob job = startConvert(controls);
  BatchOutcome outcome = runConvertJob(workspace(), job, observer);
  finishConvert(outcome);
  return outcome;
}

}  // namespace kvtram
