// Random answer files: whatever the profile reader delivers (values of up to 259 units, key lists
// of up to 1,024), the parameter text stays inside its buffer, is terminated, and ends with the
// closing of the /v part and the language switch.
#include <cstdlib>
#include <memory>

#include "fake_boot_system.h"
#include "fuzz_input.h"
#include "setup_parameters.h"

namespace stackboot {
namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

bool EndsWith(std::u16string_view text, std::u16string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

}  // namespace
}  // namespace stackboot

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace stackboot;
  FuzzedDataProvider input(data, size);
  testing::FakeBootSystem system;
  auto& commonInfo = system.profile[u"CommonInfo"];
  for (const char16_t* key : {u"SilenceInstall", u"LANG", u"LOG"}) {
    if (input.ConsumeBool()) commonInfo.emplace_back(key, fuzzing::TakeText(input, 259));
  }
  auto& msParam = system.profile[u"MSParam"];
  const int keys = input.ConsumeIntegralInRange(0, 80);
  std::u16string keyList;
  for (int i = 0; i < keys; ++i) {
    msParam.emplace_back(fuzzing::TakeText(input, 300), fuzzing::TakeText(input, 259));
    keyList += msParam.back().first + u'\0';
  }
  // A list that fills the reader's buffer arrives cut, with its two closing terminators.
  constexpr std::size_t kKeyListCapacity = 1024;
  if (keyList.size() + 1 > kKeyListCapacity) keyList.resize(kKeyListCapacity - 2);
  if (!keyList.empty()) system.keyLists[u"MSParam"] = keyList + u'\0' + u'\0';

  DiagnosticLog log(system);
  RunContext run{system, log};
  // Exactly the buffer's size on the heap, so AddressSanitizer sees any write past it.
  const auto buffer = std::make_unique<char16_t[]>(kParameterCapacity);
  BuildParamsFromIni(run, u"answers.ini", buffer.get());

  const std::u16string_view text(buffer.get());
  Require(text.size() < kParameterCapacity);
  Require(text.starts_with(u"/v\"") || text.starts_with(u"/s /v\"/qn "));
  std::u16string language = u"1033";
  for (const auto& [key, value] : commonInfo) {
    if (key == u"LANG") language = value.size() <= kMaxLanguageLength ? value : u"1033";
  }
  Require(EndsWith(text, language.empty() ? u"\" " : u"\"  /l" + language));
  return 0;
}
