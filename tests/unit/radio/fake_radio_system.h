#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "radio_constants.h"
#include "radio_system.h"

namespace radiogate::testing {

inline std::string Narrow(const std::u16string& text) {
  std::string out;
  for (char16_t unit : text) out += unit < 0x80 ? static_cast<char>(unit) : '?';
  return out;
}

inline bool SameGuid(const Guid& a, const Guid& b) { return std::memcmp(&a, &b, sizeof(a)) == 0; }

// A simulated Windows for the radio library's core. Every answer is stated by the test and every
// request is recorded; nothing of Windows is emulated. Any single failable operation can be made
// to fail by name (every call of it, or only its n-th call), and a ledger keeps what is open.
class FakeRadioSystem final : public RadioSystem {
 public:
  // One device of a set: what the status query answers and what its manufacturer property holds.
  struct Device {
    std::uint32_t statusAnswer = kCrSuccess;           // CR_SUCCESS: present in the device tree
    std::optional<std::uint32_t> status = 0x0180200A;  // nullopt: the query writes nothing
    std::optional<std::uint32_t> problem = 0;
    std::optional<std::u16string> manufacturer;  // nullopt: no such property
    std::optional<std::uint32_t> reportedSize;   // bytes; default: the text and its terminator
    // What CompareStringW answers when this device's manufacturer text is compared.
    int comparison = 1;  // CSTR_LESS_THAN
  };

  // --- answers; a set stated as nullopt cannot be obtained
  std::optional<std::vector<Device>> busDevices = std::vector<Device>{};
  std::optional<std::vector<Device>> radios = std::vector<Device>{};
  // The device paths of the bus driver's present interfaces, in member order.
  std::optional<std::vector<std::u16string>> busInterfaces = std::vector<std::u16string>{};
  bool switchAccepted = true;
  bool queryAccepted = true;
  std::optional<std::uint8_t> radioState = 1;  // nullopt: the driver writes no byte
  // Whether an open of the device path is refused, as for a driver that is gone or busy, and
  // the last error it then leaves.
  bool createFileRefused = false;
  std::uint32_t createFileError = 2;
  std::uint32_t threadLocale = 0x0409;
  std::uint32_t injectedError = 31;  // the last error of an operation made to fail

  // --- records
  std::vector<std::string> calls;  // every operation, in order
  std::vector<std::u16string> debugLines;
  struct ClassQuery {
    Guid interfaceClass;
    std::uint32_t flags;
  };
  std::vector<ClassQuery> classQueries;
  std::vector<std::uint32_t> deviceRecordSizes;     // cbSize of each device record enumerated
  std::vector<std::uint32_t> interfaceRecordSizes;  // cbSize of each interface record enumerated
  std::vector<std::uint32_t> interfaceIndexes;
  std::vector<std::uint32_t> detailRecordSizes;  // cbSize found in each detail buffer read into
  struct StatusQuery {
    std::uint32_t devInst;
    std::uint32_t flags;
    std::uint32_t statusBefore;
    std::uint32_t problemBefore;
  };
  std::vector<StatusQuery> statusQueries;
  std::vector<std::uint32_t> propertiesRead;
  struct FileOpen {
    std::u16string path;
    std::uint32_t access;
    std::uint32_t shareMode;
    std::uint32_t creationDisposition;
    std::uint32_t flagsAndAttributes;
  };
  std::vector<FileOpen> fileOpens;
  struct ControlRequest {
    std::uint32_t code;
    std::vector<std::uint8_t> input;
    std::uint32_t outputSize;
    bool hasOutput;
  };
  std::vector<ControlRequest> requests;
  struct Allocation {
    std::size_t size;
    std::uint32_t type;
    std::uint32_t protection;
  };
  std::vector<Allocation> allocations;
  std::vector<std::uint32_t> freeTypes;
  std::vector<std::uint32_t> waits;
  struct Comparison {
    std::uint32_t locale;
    std::uint32_t flags;
    std::u16string first;
    std::u16string second;
  };
  std::vector<Comparison> comparisons;

  // --- the ledger of what is open
  std::set<std::uintptr_t> openSets;
  std::set<std::uintptr_t> openFiles;
  std::map<void*, std::size_t> liveBuffers;
  bool NothingOpen() const { return openSets.empty() && openFiles.empty() && liveBuffers.empty(); }

  // --- fault injection
  // Fails every call of the operation (occurrence 0) or only its n-th call (1, 2, ...).
  void Fail(const std::string& operation, int occurrence = 0) {
    failing_ = operation;
    failingOccurrence_ = occurrence;
  }
  // The failable operations called so far, each with the number of its calls.
  const std::map<std::string, int>& FailableCalls() const { return failableCalls_; }

  std::vector<std::string> DebugMessages() const {
    std::vector<std::string> messages;
    for (const auto& line : debugLines) messages.push_back(Narrow(line));
    return messages;
  }

  FakeRadioSystem() = default;
  FakeRadioSystem(const FakeRadioSystem&) = delete;
  FakeRadioSystem& operator=(const FakeRadioSystem&) = delete;
  ~FakeRadioSystem() {
    for (auto& [buffer, size] : liveBuffers) delete[] static_cast<unsigned char*>(buffer);
  }

  DeviceSet GetClassDevices(const Guid& interfaceClass, std::uint32_t flags) override {
    calls.push_back("GetClassDevices");
    classQueries.push_back({interfaceClass, flags});
    if (Failing("GetClassDevices")) return kInvalidDeviceSet;
    const SetKind kind = KindOf(interfaceClass, flags);
    if (!Available(kind)) {
      lastError_ = injectedError;
      return kInvalidDeviceSet;
    }
    const std::uintptr_t id = nextSet_++;
    setKinds_[id] = kind;
    openSets.insert(id);
    return static_cast<DeviceSet>(id);
  }

  bool EnumDeviceInfo(DeviceSet set, std::uint32_t memberIndex, DeviceInfoRecord& device) override {
    calls.push_back("EnumDeviceInfo");
    deviceRecordSizes.push_back(device.cbSize);
    if (Failing("EnumDeviceInfo")) return false;
    const std::vector<Device>* devices = DevicesOf(set);
    if (devices == nullptr || memberIndex >= devices->size()) {
      lastError_ = kErrorNoMoreItems;
      return false;
    }
    device.devInst = DevInstOf(set, memberIndex);
    return true;
  }

  bool EnumDeviceInterface(DeviceSet set, const Guid& interfaceClass, std::uint32_t memberIndex,
                           InterfaceRecord& record) override {
    calls.push_back("EnumDeviceInterface");
    interfaceRecordSizes.push_back(record.cbSize);
    interfaceIndexes.push_back(memberIndex);
    if (Failing("EnumDeviceInterface")) return false;
    if (!IsOpenSet(set) || setKinds_.at(Id(set)) != SetKind::kBusInterfaces ||
        !SameGuid(interfaceClass, kBusEnumInterfaceClass) || memberIndex >= busInterfaces->size()) {
      lastError_ = kErrorNoMoreItems;
      return false;
    }
    record.interfaceClassGuid = interfaceClass;
    record.reserved = memberIndex;
    return true;
  }

  bool GetInterfaceDetail(DeviceSet set, const InterfaceRecord& record, void* detail,
                          std::uint32_t detailSize, std::uint32_t& requiredSize) override {
    calls.push_back("GetInterfaceDetail");
    if (Failing("GetInterfaceDetail")) return false;
    if (!IsOpenSet(set)) {
      lastError_ = 6;  // ERROR_INVALID_HANDLE
      return false;
    }
    const std::u16string& path = busInterfaces->at(record.reserved);
    const auto needed = static_cast<std::uint32_t>(kDevicePathOffset + (path.size() + 1) * 2);
    requiredSize = needed;
    if (detail == nullptr || detailSize < needed) {
      lastError_ = kErrorInsufficientBuffer;
      return false;
    }
    ExpectLiveBuffer(detail, detailSize);
    std::uint32_t cbSize = 0;
    std::memcpy(&cbSize, detail, sizeof(cbSize));
    detailRecordSizes.push_back(cbSize);
    std::memcpy(static_cast<unsigned char*>(detail) + kDevicePathOffset, path.c_str(),
                (path.size() + 1) * 2);
    return true;
  }

  bool GetDeviceProperty(DeviceSet set, const DeviceInfoRecord& device, std::uint32_t property,
                         std::uint32_t& dataType, void* buffer, std::uint32_t bufferSize,
                         std::uint32_t& requiredSize) override {
    calls.push_back("GetDeviceProperty");
    propertiesRead.push_back(property);
    if (Failing("GetDeviceProperty")) return false;
    const Device& answer = DeviceOf(set, device.devInst);
    comparedDevice_ = &answer;
    if (!answer.manufacturer) {
      lastError_ = 13;  // ERROR_INVALID_DATA
      return false;
    }
    const std::u16string& text = *answer.manufacturer;
    const std::uint32_t size =
        answer.reportedSize.value_or(static_cast<std::uint32_t>((text.size() + 1) * 2));
    requiredSize = size;
    dataType = 1;  // REG_SZ
    if (buffer == nullptr || bufferSize < size) {
      lastError_ = kErrorInsufficientBuffer;
      return false;
    }
    ExpectLiveBuffer(buffer, bufferSize);
    const std::size_t available = (text.size() + 1) * 2;
    std::memcpy(buffer, text.c_str(), size < available ? size : available);
    return true;
  }

  void DestroyDeviceSet(DeviceSet set) override {
    calls.push_back("DestroyDeviceSet");
    if (openSets.erase(Id(set)) == 0) RecordMisuse("device set released twice");
  }

  std::uint32_t GetDevNodeStatus(std::uint32_t& status, std::uint32_t& problem,
                                 std::uint32_t devInst, std::uint32_t flags) override {
    calls.push_back("GetDevNodeStatus");
    statusQueries.push_back({devInst, flags, status, problem});
    if (Failing("GetDevNodeStatus")) return 0x0D;  // CR_NO_SUCH_DEVNODE
    const Device& answer = DeviceByDevInst(devInst);
    if (answer.status) status = *answer.status;
    if (answer.problem) problem = *answer.problem;
    return answer.statusAnswer;
  }

  FileHandle CreateDeviceFile(const char16_t* path, std::uint32_t access, std::uint32_t shareMode,
                              std::uint32_t creationDisposition,
                              std::uint32_t flagsAndAttributes) override {
    calls.push_back("CreateDeviceFile");
    fileOpens.push_back({path, access, shareMode, creationDisposition, flagsAndAttributes});
    if (Failing("CreateDeviceFile")) return kInvalidFileHandle;
    if (createFileRefused) {
      lastError_ = createFileError;
      return kInvalidFileHandle;
    }
    const std::uintptr_t id = nextFile_++;
    openFiles.insert(id);
    return static_cast<FileHandle>(id);
  }

  bool SendControl(FileHandle file, std::uint32_t controlCode, const void* input,
                   std::uint32_t inputSize, void* output, std::uint32_t outputSize) override {
    calls.push_back("SendControl");
    const auto* bytes = static_cast<const std::uint8_t*>(input);
    requests.push_back({controlCode,
                        bytes == nullptr ? std::vector<std::uint8_t>{}
                                         : std::vector<std::uint8_t>(bytes, bytes + inputSize),
                        outputSize, output != nullptr});
    if (Failing("SendControl")) return false;
    if (openFiles.count(static_cast<std::uintptr_t>(file)) == 0) {
      lastError_ = 6;  // ERROR_INVALID_HANDLE
      return false;
    }
    if (controlCode == kIoctlSetRadioOnOff) {
      if (!switchAccepted) lastError_ = 31;
      return switchAccepted;
    }
    if (controlCode == kIoctlQueryRadioStatus && queryAccepted) {
      if (radioState && output != nullptr && outputSize >= 1) {
        *static_cast<std::uint8_t*>(output) = *radioState;
      }
      return true;
    }
    lastError_ = 1;  // ERROR_INVALID_FUNCTION
    return false;
  }

  void CloseFile(FileHandle file) override {
    calls.push_back("CloseFile");
    if (openFiles.erase(static_cast<std::uintptr_t>(file)) == 0) {
      RecordMisuse("file closed twice or never opened");
    }
  }

  void* AllocatePages(std::size_t size, std::uint32_t allocationType,
                      std::uint32_t protection) override {
    calls.push_back("AllocatePages");
    allocations.push_back({size, allocationType, protection});
    if (Failing("AllocatePages")) return nullptr;
    if (size == 0) {
      lastError_ = 87;  // ERROR_INVALID_PARAMETER
      return nullptr;
    }
    // Exactly the size asked for, zero-filled, so that a read past it shows under the sanitizer.
    void* buffer = new unsigned char[size]();
    liveBuffers[buffer] = size;
    return buffer;
  }

  void FreePages(void* address, std::uint32_t freeType) override {
    calls.push_back("FreePages");
    freeTypes.push_back(freeType);
    const auto found = liveBuffers.find(address);
    if (found == liveBuffers.end()) {
      RecordMisuse("pages freed twice or never allocated");
      return;
    }
    delete[] static_cast<unsigned char*>(address);
    liveBuffers.erase(found);
  }

  void Wait(std::uint32_t milliseconds) override {
    calls.push_back("Wait");
    waits.push_back(milliseconds);
  }

  std::uint32_t LastError() override { return lastError_; }

  void OutputDebugText(const char16_t* text) override { debugLines.emplace_back(text); }

  std::uint32_t ThreadLocale() override {
    calls.push_back("ThreadLocale");
    return threadLocale;
  }

  int CompareTexts(std::uint32_t locale, std::uint32_t flags, const char16_t* first,
                   const char16_t* second) override {
    calls.push_back("CompareTexts");
    comparisons.push_back({locale, flags, first, second});
    if (Failing("CompareTexts")) return 0;
    // The answer stated for the device whose property was read last.
    return comparedDevice_ == nullptr ? 0 : comparedDevice_->comparison;
  }

  // Misuse of the ledger found by the fake (a double release, a foreign buffer).
  std::vector<std::string> misuse;

 private:
  enum class SetKind { kBusDevices, kRadios, kBusInterfaces, kOther };

  void RecordMisuse(const char* what) { misuse.emplace_back(what); }

  bool Failing(const std::string& operation) {
    const int call = ++failableCalls_[operation];
    if (operation != failing_) return false;
    if (failingOccurrence_ != 0 && failingOccurrence_ != call) return false;
    lastError_ = injectedError;
    return true;
  }

  static SetKind KindOf(const Guid& interfaceClass, std::uint32_t flags) {
    if (SameGuid(interfaceClass, kBusEnumInterfaceClass)) {
      if (flags == kDigcfDeviceInterface) return SetKind::kBusDevices;
      if (flags == (kDigcfPresent | kDigcfDeviceInterface)) return SetKind::kBusInterfaces;
    }
    if (SameGuid(interfaceClass, kBthPortInterfaceClass) && flags == kDigcfDeviceInterface) {
      return SetKind::kRadios;
    }
    return SetKind::kOther;
  }

  bool Available(SetKind kind) const {
    switch (kind) {
      case SetKind::kBusDevices:
        return busDevices.has_value();
      case SetKind::kRadios:
        return radios.has_value();
      case SetKind::kBusInterfaces:
        return busInterfaces.has_value();
      case SetKind::kOther:
        return true;
    }
    return false;
  }

  static std::uintptr_t Id(DeviceSet set) { return static_cast<std::uintptr_t>(set); }
  bool IsOpenSet(DeviceSet set) const { return openSets.count(Id(set)) != 0; }

  const std::vector<Device>* DevicesOf(DeviceSet set) const {
    if (!IsOpenSet(set)) return nullptr;
    switch (setKinds_.at(Id(set))) {
      case SetKind::kBusDevices:
        return &*busDevices;
      case SetKind::kRadios:
        return &*radios;
      default:
        return nullptr;
    }
  }

  // Device instances are numbered by class: bus devices from 0x100, radios from 0x200.
  std::uint32_t DevInstOf(DeviceSet set, std::uint32_t index) const {
    return (setKinds_.at(Id(set)) == SetKind::kBusDevices ? 0x100u : 0x200u) + index;
  }
  const Device& DeviceByDevInst(std::uint32_t devInst) const {
    if (devInst >= 0x200) return radios->at(devInst - 0x200);
    return busDevices->at(devInst - 0x100);
  }
  const Device& DeviceOf(DeviceSet set, std::uint32_t devInst) const {
    if (!IsOpenSet(set)) throw std::logic_error("property read from a set that is not open");
    return DeviceByDevInst(devInst);
  }

  void ExpectLiveBuffer(const void* buffer, std::uint32_t size) {
    const auto found = liveBuffers.find(const_cast<void*>(buffer));
    if (found == liveBuffers.end() || found->second < size) {
      RecordMisuse("written into memory that is not a live buffer of that size");
    }
  }

  std::string failing_;
  int failingOccurrence_ = 0;
  std::map<std::string, int> failableCalls_;
  std::uint32_t lastError_ = 0;
  std::uintptr_t nextSet_ = 0x10;
  std::uintptr_t nextFile_ = 0x40;
  std::map<std::uintptr_t, SetKind> setKinds_;
  const Device* comparedDevice_ = nullptr;
};

}  // namespace radiogate::testing
