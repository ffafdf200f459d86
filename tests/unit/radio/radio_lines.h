#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fake_radio_system.h"

namespace radiogate::testing {

using Lines = std::vector<std::string>;

// Names each row of a parameterised table after its `name` member, so a failure says which
// case broke.
struct CaseName {
  template <typename Case>
  std::string operator()(const ::testing::TestParamInfo<Case>& row) const {
    return row.param.name;
  }
};

inline Lines Join(std::initializer_list<Lines> parts) {
  Lines all;
  for (const Lines& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

inline constexpr std::uint32_t kStatus = 0x0180200A;

inline Lines StatusLines(std::int64_t status = kStatus, std::int64_t problem = 0) {
  return {"The status of uStatus is " + std::to_string(status) + "!\n",
          "The status of uProblem is " + std::to_string(problem) + "!\n"};
}
inline Lines MemberIndex(int index) {
  return {"The MemberIndex of SetupDiEnumDeviceInfo is " + std::to_string(index) + "!\n"};
}
inline Lines Manufacturer(const std::string& text) {
  return {"The Manufacturer of this bt device is " + text + "!\n"};
}
inline const Lines kDongle = {"This device is 7715 dongle\n"};
inline const Lines kEnterRadios = {"Enter if(hardwareDeviceInfo > 0)\n"};

// Devices as a test states them.
inline FakeRadioSystem::Device Present() { return {}; }
inline FakeRadioSystem::Device Absent() {
  FakeRadioSystem::Device device;
  device.statusAnswer = 0x0D;  // CR_NO_SUCH_DEVNODE
  device.status = std::nullopt;
  device.problem = std::nullopt;
  return device;
}
inline FakeRadioSystem::Device Radio(std::u16string manufacturer, int comparison) {
  FakeRadioSystem::Device device;
  device.manufacturer = std::move(manufacturer);
  device.comparison = comparison;
  return device;
}
inline constexpr int kLess = 1;
inline constexpr int kEqual = 2;
inline constexpr int kGreater = 3;
inline FakeRadioSystem::Device MakerRadio() { return Radio(u"Vantrel Communications", kEqual); }
inline FakeRadioSystem::Device OtherRadio() { return Radio(u"Contoso Radio Works", kLess); }
inline FakeRadioSystem::Device AbsentRadio(FakeRadioSystem::Device radio) {
  radio.statusAnswer = 0x0D;
  return radio;
}

inline const std::u16string kBusPath =
    u"\\\\?\\root#vtrlbus#0000#{3f6c1b92-7d40-4e8a-a5c3-9b2e0d71f846}";
inline const std::string kBusPathText = Narrow(kBusPath);

}  // namespace radiogate::testing
