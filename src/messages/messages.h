// Every text the converter shows its user, in the user's language: the
// reasons a file is refused or fails, the outcome of a batch and the option
// errors. The wording lives in the catalog (po/ja.po: English and Japanese
// side by side), which the build compiles into msg::text's tables; here are
// the names the code uses for them.
//
// A reason says what was wrong and never names the file: whoever reports a
// failure (the batch, `kvtram info`, `kvtram dump`) puts the path and " : " in
// front of it, once. Texts are UTF-8; the Windows front end converts them for
// display.
//
// This header includes nothing of the project but the catalog's own names,
// so every layer may use it.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <string>
#include <string_view>

#include "messages/catalog_ids.h"

namespace kvtram::msg {

enum class Language : unsigned char { Japanese, English };

// The language every text is shown in. Each front end sets it once at start-up
// from the user's choice, before any thread starts, and it is only read
// afterwards (as a C program's locale is); until then it is Japanese, the
// program's own language.
Language language();
void setLanguage(Language language);

// The language a Unix user asks for: the first of LANGUAGE (its first entry),
// LC_ALL, LC_MESSAGES and LANG that is set and not empty; Japanese when it
// begins with "ja", English otherwise (also for C, POSIX or nothing at all).
// Null stands for an unset variable.
Language languageFromEnvironment(const char* language, const char* lcAll, const char* lcMessages,
                                 const char* lang);

// A catalog text as it stands, its placeholders {1}, {2}, ... unfilled.
const char* text(Id id, Language language);
inline const char* text(Id id) { return text(id, language()); }
// The text's name in the catalog (its msgctxt), for tests and diagnostics.
const char* textName(Id id);

// `pattern` with {1} replaced by the first value, {2} by the second, ...
std::string fill(std::string_view pattern, std::initializer_list<std::string_view> values);
inline std::string fill(Id id, std::initializer_list<std::string_view> values) { return fill(text(id), values); }

// A catalog text without placeholders, read in the current language where it
// is used: it converts to std::string (and to the table's own characters,
// which live as long as the program) and compares with a string.
class Text {
 public:
  constexpr explicit Text(Id id) : id_(id) {}
  Id id() const { return id_; }
  const char* c_str() const { return text(id_); }
  operator std::string() const { return c_str(); }
  operator const char*() const { return c_str(); }
  friend bool operator==(const std::string& a, const Text& b) { return a == b.c_str(); }

 private:
  Id id_;
};

// ---- The batch and the options -------------------------------------------------
inline constexpr Text kBatchDone{Id::BatchDone};
// An option's value outside its range: `id` is the option's range text
// (Id::PsgRange, Id::FmRange, Id::LoopRange, Id::JobsRange, ...).
inline std::string outOfRange(Id id, int low, int high) {
  return fill(id, {std::to_string(low), std::to_string(high)});
}
// The command line's own: each follows the option and its value ("--loops x : ...").
inline constexpr Text kNotAWholeNumber{Id::NotAWholeNumber};
inline constexpr Text kNoSuchOption{Id::NoSuchOption};
inline constexpr Text kNoSuchCommand{Id::NoSuchCommand};
inline constexpr Text kTooManyFiles{Id::TooManyFiles};
inline constexpr Text kNotKvFile{Id::NotKvFile};
inline constexpr Text kNoKvFileInFolder{Id::NoKvFileInFolder};
// A second song whose image path an earlier song of the batch already takes.
inline std::string imageTakenBy(const std::string& image, const std::string& firstSong) {
  return fill(Id::ImageTakenBy, {image, firstSong});
}
// The command line's listing of a written image and its closing line.
inline std::string imageListed(const std::string& image, std::size_t bytes) {
  return fill(Id::ImageListed, {image, std::to_string(bytes)});
}
inline std::string batchSummary(std::size_t converted, std::size_t failed, std::size_t skipped) {
  return fill(Id::BatchSummary, {std::to_string(converted), std::to_string(failed), std::to_string(skipped)});
}
inline std::string converting(std::size_t index, std::size_t count, const std::string& path) {
  return fill(Id::Converting, {std::to_string(index + 1), std::to_string(count), path});
}

// The path of a file in front of what is said about it (a failure's reason);
// the same shape in every language.
inline std::string failureLine(const std::string& path, const std::string& reason) {
  return path + " : " + reason;
}

// ---- Files ---------------------------------------------------------------------------
inline constexpr Text kFileNotFound{Id::FileNotFound};
inline constexpr Text kCannotOpen{Id::CannotOpen};
inline constexpr Text kReadError{Id::ReadError};
inline constexpr Text kCannotCreate{Id::CannotCreate};
inline constexpr Text kCannotReadFolder{Id::CannotReadFolder};
inline constexpr Text kCannotCreateFolder{Id::CannotCreateFolder};
// Something a folder scan met but the system will not look at (a path beyond
// its length limit, a folder without search permission), with the cause.
inline constexpr Text kCannotReach{Id::CannotReach};
// What failed, and why in parentheses: "ファイルを作成できませんでした (読み取り専用のファイルシステムです)".
inline std::string withCause(const std::string& what, const std::string& cause) { return what + " (" + cause + ")"; }
// The causes the operating system gives, in the user's words.
inline constexpr Text kCauseNoWritePermission{Id::CauseNoWritePermission};
inline constexpr Text kCauseNoReadPermission{Id::CauseNoReadPermission};
inline constexpr Text kCauseReadOnly{Id::CauseReadOnly};
inline constexpr Text kCauseDiskFull{Id::CauseDiskFull};
inline constexpr Text kCauseFolderInTheWay{Id::CauseFolderInTheWay};
inline constexpr Text kCauseFileInTheWay{Id::CauseFileInTheWay};
inline constexpr Text kCauseLinkInTheWay{Id::CauseLinkInTheWay};
inline constexpr Text kCauseSpecialFileInTheWay{Id::CauseSpecialFileInTheWay};
inline constexpr Text kCauseNameTooLong{Id::CauseNameTooLong};
inline constexpr Text kCauseNoFolder{Id::CauseNoFolder};
inline constexpr Text kCauseIoError{Id::CauseIoError};
inline std::string causeSystemError(int code) { return fill(Id::CauseSystemError, {std::to_string(code)}); }
inline std::string fileTooLarge(std::size_t limitMiB) { return fill(Id::FileTooLarge, {std::to_string(limitMiB)}); }

// ---- The KV music file and its sample file -----------------------------------------------
// A music file too short for the header, or with an impossible header: the
// detail (one of the reasons below, or onlyBytes) in parentheses.
inline std::string notKvSong(const std::string& detail) { return fill(Id::NotKvSong, {detail}); }
// What `info` says of a file it is given that is no song.
inline constexpr Text kTramImageForDump{Id::TramImageForDump};
inline constexpr Text kNoKvExtension{Id::NoKvExtension};
inline std::string onlyBytes(std::size_t length) {
  if (length <= 1) return text(length == 0 ? Id::EmptyFile : Id::OnlyOneByte);
  return fill(Id::OnlyBytes, {std::to_string(length)});
}
inline std::string macroBytesTooMany(std::size_t capacity, std::size_t count) {
  return fill(Id::MacroBytesTooMany, {std::to_string(capacity), std::to_string(count)});
}
inline std::string macroOutsideArea(int macro) { return fill(Id::MacroOutsideArea, {std::to_string(macro)}); }
inline constexpr Text kHeaderPastEnd{Id::HeaderPastEnd};
inline std::string tooManyPcmChannels(int count) { return fill(Id::TooManyPcmChannels, {std::to_string(count)}); }
inline std::string tooManyWaves(int count) { return fill(Id::TooManyWaves, {std::to_string(count)}); }
inline std::string blockTableTooLarge(std::size_t capacity, std::size_t bytes) {
  return fill(Id::BlockTableTooLarge, {std::to_string(capacity), std::to_string(bytes)});
}
// `address` as 0x and four hexadecimal digits.
inline std::string patchOutOfRange(const std::string& address) { return fill(Id::PatchOutOfRange, {address}); }
// `name` as the file system spells the header's name (fileNameFromShiftJis),
// or the header's bytes where that has no spelling.
inline std::string sampleNameWithFolder(const std::string& name) { return fill(Id::SampleNameWithFolder, {name}); }
// On Windows, whose file names are Unicode, a sample file name that is no
// Shift-JIS text names no file: its bytes in hexadecimal ("61 62 81").
inline std::string sampleNameNotShiftJis(const std::string& bytes) {
  return fill(Id::SampleNameNotShiftJis, {bytes});
}
// A warning, not a failure: the song is converted with the missing bytes
// read as zeros, as the format defines. Follows the sample file's path.
inline std::string sampleFileShort(std::size_t missingBytes) {
  return fill(Id::SampleFileShort, {std::to_string(missingBytes)});
}

// ---- Playing the song ------------------------------------------------------------------------
inline constexpr Text kStreamPastEnd{Id::StreamPastEnd};
inline std::string queueOverflow(int queueBytes) { return fill(Id::QueueOverflow, {std::to_string(queueBytes)}); }
inline constexpr Text kNoSuchMacro{Id::NoSuchMacro};
inline std::string tooManyRowChannels(int rowChannels) {
  return fill(Id::TooManyRowChannels, {std::to_string(rowChannels)});
}
inline constexpr Text kEndlessFrame{Id::EndlessFrame};
inline constexpr Text kEndlessSong{Id::EndlessSong};
inline constexpr Text kFrameTooBig{Id::FrameTooBig};

// ---- Building the image ---------------------------------------------------------------------------
inline constexpr Text kNoEndMarker{Id::NoEndMarker};
inline constexpr Text kPointerTableTooLarge{Id::PointerTableTooLarge};
inline std::string sampleLoopTooLong(int sample) { return fill(Id::SampleLoopTooLong, {std::to_string(sample)}); }
inline std::string sampleTooLong(int sample) { return fill(Id::SampleTooLong, {std::to_string(sample)}); }
inline std::string sampleNotResampled(int sample) { return fill(Id::SampleNotResampled, {std::to_string(sample)}); }
inline constexpr Text kFrameTooLongForBank{Id::FrameTooLongForBank};
inline std::string imageBeyondBanks(int banks) { return fill(Id::ImageBeyondBanks, {std::to_string(banks)}); }
inline constexpr Text kInternalError{Id::InternalError};

// ---- Reading an image back (kvtram dump) -----------------------------------------------------------
// An image that is none, or ends early: `headerBytes`, `offset` and `magic` are the format's.
inline std::string imageShorterThanHeader(int headerBytes, std::size_t length) {
  return fill(Id::ImageShorterThanHeader, {std::to_string(headerBytes), std::to_string(length)});
}
inline std::string imageWithoutMagic(int offset, const std::string& magic) {
  return fill(Id::ImageWithoutMagic, {std::to_string(offset), magic});
}
inline std::string imageEndsInBankZero(std::size_t length) {
  return fill(Id::ImageEndsInBankZero, {std::to_string(length)});
}
inline constexpr Text kNoSamplePointerTable{Id::NoSamplePointerTable};
// The streams, as the faults below name them; `channel` counted from 1, as
// the listing counts them.
inline constexpr Text kPsgStreamName{Id::PsgStreamName};
inline constexpr Text kFmStreamName{Id::FmStreamName};
inline std::string pcmStreamName(int channel, int headerOffset) {
  return fill(Id::PcmStreamName, {std::to_string(channel), std::to_string(headerOffset)});
}
// `pointer` as its three bytes in hexadecimal ("0x01 0x00 0x40").
inline std::string badStartPointer(const std::string& stream, const std::string& pointer) {
  return stream + " : " + fill(Id::BadStartPointer, {pointer});
}
// A fault in a stream: the stream, then `what`, one of the texts below, which
// names the address (0x and six hexadecimal digits) where it was met.
inline std::string streamFault(const std::string& stream, const std::string& what) { return stream + " : " + what; }
inline std::string streamCutOff(const std::string& address) { return fill(Id::StreamCutOff, {address}); }
inline std::string longFormShortWait(const std::string& address, int count) {
  return fill(Id::LongFormShortWait, {address, std::to_string(count)});
}
inline std::string fmInitBlockBroken(const std::string& address) { return fill(Id::FmInitBlockBroken, {address}); }
inline std::string psgRegisterBeyond(const std::string& address, int reg, int last) {
  return fill(Id::PsgRegisterBeyond, {address, std::to_string(reg), std::to_string(last)});
}
// `command` as 0x and two hexadecimal digits, here and below.
inline std::string noFmInitBlock(const std::string& address, const std::string& command) {
  return fill(Id::NoFmInitBlock, {address, command});
}
inline std::string noOpeningWait(const std::string& address, const std::string& command) {
  return fill(Id::NoOpeningWait, {address, command});
}
inline std::string badSampleSelection(const std::string& address, const std::string& command) {
  return fill(Id::BadSampleSelection, {address, command});
}
inline std::string tooManyCommands(const std::string& address) { return fill(Id::TooManyCommands, {address}); }
inline std::string notZeroBehindNextBank(const std::string& address) {
  return fill(Id::NotZeroBehindNextBank, {address});
}
inline std::string unknownCommand(const std::string& address, const std::string& command) {
  return fill(Id::UnknownCommand, {address, command});
}
inline std::string commandAcrossBanks(const std::string& address) { return fill(Id::CommandAcrossBanks, {address}); }

}  // namespace kvtram::msg
