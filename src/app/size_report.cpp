#include "app/size_report.h"

#include <optional>

#include "image/output_image.h"
#include "messages/messages.h"

namespace kvtram {

namespace {

constexpr long kAddressLimit = static_cast<long>(kMaxBanks) * kBankBytes;

std::string partName(const ImagePart& part) {
  switch (part.kind) {
    case ImagePart::Kind::Samples: return msg::text(msg::Id::SizeSamples);
    case ImagePart::Kind::PsgStream: return msg::text(msg::Id::SizePsgStream);
    case ImagePart::Kind::FmStream: return msg::text(msg::Id::SizeFmStream);
    case ImagePart::Kind::PcmChannel: return msg::fill(msg::Id::SizePcmChannel, {pcmChannelName(part.channel)});
  }
  return {};
}

std::string variantName(const PlacedVariant& v) {
  return msg::fill(msg::Id::SizeVariant, {std::to_string(v.sample), std::to_string(v.variant)});
}

// "1 byte", "2 bytes": the catalog has both forms.
std::string counted(long n, msg::Id one, msg::Id many) { return msg::fill(n == 1 ? one : many, {std::to_string(n)}); }
std::string bytes(long n) { return counted(n, msg::Id::SizeOneByte, msg::Id::SizeBytes); }

std::string padded(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

}  // namespace

std::string pcmChannelName(int channel) { return msg::fill(msg::Id::PcmChannelName, {std::to_string(channel + 1)}); }

long SizeReport::imageBytes() const { return kHeaderBytes + static_cast<long>(end); }

int SizeReport::banks() const { return (end + kBankBytes - 1) / kBankBytes; }

long SizeReport::freeBytes() const { return kAddressLimit - end; }

namespace {

// The first part that reaches past the last bank: where the image stops fitting.
std::optional<std::string> partBeyondBanks(const SizeReport& report) {
  for (const PlacedVariant& v : report.variants) {
    if (v.end > kAddressLimit) return variantName(v);
  }
  for (const ImagePart& part : report.parts) {
    if (part.end > kAddressLimit) return partName(part);
  }
  return std::nullopt;
}

}  // namespace

std::string describeSize(const SizeReport& report, const std::string& indent) {
  using msg::Id;
  std::string text = indent + msg::fill(Id::SizeImage, {bytes(report.imageBytes()),
                                                        counted(report.banks(), Id::SizeOneBank, Id::SizeBanks)}) +
                     "\n";
  for (const ImagePart& part : report.parts) {
    text += indent + "  " + padded(partName(part), 24) + bytes(part.end - part.start) + "\n";
    if (part.kind != ImagePart::Kind::Samples) continue;
    for (const PlacedVariant& v : report.variants) {
      text += indent + "    " + padded(variantName(v), 22) +
              msg::fill(Id::SizeVariantLength,
                        {bytes(v.end - v.start), counted(static_cast<long>(v.length), Id::SizeOneSample, Id::SizeSampleCount),
                         msg::text(v.spectral ? Id::SizeSpectral : Id::SizeLinear)}) +
              "\n";
    }
  }
  const long free = report.freeBytes();
  const std::string banks = std::to_string(kMaxBanks);
  if (free >= 0) {
    text += indent + "  " + padded(msg::text(Id::SizeFree), 24) + msg::fill(Id::SizeFreeOf, {bytes(free), banks}) + "\n";
    return text;
  }
  const std::string where = partBeyondBanks(report).value_or(msg::text(Id::SizeImageItself));
  text += indent + "  " + msg::fill(Id::SizeBeyond, {bytes(-free), banks, where}) + "\n";
  return text;
}

}  // namespace kvtram
