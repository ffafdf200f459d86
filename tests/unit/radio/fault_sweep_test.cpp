#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "fake_radio_system.h"
#include "radio_constants.h"
#include "radio_exports.h"
#include "radio_lines.h"

namespace radiogate {
namespace {

using namespace testing;  // NOLINT(google-build-using-namespace): the scenario vocabulary

constexpr std::int32_t kUntouched = 0x5A5A5A5A;

// A system on which a full call uses every failable operation: a bus device that is registered
// but not present, another maker's radio before the maker's, and one present bus interface.
void EverythingUsed(FakeRadioSystem& system) {
  system.busDevices = std::vector{Absent()};
  system.radios = std::vector{OtherRadio(), MakerRadio()};
  system.busInterfaces = std::vector{kBusPath};
}

enum class Export { kEnable, kQuery };

struct Outcome {
  std::uint32_t result;
  std::int32_t enabled;
};

Outcome CallExport(Export which, FakeRadioSystem& system) {
  std::int32_t enabled = kUntouched;
  const std::uint32_t result = which == Export::kEnable ? BluetoothEnableRadio(system, 1)
                                                        : IsBluetoothRadioEnabled(system, &enabled);
  return {result, enabled};
}

struct ExportLines {
  std::string entry;
  std::string success;  // the last line of a successful call
};

ExportLines LinesOf(Export which) {
  if (which == Export::kEnable) {
    return {"Enter Function BluetoothEnableRadio(BOOL 1)\r\n",
            "BluetoothEnableUARTRadio() success.\r\n"};
  }
  return {"Enter Function IsBluetoothRadioEnabled()\r\n", "return ERROR_SUCCESS.\r\n"};
}

// What one failing run must show whatever failed: one of the two results, its entry line first,
// a last line that matches the result, the wait and the answer only on success, nothing open.
void ExpectWellEnded(Export which, const FakeRadioSystem& system, const Outcome& run,
                     const std::string& label) {
  SCOPED_TRACE(label);
  const ExportLines lines = LinesOf(which);
  const std::vector<std::string> messages = system.DebugMessages();
  ASSERT_TRUE(run.result == kErrorSuccess || run.result == kErrorAccessDenied) << run.result;
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), lines.entry);
  EXPECT_EQ(messages.back() == lines.success, run.result == kErrorSuccess) << messages.back();
  if (which == Export::kEnable) {
    EXPECT_EQ(system.waits, run.result == kErrorSuccess ? std::vector<std::uint32_t>{1000}
                                                        : std::vector<std::uint32_t>{});
  } else {
    EXPECT_EQ(run.enabled, run.result == kErrorSuccess ? 1 : kUntouched);
    EXPECT_TRUE(system.waits.empty());
  }
  EXPECT_TRUE(system.NothingOpen()) << "a device set, handle or buffer was left open";
  EXPECT_EQ(system.misuse, std::vector<std::string>{});
}

// The last line when every call of an operation fails, by export: the documented outcome of each
// failure in the full scenario.
const std::map<std::string, std::pair<std::string, std::string>> kLastLineWhenFailing = {
    {"GetClassDevices", {"The BT device doesn't exist.\r\n", "The BT device doesn't exist.\r\n"}},
    {"EnumDeviceInfo",
     {"The BT device status is BT_DEVICE_NULL.\r\n",
      "The BT device status is BT_DEVICE_NULL.\r\n"}},
    {"GetDevNodeStatus",
     {"The BT device status is BT_DEVICE_NULL.\r\n",
      "The BT device status is BT_DEVICE_NULL.\r\n"}},
    {"GetDeviceProperty",
     {"The BT device doesn't belong to Vantrel Co.\r\n",
      "The BT device doesn't belong to Vantrel Co.\r\n"}},
    {"AllocatePages",
     {"The BT device doesn't belong to Vantrel Co.\r\n",
      "The BT device doesn't belong to Vantrel Co.\r\n"}},
    {"CompareTexts",
     {"The BT device doesn't belong to Vantrel Co.\r\n",
      "The BT device doesn't belong to Vantrel Co.\r\n"}},
    {"EnumDeviceInterface",
     {"the end, return ERROR_ACCESS_DENIED\r\n", "return ERROR_ACCESS_DENIED.\r\n"}},
    {"GetInterfaceDetail",
     {"the end, return ERROR_ACCESS_DENIED\r\n", "return ERROR_ACCESS_DENIED.\r\n"}},
    {"CreateDeviceFile",
     {"the end, return ERROR_ACCESS_DENIED\r\n", "return ERROR_ACCESS_DENIED.\r\n"}},
    {"SendControl", {"the end, return ERROR_ACCESS_DENIED\r\n", "return ERROR_ACCESS_DENIED.\r\n"}},
};

class FaultSweep : public ::testing::TestWithParam<Export> {};

// Runs a full call once to list the failable operations it uses, then once per operation with
// every call of it failing, then once per single call with only that call failing.
TEST_P(FaultSweep, EveryFailureEndsWell) {
  const Export which = GetParam();
  FakeRadioSystem clean;
  EverythingUsed(clean);
  const Outcome cleanRun = CallExport(which, clean);
  ExpectWellEnded(which, clean, cleanRun, "no failure");
  ASSERT_EQ(cleanRun.result, kErrorSuccess);

  const std::map<std::string, int> used = clean.FailableCalls();
  std::vector<std::string> usedNames;
  usedNames.reserve(used.size());
  for (const auto& [name, count] : used) usedNames.push_back(name);
  std::vector<std::string> documented;
  documented.reserve(kLastLineWhenFailing.size());
  for (const auto& [name, lines] : kLastLineWhenFailing) documented.push_back(name);
  EXPECT_EQ(usedNames, documented) << "the sweep's table does not match the operations used";

  int runs = 0;
  for (const auto& [name, count] : used) {
    FakeRadioSystem system;
    EverythingUsed(system);
    system.Fail(name);
    const Outcome run = CallExport(which, system);
    ++runs;
    ExpectWellEnded(which, system, run, name + " always failing");
    EXPECT_EQ(run.result, kErrorAccessDenied) << name;
    const auto documentedLines = kLastLineWhenFailing.find(name);
    if (documentedLines != kLastLineWhenFailing.end()) {
      EXPECT_EQ(system.DebugMessages().back(), which == Export::kEnable
                                                   ? documentedLines->second.first
                                                   : documentedLines->second.second)
          << name;
    }

    for (int occurrence = 1; occurrence <= count; ++occurrence) {
      FakeRadioSystem single;
      EverythingUsed(single);
      single.Fail(name, occurrence);
      const Outcome singleRun = CallExport(which, single);
      ++runs;
      ExpectWellEnded(which, single, singleRun,
                      name + " failing at call " + std::to_string(occurrence));
    }
  }
  RecordProperty("operations", static_cast<int>(used.size()));
  RecordProperty("runs", runs);
  std::printf("fault sweep: %zu operations, %d failing runs\n", used.size(), runs);
}

INSTANTIATE_TEST_SUITE_P(Exports, FaultSweep, ::testing::Values(Export::kEnable, Export::kQuery),
                         [](const ::testing::TestParamInfo<Export>& row) {
                           return row.param == Export::kEnable ? std::string("Enable")
                                                               : std::string("Query");
                         });

}  // namespace
}  // namespace radiogate
