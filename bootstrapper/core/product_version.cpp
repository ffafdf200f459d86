#include "product_version.h"

#include <cstdint>

#include "held_resource.h"

namespace stackboot {
namespace {

constexpr int kPartCount = 4;
using VersionPart = BoundedText<kVersionCapacity>;

// Splits at full stops into four slots; the rest of the text after the fourth full stop is not
// looked at.
void SplitVersion(std::u16string_view text, VersionPart (&parts)[kPartCount]) {
  int slot = 0;
  for (char16_t unit : text) {
    if (unit == u'.') {
      if (++slot == kPartCount) return;
      continue;
    }
    parts[slot].Append(unit);
  }
}

bool IsWhiteSpace(char16_t unit) { return unit == u' ' || (unit >= u'\t' && unit <= u'\r'); }

// Decimal conversion as the C library does it: leading white space, an optional sign, the digits
// up to the first other character; clamped to the 32-bit range, 0 without digits.
std::int32_t ToInteger(std::u16string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsWhiteSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  constexpr std::int64_t kLimit = std::int64_t{INT32_MAX} + 1;
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - u'0');
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<std::int32_t>(-magnitude);
  return static_cast<std::int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}

std::u16string_view TrimBlanks(std::u16string_view text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  return text;
}

}  // namespace

int CompareProductVersion(const char16_t* installed, const char16_t* candidate) {
  VersionPart installedParts[kPartCount];
  VersionPart candidateParts[kPartCount];
  SplitVersion(ViewOf(installed), installedParts);
  SplitVersion(ViewOf(candidate), candidateParts);
  for (int i = 0; i < kPartCount; ++i) {
    // Compared as unsigned: a negative part counts above every non-negative one.
    const auto mine = static_cast<std::uint32_t>(ToInteger(installedParts[i].View()));
    const auto theirs = static_cast<std::uint32_t>(ToInteger(candidateParts[i].View()));
    if (mine > theirs) return 0;
    if (mine < theirs) return 1;
  }
  return 1;
}

int GetFileProductVersion(BootSystem& system, const char16_t* path, VersionText& version) {
  const Held<&BootSystem::FreeVersionLibrary> library(system, system.LoadVersionLibrary());
  if (!library) return 1;
  const std::uint32_t size = system.GetFileVersionInfoSize(path);
  if (size == 0 || size > kVersionBlockSize) return 1;
  // Aligned for the resource's 16-bit texts and 32-bit lengths.
  alignas(4) std::uint8_t block[kVersionBlockSize] = {};
  if (!system.GetFileVersionInfo(path, size, block)) return 1;

  const void* table = nullptr;
  std::uint32_t tableLength = 0;
  if (!system.QueryVersionValue(block, u"\\VarFileInfo\\Translation", table, tableLength) ||
      table == nullptr) {
    return 1;
  }
  const auto* translations = static_cast<const std::uint16_t*>(table);
  std::u16string_view found;
  const std::size_t entries = tableLength / 4;
  for (std::size_t entry = 0; entry < entries; ++entry) {
    const std::uint16_t language = translations[2 * entry];
    const std::uint16_t codePage = translations[2 * entry + 1];
    BoundedText<64> queryPath;
    queryPath.Append(u"\\StringFileInfo\\");
    for (const std::uint16_t number : {language, codePage}) {
      for (int shift = 12; shift >= 0; shift -= 4) {
        queryPath.Append(u"0123456789abcdef"[(number >> shift) & 0xF]);
      }
    }
    queryPath.Append(u"\\ProductVersion");
    const void* value = nullptr;
    std::uint32_t valueLength = 0;
    if (system.QueryVersionValue(block, queryPath.CStr(), value, valueLength) && value != nullptr) {
      const auto* text = static_cast<const char16_t*>(value);
      found = {text, TextLengthWithin(text, valueLength)};
    }
  }
  // A text that does not fit is no version of ours; cutting it would make up another one.
  version.Clear();
  if (found.size() <= VersionText::kMaxLength) version.Assign(TrimBlanks(found));
  return 1;
}

}  // namespace stackboot
