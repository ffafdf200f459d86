// Random command-line tails and process trees: the parameter text stays inside its buffer, is
// terminated, never holds half a tail or half a property, and every snapshot, process and
// library taken is released.
#include <cstdlib>
#include <memory>

#include "fake_boot_system.h"
#include "fuzz_input.h"
#include "setup_parameters.h"

namespace {

void Require(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace stackboot;
  FuzzedDataProvider input(data, size);
  testing::FakeBootSystem system;
  const std::u16string tail = fuzzing::TakeText(input, 1400);
  std::vector<testing::FakeBootSystem::Process> processes;
  const int count = input.ConsumeIntegralInRange(0, 12);
  // Each path the process walk may read gets a stated folder (or none).
  const auto stateFolder = [&](const std::u16string& path) {
    if (input.ConsumeBool()) {
      system.folderOf[path] = fuzzing::TakeText(input, path.size());
    } else {
      system.folderOf[path] = std::nullopt;
    }
  };
  for (int i = 0; i < count; ++i) {
    testing::FakeBootSystem::Process process{
        input.ConsumeIntegralInRange<std::uint32_t>(0, 8),
        input.ConsumeIntegralInRange<std::uint32_t>(0, 8),
        input.ConsumeBool() ? u"cmd.exe" : fuzzing::TakeText(input, 259), std::nullopt};
    if (input.ConsumeBool()) {
      process.imagePath = fuzzing::TakeText(input, 259);
      stateFolder(*process.imagePath);
    }
    if (input.ConsumeBool()) {
      process.imageName = fuzzing::TakeText(input, 259);
      stateFolder(*process.imageName);
    }
    process.created = input.ConsumeIntegralInRange<CreationTime>(0, 4);
    processes.push_back(process);
  }
  system.ownCreated = input.ConsumeIntegralInRange<CreationTime>(0, 4);
  if (input.ConsumeBool())
    system.processes = processes;
  else
    system.processes.reset();
  system.currentProcessId = input.ConsumeIntegralInRange<std::uint32_t>(0, 8);
  if (input.ConsumeBool())
    system.failingFirstProcessCalls.insert(input.ConsumeIntegralInRange(1, 2));
  for (const char* operation :
       {"LoadProcessStatusLibrary", "FindModulePathReader", "ReadProcessImageName",
        "GetOwnCreationTime", "GetOpenedProcessCreationTime", "GetProcessCreationTime"}) {
    if (input.ConsumeIntegralInRange(0, 7) == 0) system.Fail(operation);
  }

  DiagnosticLog log(system);
  RunContext run{system, log};
  const auto buffer = std::make_unique<char16_t[]>(kParameterCapacity);
  BuildParamsFromCommandLine(run, tail.c_str(), buffer.get());

  Require(system.StillOpen().empty());
  const std::u16string_view text(buffer.get());
  Require(text.size() < kParameterCapacity);
  const bool tailFits = tail.size() < kParameterCapacity;
  if (tail.find(u"VTRLAUNCHDIR") != std::u16string::npos) {
    Require(text == (tailFits ? std::u16string_view(tail) : std::u16string_view()));
    return 0;
  }
  // The tail whole (or nothing of it), then at most a blank and one whole property.
  std::u16string_view rest = text;
  if (tailFits) {
    Require(rest.starts_with(tail));
    rest.remove_prefix(tail.size());
  }
  if (rest.empty()) return 0;
  Require(rest.front() == u' ');
  rest.remove_prefix(1);
  if (rest.empty()) return 0;
  constexpr std::u16string_view kOpen = u"/v\"VTRLAUNCHDIR=\\\"";
  constexpr std::u16string_view kClose = u"\\\"\"";
  Require(rest.starts_with(kOpen) && rest.ends_with(kClose));
  // The folder never breaks the quoting.
  const std::u16string_view folder =
      rest.substr(kOpen.size(), rest.size() - kOpen.size() - kClose.size());
  for (char16_t unit : folder) Require(unit != u'"' && unit >= u' ');
  return 0;
}
