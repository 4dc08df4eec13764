#include "app/size_report.h"

#include <optional>

#include "image/output_image.h"

namespace kvtram {

namespace {

constexpr long kAddressLimit = static_cast<long>(kMaxBanks) * kBankBytes;

std::string partName(const ImagePart& part) {
  switch (part.kind) {
    case ImagePart::Kind::Samples: return "samples";
    case ImagePart::Kind::PsgStream: return "PSG stream";
    case ImagePart::Kind::FmStream: return "FM stream";
    case ImagePart::Kind::PcmChannel: return pcmChannelName(part.channel) + " stream";
  }
  return {};
}

std::string plural(long n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string pcmChannelName(int channel) { return "PCM channel " + std::to_string(channel + 1); }

long SizeReport::imageBytes() const { return kHeaderBytes + static_cast<long>(end); }

int SizeReport::banks() const { return (end + kBankBytes - 1) / kBankBytes; }

long SizeReport::freeBytes() const { return kAddressLimit - end; }

namespace {

// The first part that reaches past the last bank: where the image stops fitting.
std::optional<std::string> partBeyondBanks(const SizeReport& report) {
  for (const PlacedVariant& v : report.variants) {
    if (v.end > kAddressLimit) return "sample " + std::to_string(v.sample) + " variant " + std::to_string(v.variant);
  }
  for (const ImagePart& part : report.parts) {
    if (part.end > kAddressLimit) return partName(part);
  }
  return std::nullopt;
}

}  // namespace

std::string describeSize(const SizeReport& report, const std::string& indent) {
  std::string text = indent + "image           " + plural(report.imageBytes(), "byte", "bytes") + " in " +
                     plural(report.banks(), "bank", "banks") + " (header and bank 0 included)\n";
  for (const ImagePart& part : report.parts) {
    text += indent + "  " + padded(partName(part), 24) + plural(part.end - part.start, "byte", "bytes") + "\n";
    if (part.kind != ImagePart::Kind::Samples) continue;
    for (const PlacedVariant& v : report.variants) {
      text += indent + "    " + padded("sample " + std::to_string(v.sample) + " variant " + std::to_string(v.variant), 22) +
              plural(v.end - v.start, "byte", "bytes") + " (" +
              plural(static_cast<long>(v.length), "sample", "samples") + ", " +
              (v.spectral ? "spectral" : "linear") + " resampler)\n";
    }
  }
  const long free = report.freeBytes();
  if (free >= 0) {
    text += indent + "  " + padded("free", 24) + plural(free, "byte", "bytes") + " of " +
            std::to_string(kMaxBanks) + " banks\n";
    return text;
  }
  const std::string where = partBeyondBanks(report).value_or("the image");
  text += indent + "  does not fit: " + plural(-free, "byte", "bytes") + " beyond the " +
          std::to_string(kMaxBanks) + " banks, from " + where + " on\n";
  return text;
}

}  // namespace kvtram
