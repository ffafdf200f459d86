#pragma once

// Small pieces shared by the test tools. Nothing here uses std::string or std::vector: either one
// pulls the C++ library's exception and demangling support into the program, some 170 KB of a
// tool that is otherwise 20 KB.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string_view>
#include <type_traits>

namespace vantrel::tools {

// Closes a kernel handle exactly once. Both null and INVALID_HANDLE_VALUE count as "no handle",
// because CreateFileW and most other calls disagree on which one they return on failure.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() {
    if (IsValid()) CloseHandle(handle_);
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  HANDLE Get() const { return handle_; }
  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_ = nullptr;
};

// A growable array on the process heap. Running out of memory ends the program with
// ERROR_OUTOFMEMORY: these are test tools, and none of their callers could do anything better.
template <typename T>
class HeapArray {
  static_assert(std::is_trivially_copyable_v<T>);

 public:
  HeapArray() = default;
  ~HeapArray() {
    if (data_ != nullptr) HeapFree(GetProcessHeap(), 0, data_);
  }
  HeapArray(const HeapArray&) = delete;
  HeapArray& operator=(const HeapArray&) = delete;

  void Append(std::basic_string_view<T> items) {
    T* target = Grow(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) target[i] = items[i];
  }
  void Append(T item) { *Grow(1) = item; }

  // Adds `count` elements for a platform call to write into and returns the first of them; use
  // Truncate afterwards if the call wrote fewer.
  T* Grow(std::size_t count) {
    Reserve(size_ + count);
    T* first = data_ + size_;
    size_ += count;
    return first;
  }
  void Truncate(std::size_t size) {
    if (size < size_) size_ = size;
  }

  // The elements followed by a zero that is not counted in Size(), for calls that want a
  // terminated string.
  const T* CStr() {
    Reserve(size_ + 1);
    data_[size_] = T{};
    return data_;
  }
  T* Data() { return data_; }
  std::size_t Size() const { return size_; }
  std::basic_string_view<T> View() const { return {data_, size_}; }

 private:
  void Reserve(std::size_t capacity) {
    if (capacity <= capacity_) return;
    std::size_t grown = capacity_ < 64 ? 64 : capacity_ * 2;
    if (grown < capacity) grown = capacity;
    HANDLE heap = GetProcessHeap();
    void* block = data_ == nullptr ? HeapAlloc(heap, 0, grown * sizeof(T))
                                   : HeapReAlloc(heap, 0, data_, grown * sizeof(T));
    if (block == nullptr) ExitProcess(ERROR_OUTOFMEMORY);
    data_ = static_cast<T*>(block);
    capacity_ = grown;
  }

  T* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

inline void AppendUtf8(HeapArray<char>& out, std::wstring_view text) {
  if (text.empty()) return;
  const int length = static_cast<int>(text.size());
  const int needed =
      WideCharToMultiByte(CP_UTF8, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return;
  WideCharToMultiByte(CP_UTF8, 0, text.data(), length, out.Grow(static_cast<std::size_t>(needed)),
                      needed, nullptr, nullptr);
}

// The raw text after the program name token of a command line and the blanks that follow it.
// Like the C runtime, a program name starting with a quote runs to the next quote, otherwise to
// the first blank.
inline std::wstring_view CommandLineAfterProgramName(std::wstring_view line) {
  std::size_t pos = 0;
  if (!line.empty() && line.front() == L'"') {
    const std::size_t close = line.find(L'"', 1);
    pos = close == std::wstring_view::npos ? line.size() : close + 1;
  } else {
    while (pos < line.size() && line[pos] != L' ' && line[pos] != L'\t') ++pos;
  }
  while (pos < line.size() && (line[pos] == L' ' || line[pos] == L'\t')) ++pos;
  line.remove_prefix(pos);  // unlike substr, cannot throw, so no exception support is linked
  return line;
}

// Appends the text as one output line, in UTF-8, with "\" written as "\\", CR as "\r" and LF as
// "\n", so that the line break at its end is the only one.
inline void AppendEscapedLine(HeapArray<char>& out, std::wstring_view text) {
  HeapArray<wchar_t> escaped;
  for (const wchar_t c : text) {
    switch (c) {
      case L'\\':
        escaped.Append(L"\\\\");
        break;
      case L'\r':
        escaped.Append(L"\\r");
        break;
      case L'\n':
        escaped.Append(L"\\n");
        break;
      default:
        escaped.Append(c);
    }
  }
  AppendUtf8(out, escaped.View());
  out.Append('\n');
}

// Decimal text of a number, for messages.
class Decimal {
 public:
  explicit Decimal(std::uint32_t value) {
    do {
      digits_[--first_] = static_cast<wchar_t>(L'0' + value % 10);
      value /= 10;
    } while (value != 0);
  }
  std::wstring_view View() const { return {digits_ + first_, kDigits - first_}; }

 private:
  static constexpr std::size_t kDigits = 10;
  wchar_t digits_[kDigits] = {};
  std::size_t first_ = kDigits;
};

// WriteFile may write less than asked on pipes; loop so a line is never cut in half. There is no
// buffering anywhere, so what was written is visible to the reader at once.
inline bool WriteAll(HANDLE handle, std::string_view bytes) {
  while (!bytes.empty()) {
    DWORD written = 0;
    const auto chunk = static_cast<DWORD>(bytes.size());
    if (!WriteFile(handle, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

inline void WriteStderr(std::initializer_list<std::wstring_view> pieces) {
  HeapArray<char> message;
  for (const std::wstring_view piece : pieces) AppendUtf8(message, piece);
  WriteAll(GetStdHandle(STD_ERROR_HANDLE), message.View());
}

// Reads an environment variable; false if it is not set at all (an empty value counts as set).
inline bool GetEnvironment(const wchar_t* name, HeapArray<wchar_t>& value) {
  value.Truncate(0);
  SetLastError(ERROR_SUCCESS);
  const DWORD needed = GetEnvironmentVariableW(name, nullptr, 0);
  if (needed == 0) return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  const DWORD length = GetEnvironmentVariableW(name, value.Grow(needed), needed);
  value.Truncate(length < needed ? length : 0);
  return true;
}

// Parses an exit code given in decimal. Tests think of codes both as Windows DWORDs
// (0..4294967295) and as the signed values some callers print (-5), so both forms are taken and
// a negative value wraps to its 32-bit two's complement.
inline bool ParseExitCode(std::wstring_view text, std::uint32_t& code) {
  bool negative = false;
  if (!text.empty() && text.front() == L'-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  std::uint64_t magnitude = 0;
  for (const wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
    magnitude = magnitude * 10 + static_cast<std::uint64_t>(c - L'0');
    if (magnitude > 0xFFFFFFFFull) return false;
  }
  if (negative && magnitude > 0x80000000ull) return false;
  const auto value = static_cast<std::uint32_t>(magnitude);
  code = negative ? 0u - value : value;
  return true;
}

// Exit code chosen through an environment variable: `fallback` when it is unset, and
// ERROR_INVALID_PARAMETER when it is set to something that is not a number, so that a typo in a
// test shows up as a failure instead of as a silent success.
inline std::uint32_t ExitCodeFromEnvironment(const wchar_t* name, std::uint32_t fallback) {
  HeapArray<wchar_t> text;
  if (!GetEnvironment(name, text)) return fallback;
  std::uint32_t code = 0;
  return ParseExitCode(text.View(), code) ? code : ERROR_INVALID_PARAMETER;
}

}  // namespace vantrel::tools
