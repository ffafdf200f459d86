#include <gtest/gtest.h>

#include <functional>
#include <optional>
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

// A system where everything works: a present bus device with one present interface, and a driver
// that accepts both requests and reports the radio on.
void Working(FakeRadioSystem& system) {
  system.busDevices = std::vector{Present()};
  system.busInterfaces = std::vector{kBusPath};
}

const Lines kCheckPasses = Join({StatusLines(), kDongle});
const Lines kOpened = {"In Function OpenBusInterface() the DevicePaht is: " + kBusPathText + "\n"};
Lines EnumFailed(int error) {
  return {
      "In Function EnumBusDevice() Failed to SetupDiEnumDeviceInterfaces: with Win32 error "
      "code: " +
      std::to_string(error) + "\n"};
}
Lines SetFailed(int error) {
  return {"In Function EnumBusDevice() Failed to SetupDiGetClassDevs: with Win32 error code: " +
          std::to_string(error) + "\n"};
}
Lines CreateFailed(int error) {
  return {"In Function OpenBusInterface() Failed to CreateFile: with Win32 error code: " +
          std::to_string(error) + "\n"};
}
Lines NoHandle(int error) {
  return {
      "In Function OpenBusHandle() Failed to obtain file handle to device: with Win32 error "
      "code: " +
      std::to_string(error) + "\n"};
}
Lines QueryNoChannel(int error) {
  return {"Failed to obtain file handle to device:  with Win32 error code: " +
          std::to_string(error) + "\n"};
}
Lines EnableEntry(int fEnable) {
  return {"Enter Function BluetoothEnableRadio(BOOL " + std::to_string(fEnable) + ")\r\n"};
}
const Lines kQueryEntry = {"Enter Function IsBluetoothRadioEnabled()\r\n"};
const Lines kOtherVendor = {"The BT device doesn't belong to Vantrel Co.\r\n"};
const Lines kNotExist = {"The BT device doesn't exist.\r\n"};
const Lines kDeviceNull = {"The BT device status is BT_DEVICE_NULL.\r\n"};
Lines Sent(int request) {
  return {"Successfully send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC: " +
          std::to_string(request) + "\n"};
}
const Lines kSwitchFailed = {"Failed to send IOCTL_BUSENUM_SET_RADIO_ONOFF_VENDOR_SPECFIC.\n"};
const Lines kSwitched = {"BluetoothEnableUARTRadio() success.\r\n"};
const Lines kEnableDenied = {"the end, return ERROR_ACCESS_DENIED\r\n"};
const Lines kQueried = {"Successfully query the radio status\n",
                        "BluetoothQueryUARTRadioStatus() success.\r\n"};
const Lines kQueryFailed = {"Failed to query the radio status\n"};
const Lines kQueryDenied = {"return ERROR_ACCESS_DENIED.\r\n"};
const Lines kOn = {"*pfEnabled = TRUE.\r\n", "return ERROR_SUCCESS.\r\n"};
const Lines kOff = {"*pfEnabled = FALSE.\r\n", "return ERROR_SUCCESS.\r\n"};

// Radios only: the check passes on the maker's radio, with no bus device registered.
const Lines kCheckPassesOnRadio =
    Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications")});

struct FlowCase {
  const char* name;
  std::function<void(FakeRadioSystem&)> setUp;
  std::optional<std::int32_t> fEnable;  // nullopt: the query
  std::uint32_t expected;
  Lines lines;
  std::vector<std::uint8_t> sent = {};  // the switch byte sent, if any
  std::int32_t enabled = kUntouched;    // the BOOL afterwards
};

class ExportFlow : public ::testing::TestWithParam<FlowCase> {};

TEST_P(ExportFlow, ReturnsWritesAndReleases) {
  const FlowCase& c = GetParam();
  FakeRadioSystem system;
  c.setUp(system);
  std::int32_t enabled = kUntouched;

  const std::uint32_t result = c.fEnable ? BluetoothEnableRadio(system, *c.fEnable)
                                         : IsBluetoothRadioEnabled(system, &enabled);

  EXPECT_EQ(result, c.expected);
  EXPECT_EQ(system.DebugMessages(), c.lines);
  EXPECT_EQ(enabled, c.enabled);
  // The settling wait follows a successful switch and nothing else.
  const bool switched = c.fEnable && c.expected == kErrorSuccess;
  EXPECT_EQ(system.waits,
            switched ? std::vector<std::uint32_t>{1000} : std::vector<std::uint32_t>{});
  std::vector<std::uint8_t> sent;
  for (const auto& request : system.requests) {
    if (request.code == kIoctlSetRadioOnOff) sent = request.input;
  }
  EXPECT_EQ(sent, c.sent);
  EXPECT_TRUE(system.NothingOpen()) << "a device set, handle or buffer was left open";
  EXPECT_EQ(system.misuse, std::vector<std::string>{});
}

void OtherVendorOnly(FakeRadioSystem& system) {
  system.radios = std::vector{OtherRadio()};
  system.busInterfaces = std::vector{kBusPath};
}
void RadioSetUnavailable(FakeRadioSystem& system) {
  system.radios = std::nullopt;
  system.busInterfaces = std::vector{kBusPath};
}
void NothingRegistered(FakeRadioSystem& system) { system.busInterfaces = std::vector{kBusPath}; }
void NoBusSet(FakeRadioSystem& system) {
  Working(system);
  system.busInterfaces = std::nullopt;
  system.injectedError = 1460;
}
void MakersRadioWithoutInterface(FakeRadioSystem& system) {
  system.radios = std::vector{MakerRadio()};
}
void OpenRefused(FakeRadioSystem& system) {
  Working(system);
  system.createFileRefused = true;
  system.createFileError = 32;
}
void SwitchRefused(FakeRadioSystem& system) {
  Working(system);
  system.switchAccepted = false;
}
void QueryRefused(FakeRadioSystem& system) {
  Working(system);
  system.queryAccepted = false;
}
// The operation fails on every call, leaving ERROR_GEN_FAILURE (31) as the last error.
std::function<void(FakeRadioSystem&)> WorkingBut(const char* operation) {
  return [operation](FakeRadioSystem& system) {
    Working(system);
    system.Fail(operation);
  };
}
std::function<void(FakeRadioSystem&)> RadioAnswers(std::optional<std::uint8_t> state) {
  return [state](FakeRadioSystem& system) {
    Working(system);
    system.radioState = state;
  };
}

INSTANTIATE_TEST_SUITE_P(
    Switch, ExportFlow,
    ::testing::Values(
        FlowCase{"On",
                 Working,
                 1,
                 kErrorSuccess,
                 Join({EnableEntry(1), kCheckPasses, kOpened, Sent(1), kSwitched}),
                 {1}},
        FlowCase{"Off",
                 Working,
                 0,
                 kErrorSuccess,
                 Join({EnableEntry(0), kCheckPasses, kOpened, Sent(0), kSwitched}),
                 {0}},
        FlowCase{"TwoSendsOne",
                 Working,
                 2,
                 kErrorSuccess,
                 Join({EnableEntry(2), kCheckPasses, kOpened, Sent(1), kSwitched}),
                 {1}},
        FlowCase{"NegativeSendsOne",
                 Working,
                 -1,
                 kErrorSuccess,
                 Join({EnableEntry(-1), kCheckPasses, kOpened, Sent(1), kSwitched}),
                 {1}},
        FlowCase{"OtherVendor",
                 OtherVendorOnly,
                 1,
                 kErrorAccessDenied,
                 Join({EnableEntry(1), kEnterRadios, StatusLines(),
                       Manufacturer("Contoso Radio Works"), MemberIndex(0), kOtherVendor}),
                 {}},
        FlowCase{"NotExist",
                 RadioSetUnavailable,
                 1,
                 kErrorAccessDenied,
                 Join({EnableEntry(1), kNotExist}),
                 {}},
        FlowCase{"DeviceNull",
                 NothingRegistered,
                 1,
                 kErrorAccessDenied,
                 Join({EnableEntry(1), kEnterRadios, kDeviceNull}),
                 {}},
        FlowCase{
            "NoBusSet",
            NoBusSet,
            1,
            kErrorAccessDenied,
            Join({EnableEntry(1), kCheckPasses, SetFailed(1460), NoHandle(1460), kEnableDenied}),
            {}},
        FlowCase{"NoBusInterface",
                 MakersRadioWithoutInterface,
                 1,
                 kErrorAccessDenied,
                 Join({EnableEntry(1), kCheckPassesOnRadio, EnumFailed(259), NoHandle(259),
                       kEnableDenied}),
                 {}},
        FlowCase{"InterfaceEnumFailsOtherwise", WorkingBut("EnumDeviceInterface"), 1,
                 kErrorAccessDenied,
                 Join({EnableEntry(1), kCheckPasses, NoHandle(31), kEnableDenied})},
        FlowCase{"DetailUnreadable", WorkingBut("GetInterfaceDetail"), 1, kErrorAccessDenied,
                 Join({EnableEntry(1), kCheckPasses, NoHandle(31), kEnableDenied})},
        FlowCase{"DetailBufferUnavailable", WorkingBut("AllocatePages"), 1, kErrorAccessDenied,
                 Join({EnableEntry(1), kCheckPasses, NoHandle(31), kEnableDenied})},
        FlowCase{
            "OpenRefused",
            OpenRefused,
            1,
            kErrorAccessDenied,
            Join({EnableEntry(1), kCheckPasses, CreateFailed(32), NoHandle(32), kEnableDenied}),
            {}},
        FlowCase{"DriverRefuses",
                 SwitchRefused,
                 0,
                 kErrorAccessDenied,
                 Join({EnableEntry(0), kCheckPasses, kOpened, kSwitchFailed, kEnableDenied}),
                 {0}}),
    CaseName());

INSTANTIATE_TEST_SUITE_P(
    Query, ExportFlow,
    ::testing::Values(
        FlowCase{"On",
                 RadioAnswers(1),
                 std::nullopt,
                 kErrorSuccess,
                 Join({kQueryEntry, kCheckPasses, kOpened, kQueried, kOn}),
                 {},
                 1},
        FlowCase{"Off",
                 RadioAnswers(0),
                 std::nullopt,
                 kErrorSuccess,
                 Join({kQueryEntry, kCheckPasses, kOpened, kQueried, kOff}),
                 {},
                 0},
        FlowCase{"AllBitsStoredAsTrue",
                 RadioAnswers(0xFF),
                 std::nullopt,
                 kErrorSuccess,
                 Join({kQueryEntry, kCheckPasses, kOpened, kQueried, kOn}),
                 {},
                 1},
        FlowCase{"NoByteWrittenReadsOff",
                 RadioAnswers(std::nullopt),
                 std::nullopt,
                 kErrorSuccess,
                 Join({kQueryEntry, kCheckPasses, kOpened, kQueried, kOff}),
                 {},
                 0},
        FlowCase{"OtherVendor", OtherVendorOnly, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kEnterRadios, StatusLines(),
                       Manufacturer("Contoso Radio Works"), MemberIndex(0), kOtherVendor})},
        FlowCase{"NotExist", RadioSetUnavailable, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kNotExist})},
        FlowCase{"DeviceNull", NothingRegistered, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kEnterRadios, kDeviceNull})},
        FlowCase{"NoBusSet", NoBusSet, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kCheckPasses, SetFailed(1460), NoHandle(1460),
                       QueryNoChannel(1460), kQueryDenied})},
        FlowCase{"NoBusInterface", MakersRadioWithoutInterface, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kCheckPassesOnRadio, EnumFailed(259), NoHandle(259),
                       QueryNoChannel(259), kQueryDenied})},
        FlowCase{"OpenRefused", OpenRefused, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kCheckPasses, CreateFailed(32), NoHandle(32),
                       QueryNoChannel(32), kQueryDenied})},
        FlowCase{"DriverRefuses", QueryRefused, std::nullopt, kErrorAccessDenied,
                 Join({kQueryEntry, kCheckPasses, kOpened, kQueryFailed, kQueryDenied})}),
    CaseName());

// The channel: the present interfaces of the bus driver's class, index 0 only, its detail read
// with the 64-bit record size, and the path opened for reading and writing without sharing.
TEST(BusChannel, OpensTheFirstInterfaceForReadingAndWriting) {
  FakeRadioSystem system;
  Working(system);
  system.busInterfaces = std::vector{kBusPath, std::u16string(u"\\\\?\\second")};

  ASSERT_EQ(BluetoothEnableRadio(system, 1), kErrorSuccess);

  ASSERT_EQ(system.classQueries.size(), 2u);
  EXPECT_TRUE(SameGuid(system.classQueries[1].interfaceClass, kBusEnumInterfaceClass));
  EXPECT_EQ(system.classQueries[1].flags, 0x12u);
  EXPECT_EQ(system.interfaceRecordSizes, std::vector<std::uint32_t>{32});
  EXPECT_EQ(system.interfaceIndexes, std::vector<std::uint32_t>{0});
  EXPECT_EQ(system.detailRecordSizes, std::vector<std::uint32_t>{8});
  const auto detailSize = static_cast<std::size_t>(4 + (kBusPath.size() + 1) * 2);
  ASSERT_EQ(system.allocations.size(), 1u);
  EXPECT_EQ(system.allocations[0].size, detailSize);
  EXPECT_EQ(system.allocations[0].type, 0x3000u);
  EXPECT_EQ(system.allocations[0].protection, 4u);
  EXPECT_EQ(system.freeTypes, std::vector<std::uint32_t>{0x8000});
  ASSERT_EQ(system.fileOpens.size(), 1u);
  EXPECT_EQ(system.fileOpens[0].path, kBusPath);
  EXPECT_EQ(system.fileOpens[0].access, 0xC0000000u);
  EXPECT_EQ(system.fileOpens[0].shareMode, 0u);
  EXPECT_EQ(system.fileOpens[0].creationDisposition, 3u);
  EXPECT_EQ(system.fileOpens[0].flagsAndAttributes, 0u);
}

TEST(BusChannel, NeverTriesASecondInterface) {
  FakeRadioSystem system;
  Working(system);
  system.busInterfaces = std::vector{kBusPath, std::u16string(u"\\\\?\\second")};
  system.createFileRefused = true;

  EXPECT_EQ(BluetoothEnableRadio(system, 1), kErrorAccessDenied);
  EXPECT_EQ(system.interfaceIndexes, std::vector<std::uint32_t>{0});
  ASSERT_EQ(system.fileOpens.size(), 1u);
  EXPECT_EQ(system.fileOpens[0].path, kBusPath);
}

// The two requests as the driver receives them: buffered, one byte in or one byte out.
TEST(BusChannel, SendsEachRequestWithItsBuffers) {
  FakeRadioSystem system;
  Working(system);
  std::int32_t enabled = kUntouched;
  ASSERT_EQ(BluetoothEnableRadio(system, 1), kErrorSuccess);
  ASSERT_EQ(IsBluetoothRadioEnabled(system, &enabled), kErrorSuccess);

  ASSERT_EQ(system.requests.size(), 2u);
  EXPECT_EQ(system.requests[0].code, 0x2A8004u);
  EXPECT_EQ(system.requests[0].input, std::vector<std::uint8_t>{1});
  EXPECT_EQ(system.requests[0].outputSize, 0u);
  EXPECT_FALSE(system.requests[0].hasOutput);
  EXPECT_EQ(system.requests[1].code, 0x2A8008u);
  EXPECT_TRUE(system.requests[1].input.empty());
  EXPECT_EQ(system.requests[1].outputSize, 1u);
  EXPECT_TRUE(system.requests[1].hasOutput);
  EXPECT_TRUE(system.NothingOpen());
}

// Every export call starts from nothing: the second call enumerates and opens anew.
TEST(ExportFlow, KeepsNothingBetweenCalls) {
  FakeRadioSystem system;
  Working(system);
  ASSERT_EQ(BluetoothEnableRadio(system, 1), kErrorSuccess);
  system.busInterfaces = std::vector<std::u16string>{};
  EXPECT_EQ(BluetoothEnableRadio(system, 1), kErrorAccessDenied);
  EXPECT_EQ(system.classQueries.size(), 4u);
  EXPECT_EQ(system.fileOpens.size(), 1u);
}

// A caller without a place for the answer gets the failure and no device is touched.
TEST(ExportFlow, NullAnswerPointerIsRefused) {
  FakeRadioSystem system;
  Working(system);
  EXPECT_EQ(IsBluetoothRadioEnabled(system, nullptr), kErrorAccessDenied);
  EXPECT_EQ(system.DebugMessages(), Join({kQueryEntry, kQueryDenied}));
  EXPECT_TRUE(system.calls.empty());
}

}  // namespace
}  // namespace radiogate
