#pragma once

#include <cstdint>

#include "radio_system.h"

namespace radiogate {

// Results of the exports and the request routines (Win32 error codes).
inline constexpr std::uint32_t kErrorSuccess = 0;
inline constexpr std::uint32_t kErrorAccessDenied = 5;

// Outcomes of the device check.
inline constexpr int kBtDeviceOtherVendor = 0;
inline constexpr int kBtDeviceOk = 1;
inline constexpr int kBtDeviceNotExist = 2;
inline constexpr int kBtDeviceNull = 3;

// The interface class of the maker's Bluetooth bus-enumerator driver.
inline constexpr Guid kBusEnumInterfaceClass{
    0x3F6C1B92, 0x7D40, 0x4E8A, {0xA5, 0xC3, 0x9B, 0x2E, 0x0D, 0x71, 0xF8, 0x46}};
// The platform's interface class of Bluetooth radios.
inline constexpr Guid kBthPortInterfaceClass{
    0x0850302A, 0xB344, 0x4FDA, {0x9B, 0xE9, 0x90, 0x57, 0x6B, 0x8D, 0x46, 0xF0}};

// Device control requests of the bus-enumerator driver (FILE_DEVICE_BUS_EXTENDER, buffered,
// write access).
inline constexpr std::uint32_t kIoctlSetRadioOnOff = 0x2A8004;
inline constexpr std::uint32_t kIoctlQueryRadioStatus = 0x2A8008;

// Platform values the logic passes or tests.
inline constexpr std::uint32_t kDigcfPresent = 0x02;
inline constexpr std::uint32_t kDigcfDeviceInterface = 0x10;
inline constexpr std::uint32_t kSpdrpMfg = 11;
inline constexpr std::uint32_t kCrSuccess = 0;
inline constexpr std::uint32_t kErrorInsufficientBuffer = 122;
inline constexpr std::uint32_t kErrorNoMoreItems = 259;
inline constexpr std::uint32_t kGenericReadWrite = 0xC0000000;
inline constexpr std::uint32_t kOpenExisting = 3;
inline constexpr std::uint32_t kMemCommitReserve = 0x3000;
inline constexpr std::uint32_t kMemRelease = 0x8000;
inline constexpr std::uint32_t kPageReadWrite = 0x04;
inline constexpr std::uint32_t kLinguisticIgnoreCase = 0x10;
inline constexpr int kCstrEqual = 2;

// The platform's fixed size of SP_DEVICE_INTERFACE_DETAIL_DATA_W in a 64-bit process: the
// cbSize word and one path unit, padded to the record's alignment.
inline constexpr std::uint32_t kInterfaceDetailRecordSize = 8;
inline constexpr std::uint32_t kDevicePathOffset = 4;

// The wait that lets the radio settle after a successful switch.
inline constexpr std::uint32_t kSwitchSettleMilliseconds = 1000;

}  // namespace radiogate
