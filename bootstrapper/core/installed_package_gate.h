#pragma once

#include <cstdint>

#include "bounded_text.h"
#include "product_version.h"
#include "run_context.h"

namespace stackboot {

enum class GateOutcome {
  kProceed,      // nothing registered, or the registered package was removed
  kAbandon,      // a higher version is registered: the run ends without starting anything
  kOutOfMemory,  // a working buffer could not be allocated
};

inline constexpr std::uint32_t kKeyQueryValue = 0x1;
inline constexpr std::uint32_t kKeyWow64View64 = 0x100;
inline constexpr std::uint32_t kKeyAllAccess = 0xF003F;

using RegistryKeyPath = BoundedText<260>;
using ProductCode = BoundedText<260>;

// The registration key of the stack package for the OS type; empty for a type without one.
void GetInstallerCode(int osType, RegistryKeyPath& keyPath);

// Copies the product code for the OS type; leaves `code` as it is for a type without a row.
int GetProductCode(int osType, ProductCode& code);

// 1 when the stack package for the run's OS type is registered with Windows Installer.
int CheckProductInstalled(RunContext& run);

// The "ProductVersion" value of the registration key; `version` stays as it is when the key
// cannot be opened, and empty when the value cannot be read whole.
void GetInstalledProductVersion(RunContext& run, VersionText& version);

// Compares a stack package already registered with Windows Installer with the setup launcher's
// and removes it with msiexec when it is not newer.
GateOutcome RunInstalledPackageGate(RunContext& run);

}  // namespace stackboot
