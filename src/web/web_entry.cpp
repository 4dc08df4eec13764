// The page's converter: the dialog model and the batch, driven from the page's
// worker. The worker puts the dropped files into the module's in-memory file
// system and calls these functions; the model finds each song's sample file
// there by the same lookup as on disk, and writes the images beside the songs,
// where the worker takes them.
#include <emscripten.h>

#include <cstddef>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "app/dialog_model.h"
#include "app/options.h"
#include "app/workspace.h"
#include "cli/commands.h"
#include "messages/messages.h"

namespace kvtram {
namespace {

// The worker's end of each finished song (see worker.js).
EM_JS(void, reportStarting, (int index, int count, const char* path, const char* text), {
  Module["onStarting"](index, count, UTF8ToString(path), UTF8ToString(text));
});
EM_JS(void, reportFinished,
      (int index, const char* path, const char* failure, const char* image, double imageBytes), {
  Module["onFinished"](index, UTF8ToString(path), UTF8ToString(failure), UTF8ToString(image), imageBytes);
});

class MessageRecorder : public MessageSink {
 public:
  void showMessage(const std::string& text) override { message = text; }
  std::string message;
};

class WorkerObserver : public BatchObserver {
 public:
  void fileStarting(std::size_t index, std::size_t count, const std::string& path) override {
    reportStarting(static_cast<int>(index), static_cast<int>(count), path.c_str(),
                   progressText(index, count, path).c_str());
  }
  void imageWritten(std::size_t index, const std::string& image, std::size_t imageBytes) override {
    (void)index;
    image_ = image;
    imageBytes_ = imageBytes;
  }
  void fileFinished(std::size_t index, std::size_t count, const std::string& path,
                    const std::string& failure) override {
    (void)count;
    if (!failure.empty()) image_.clear(), imageBytes_ = 0;
    reportFinished(static_cast<int>(index), path.c_str(), failure.c_str(), image_.c_str(),
                   static_cast<double>(imageBytes_));
    image_.clear();
    imageBytes_ = 0;
  }

 private:
  std::string image_;
  std::size_t imageBytes_ = 0;
};

// The check boxes as bits, in the order of their control ids 1005-1009.
OptionControls controlsFrom(const char* psg, const char* fm, const char* loops, int boxes) {
  OptionControls controls;
  controls.psgVolumeText = psg;
  controls.fmVolumeText = fm;
  controls.loopCountText = loops;
  controls.useSccI = (boxes & 1) != 0;
  controls.strictMid = (boxes & 2) != 0;
  controls.strictHigh = (boxes & 4) != 0;
  controls.strictMidHigh = (boxes & 8) != 0;
  controls.highQuality = (boxes & 16) != 0;
  return controls;
}

std::string jsonString(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      quoted += '\\';
      quoted += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      static constexpr char kHex[] = "0123456789abcdef";
      quoted += "\\u00";
      quoted += kHex[(c >> 4) & 0xF];
      quoted += kHex[c & 0xF];
    } else {
      quoted += c;
    }
  }
  return quoted + "\"";
}

}  // namespace

// One page's converter: its file list, workspace and last texts.
struct WebSession {
  MessageRecorder sink;
  DialogModel model{sink};
  std::vector<std::string> dropped;
  std::string text;  // what the last call returns, kept alive for the page
};

}  // namespace kvtram

using kvtram::WebSession;

extern "C" {

// `japanese`: the language the page chose from the browser's; every text
// the module gives from now on (labels, failures, reports) is in it.
EMSCRIPTEN_KEEPALIVE WebSession* kvtram_web_open(int japanese) {
  kvtram::msg::setLanguage(japanese != 0 ? kvtram::msg::Language::Japanese : kvtram::msg::Language::English);
  return new WebSession;
}

// The catalog's texts that only the page shows (named Web...), and the
// listing line of a written image, as a JSON object by name.
EMSCRIPTEN_KEEPALIVE const char* kvtram_web_texts(WebSession* session) {
  std::string json = "{";
  for (int i = 0; i < kvtram::msg::kTextCount; ++i) {
    const auto id = static_cast<kvtram::msg::Id>(i);
    const std::string_view name = kvtram::msg::textName(id);
    if (!name.starts_with("Web") && id != kvtram::msg::Id::ImageListed) continue;
    if (json.size() > 1) json += ',';
    json += kvtram::jsonString(std::string(name)) + ":" + kvtram::jsonString(kvtram::msg::text(id));
  }
  session->text = json + "}";
  return session->text.c_str();
}

// The dialog's controls in tab order, and their start states, as JSON: the
// page draws its labels and defaults from them.
EMSCRIPTEN_KEEPALIVE const char* kvtram_web_controls(WebSession* session) {
  const kvtram::DialogTemplate& dialog = kvtram::converterDialogTemplate();
  const kvtram::OptionControls start = kvtram::startOptionControls();
  std::string json = "{\"caption\":" + kvtram::jsonString(dialog.caption.c_str()) + ",\"controls\":[";
  bool first = true;
  for (const kvtram::ControlTemplate& control : dialog.controls) {
    if (!first) json += ',';
    first = false;
    json += "{\"id\":" + std::to_string(control.id) + ",\"kind\":" +
            std::to_string(static_cast<int>(control.kind)) + ",\"text\":" + kvtram::jsonString(control.label()) +
            ",\"x\":" + std::to_string(control.rect.x) + ",\"y\":" + std::to_string(control.rect.y) + "}";
  }
  json += "],\"start\":{\"1003\":" + kvtram::jsonString(start.psgVolumeText) +
          ",\"1004\":" + kvtram::jsonString(start.fmVolumeText) +
          ",\"1010\":" + kvtram::jsonString(start.loopCountText) +
          ",\"1005\":" + (start.useSccI ? "true" : "false") + ",\"1006\":" + (start.strictMid ? "true" : "false") +
          ",\"1007\":" + (start.strictHigh ? "true" : "false") +
          ",\"1008\":" + (start.strictMidHigh ? "true" : "false") +
          ",\"1009\":" + (start.highQuality ? "true" : "false") + "}}";
  session->text = json;
  return session->text.c_str();
}

// Whether a path is one the batch converts (a ".kv" of any case).
EMSCRIPTEN_KEEPALIVE int kvtram_web_is_song(const char* path) { return kvtram::hasKvExtension(path) ? 1 : 0; }

// A drop, one path after the other, then the drop itself: the list is
// replaced, and a drop that is too large leaves it empty. Returns the
// message the drop shows ("" for none).
EMSCRIPTEN_KEEPALIVE void kvtram_web_add(WebSession* session, const char* path) {
  session->dropped.emplace_back(path);
}
EMSCRIPTEN_KEEPALIVE const char* kvtram_web_drop(WebSession* session) {
  session->sink.message.clear();
  session->model.drop(session->dropped);
  session->dropped.clear();
  session->text = session->sink.message;
  return session->text.c_str();
}

// Convert: the list's songs one after the other, each told to the page as it
// starts and finishes. Returns the message box's text.
EMSCRIPTEN_KEEPALIVE const char* kvtram_web_convert(WebSession* session, const char* psg, const char* fm,
                                                     const char* loops, int boxes) {
  kvtram::WorkerObserver observer;
  session->sink.message.clear();
  session->model.convert(kvtram::controlsFrom(psg, fm, loops, boxes), &observer);
  session->text = session->sink.message;
  return session->text.c_str();
}

// What `kvtram info` prints for one song with the options of the controls.
EMSCRIPTEN_KEEPALIVE const char* kvtram_web_info(WebSession* session, const char* path, const char* psg,
                                                  const char* fm, const char* loops, int boxes) {
  kvtram::InfoArgs args;
  args.options = kvtram::readOptionControls(kvtram::controlsFrom(psg, fm, loops, boxes));
  args.files = {path};
  if (std::string optionError = kvtram::validateOptions(args.options); !optionError.empty()) {
    session->text = optionError;
    return session->text.c_str();
  }
  std::ostringstream out;
  if (std::string failure = kvtram::describeSong(session->model.workspace(), path, args, out); !failure.empty()) {
    out << kvtram::msg::failureLine(path, failure) << "\n";
  }
  session->text = out.str();
  return session->text.c_str();
}

}  // extern "C"
