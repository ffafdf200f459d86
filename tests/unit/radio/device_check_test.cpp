#include "device_check.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "fake_radio_system.h"
#include "radio_constants.h"
#include "radio_lines.h"

namespace radiogate {
namespace {

using namespace testing;  // NOLINT(google-build-using-namespace): the scenario vocabulary
using Devices = std::optional<std::vector<FakeRadioSystem::Device>>;

struct QualificationCase {
  const char* name;
  Devices busDevices;
  Devices radios;
  int expected;
  Lines lines;
  const char* failing = nullptr;  // an operation made to fail on every call
};

class Qualification : public ::testing::TestWithParam<QualificationCase> {};

TEST_P(Qualification, GivesTheOutcomeWithItsLines) {
  const QualificationCase& c = GetParam();
  FakeRadioSystem system;
  system.busDevices = c.busDevices;
  system.radios = c.radios;
  if (c.failing != nullptr) system.Fail(c.failing);

  EXPECT_EQ(CheckBTDevice(system), c.expected);
  EXPECT_EQ(system.DebugMessages(), c.lines);
  EXPECT_TRUE(system.NothingOpen()) << "a device set or buffer was left open";
  EXPECT_EQ(system.misuse, std::vector<std::string>{});
}

FakeRadioSystem::Device BusWithProblem() {
  FakeRadioSystem::Device device;
  device.status = 0x01802400;
  device.problem = 10;
  return device;
}

FakeRadioSystem::Device Unwritten(FakeRadioSystem::Device device) {
  device.status = std::nullopt;
  device.problem = std::nullopt;
  return device;
}

FakeRadioSystem::Device WithReportedSize(FakeRadioSystem::Device device, std::uint32_t size) {
  device.reportedSize = size;
  return device;
}

FakeRadioSystem::Device NoManufacturer() { return Present(); }

const std::vector<FakeRadioSystem::Device> kNone{};

INSTANTIATE_TEST_SUITE_P(
    Cases, Qualification,
    ::testing::Values(
        // The first pass.
        QualificationCase{"NothingRegistered", kNone, kNone, kBtDeviceNull, kEnterRadios},
        QualificationCase{"BusDevicePresent", std::vector{Present()}, std::vector{OtherRadio()},
                          kBtDeviceOk, Join({StatusLines(), kDongle})},
        QualificationCase{"BusDeviceWithProblemNumberCountsAsPresent",
                          std::vector{BusWithProblem()}, kNone, kBtDeviceOk,
                          Join({StatusLines(0x01802400, 10), kDongle})},
        QualificationCase{"BusDeviceNotPresentNoRadio", std::vector{Absent()}, kNone, kBtDeviceNull,
                          Join({StatusLines(255, 255), MemberIndex(0), kEnterRadios})},
        QualificationCase{"SecondBusDevicePresent", std::vector{Absent(), Present()}, kNone,
                          kBtDeviceOk,
                          Join({StatusLines(255, 255), MemberIndex(0), StatusLines(), kDongle})},
        QualificationCase{"StatusNotWrittenShowsThePresets", std::vector{Unwritten(Present())},
                          kNone, kBtDeviceOk, Join({StatusLines(255, 255), kDongle})},
        QualificationCase{
            "BusSetUnavailableGoesOnToRadios", std::nullopt, std::vector{MakerRadio()}, kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications")})},
        // The set of radios.
        QualificationCase{"RadioSetUnavailable", kNone, std::nullopt, kBtDeviceNotExist, {}},
        QualificationCase{"BusAbsentAndRadioSetUnavailable", std::vector{Absent()}, std::nullopt,
                          kBtDeviceNotExist, Join({StatusLines(255, 255), MemberIndex(0)})},
        // Radios.
        QualificationCase{
            "MakersRadio", kNone, std::vector{MakerRadio()}, kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications")})},
        QualificationCase{
            "OtherThenMakers", kNone, std::vector{OtherRadio(), MakerRadio()}, kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("Contoso Radio Works"), MemberIndex(0),
                  StatusLines(), Manufacturer("Vantrel Communications")})},
        QualificationCase{
            "MakersThenOtherStopsAtTheFirst", kNone, std::vector{MakerRadio(), OtherRadio()},
            kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications")})},
        QualificationCase{"OtherThenNotPresent", kNone,
                          std::vector{OtherRadio(), AbsentRadio(MakerRadio())},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer("Contoso Radio Works"),
                                MemberIndex(0), StatusLines(kStatus, 0), MemberIndex(1)})},
        QualificationCase{"MakersRadioNotPresent", kNone, std::vector{AbsentRadio(MakerRadio())},
                          kBtDeviceNull, Join({kEnterRadios, StatusLines(), MemberIndex(0)})},
        QualificationCase{
            "LetterCaseDiffers", kNone, std::vector{Radio(u"VANTREL communications", kEqual)},
            kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("VANTREL communications")})},
        QualificationCase{"TrailingBlank", kNone,
                          std::vector{Radio(u"Vantrel Communications ", kLess)},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(),
                                Manufacturer("Vantrel Communications "), MemberIndex(0)})},
        QualificationCase{"Suffix", kNone,
                          std::vector{Radio(u"Vantrel Communications Inc.", kLess)},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(),
                                Manufacturer("Vantrel Communications Inc."), MemberIndex(0)})},
        QualificationCase{
            "SortsAfter", kNone, std::vector{Radio(u"Zeta", kGreater)}, kBtDeviceOtherVendor,
            Join({kEnterRadios, StatusLines(), Manufacturer("Zeta"), MemberIndex(0)})},
        QualificationCase{"ComparisonFails", kNone,
                          std::vector{Radio(u"Vantrel Communications", 0)}, kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications"),
                                MemberIndex(0)})},
        QualificationCase{"NoManufacturerProperty", kNone, std::vector{NoManufacturer()},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer(""), MemberIndex(0)})},
        QualificationCase{"NoManufacturerThenMakers", kNone,
                          std::vector{NoManufacturer(), MakerRadio()}, kBtDeviceOk,
                          Join({kEnterRadios, StatusLines(), Manufacturer(""), MemberIndex(0),
                                StatusLines(), Manufacturer("Vantrel Communications")})},
        QualificationCase{"ReportedSizeZero", kNone, std::vector{WithReportedSize(MakerRadio(), 0)},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer(""), MemberIndex(0)})},
        QualificationCase{
            "StoredWithoutTerminator", kNone, std::vector{WithReportedSize(MakerRadio(), 44)},
            kBtDeviceOk,
            Join({kEnterRadios, StatusLines(), Manufacturer("Vantrel Communications")})},
        QualificationCase{"OddReportedSize", kNone,
                          std::vector{WithReportedSize(Radio(u"Vantrel", kLess), 5)},
                          kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer("Van"), MemberIndex(0)})},
        QualificationCase{"AllocationFails", kNone, std::vector{MakerRadio()}, kBtDeviceOtherVendor,
                          Join({kEnterRadios, StatusLines(), Manufacturer(""), MemberIndex(0)}),
                          "AllocatePages"}),
    CaseName());

// What the check asks of the platform: the classes and flags of its two sets, fresh device
// records, preset status words, the manufacturer property, and the comparison it relies on.
TEST(Qualification, AsksThePlatformWithItsClassesFlagsAndPresets) {
  FakeRadioSystem system;
  system.busDevices = std::vector{Absent()};
  system.radios = std::vector{OtherRadio(), MakerRadio()};
  system.threadLocale = 0x0807;

  ASSERT_EQ(CheckBTDevice(system), kBtDeviceOk);

  ASSERT_EQ(system.classQueries.size(), 2u);
  EXPECT_TRUE(SameGuid(system.classQueries[0].interfaceClass, kBusEnumInterfaceClass));
  EXPECT_EQ(system.classQueries[0].flags, 0x10u);
  EXPECT_TRUE(SameGuid(system.classQueries[1].interfaceClass, kBthPortInterfaceClass));
  EXPECT_EQ(system.classQueries[1].flags, 0x10u);

  EXPECT_EQ(system.deviceRecordSizes, (std::vector<std::uint32_t>{32, 32, 32, 32}));
  ASSERT_EQ(system.statusQueries.size(), 3u);
  const std::uint32_t devInsts[] = {0x100, 0x200, 0x201};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(system.statusQueries[i].devInst, devInsts[i]);
    EXPECT_EQ(system.statusQueries[i].flags, 0u);
    EXPECT_EQ(system.statusQueries[i].statusBefore, 255u);
    EXPECT_EQ(system.statusQueries[i].problemBefore, 255u);
  }

  EXPECT_EQ(system.propertiesRead, (std::vector<std::uint32_t>{11, 11, 11, 11}));
  ASSERT_EQ(system.allocations.size(), 2u);
  for (const auto& allocation : system.allocations) {
    EXPECT_EQ(allocation.type, 0x3000u);
    EXPECT_EQ(allocation.protection, 4u);
  }
  EXPECT_EQ(system.freeTypes, (std::vector<std::uint32_t>{0x8000, 0x8000}));

  ASSERT_EQ(system.comparisons.size(), 2u);
  EXPECT_EQ(system.comparisons[0].first, u"Contoso Radio Works");
  EXPECT_EQ(system.comparisons[1].first, u"Vantrel Communications");
  for (const auto& comparison : system.comparisons) {
    EXPECT_EQ(comparison.locale, 0x0807u);
    EXPECT_EQ(comparison.flags, 0x10u);
    EXPECT_EQ(comparison.second, u"Vantrel Communications");
  }
}

// Room for the reported bytes and one terminator the property read cannot reach.
TEST(Qualification, ManufacturerBufferKeepsATerminator) {
  FakeRadioSystem system;
  system.radios = std::vector{WithReportedSize(MakerRadio(), 44)};
  ASSERT_EQ(CheckBTDevice(system), kBtDeviceOk);
  ASSERT_EQ(system.allocations.size(), 1u);
  EXPECT_EQ(system.allocations[0].size, 46u);
  ASSERT_EQ(system.comparisons.size(), 1u);
  EXPECT_EQ(system.comparisons[0].first, u"Vantrel Communications");
}

// A present bus device ends the check before any radio is looked at.
TEST(Qualification, PresentBusDeviceLeavesRadiosUnexamined) {
  FakeRadioSystem system;
  system.busDevices = std::vector{Present()};
  system.radios = std::vector{OtherRadio()};
  ASSERT_EQ(CheckBTDevice(system), kBtDeviceOk);
  EXPECT_EQ(system.classQueries.size(), 1u);
  EXPECT_TRUE(system.propertiesRead.empty());
  EXPECT_TRUE(system.comparisons.empty());
}

}  // namespace
}  // namespace radiogate
