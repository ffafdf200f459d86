#include "benchmark.h"

#include <algorithm>

#include "../tool_support.h"
#include "console.h"
#include "platform_query.h"

namespace vantrel::radio {
namespace {

// The debugger lines that one successful query of the library writes; sending them is most of
// what the library adds to the platform's work.
constexpr std::uint32_t kLinesPerQuery = 9;

enum Kind : std::uint32_t { kLibrary, kPlatform, kPlatformWithLines, kKinds };

std::int64_t Now() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return counter.QuadPart;
}

DWORD CallOnce(const RadioLibrary& library, Kind kind) {
  if (kind == kLibrary) {
    BOOL enabled = FALSE;
    return library.IsEnabled(&enabled);
  }
  BYTE radio = 0;
  const DWORD error = QueryRadioThroughPlatform(radio);
  if (kind == kPlatformWithLines) {
    for (std::uint32_t line = 0; line < kLinesPerQuery; ++line) {
      OutputDebugStringW(L"radio benchmark: a line as long as the library's lines\n");
    }
  }
  return error;
}

std::uint64_t Median(std::uint64_t* values, std::uint32_t count) {
  std::sort(values, values + count);
  return count % 2 == 1 ? values[count / 2] : (values[count / 2 - 1] + values[count / 2]) / 2;
}

std::uint64_t Ratio(std::uint64_t numerator, std::uint64_t denominator) {
  return denominator == 0 ? 0 : (numerator * 1000 + denominator / 2) / denominator;
}

DWORD Failed(Kind kind, DWORD error) {
  WriteStdout({L"Benchmark stopped: ",
               kind == kLibrary ? L"IsBluetoothRadioEnabled" : L"the platform sequence",
               L" failed with error ", tools::Decimal(error).View(), L".\n"});
  return error;
}

}  // namespace

DWORD RunBenchmark(const RadioLibrary& library, std::uint32_t calls) {
  if (calls == 0 || calls > kMaxBenchmarkCalls) return ERROR_INVALID_PARAMETER;
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  const auto ticks_per_second = static_cast<std::uint64_t>(frequency.QuadPart);

  // Per-call times in nanoseconds, by kind.
  tools::HeapArray<std::uint64_t> samples[kKinds];
  for (tools::HeapArray<std::uint64_t>& kind_samples : samples) kind_samples.Grow(calls);

  // One of each first, so that no sample pays for loading and first-use set-up.
  for (std::uint32_t kind = 0; kind < kKinds; ++kind) {
    const DWORD error = CallOnce(library, static_cast<Kind>(kind));
    if (error != ERROR_SUCCESS) return Failed(static_cast<Kind>(kind), error);
  }
  for (std::uint32_t call = 0; call < calls; ++call) {
    // Rotating the order keeps any one kind from always following another.
    for (std::uint32_t step = 0; step < kKinds; ++step) {
      const auto kind = static_cast<Kind>((call + step) % kKinds);
      const std::int64_t start = Now();
      const DWORD error = CallOnce(library, kind);
      const auto elapsed = static_cast<std::uint64_t>(Now() - start);
      if (error != ERROR_SUCCESS) return Failed(kind, error);
      samples[kind].Data()[call] = elapsed * 1000000000ull / ticks_per_second;
    }
  }

  const std::uint64_t library_median = Median(samples[kLibrary].Data(), calls);
  const std::uint64_t platform_median = Median(samples[kPlatform].Data(), calls);
  const std::uint64_t with_lines_median = Median(samples[kPlatformWithLines].Data(), calls);
  WriteStdout({L"Calls: ", tools::Decimal(calls).View(), L" of each, interleaved.\n"});
  WriteStdout({L"IsBluetoothRadioEnabled: ", Thousandths(library_median).View(),
               L" us per call (median).\n"});
  WriteStdout(
      {L"Platform sequence: ", Thousandths(platform_median).View(), L" us per call (median).\n"});
  WriteStdout({L"Platform sequence and ", tools::Decimal(kLinesPerQuery).View(),
               L" debugger lines: ", Thousandths(with_lines_median).View(),
               L" us per call (median).\n"});
  WriteStdout({L"Ratio: ", Thousandths(Ratio(library_median, platform_median)).View(), L"\n"});
  WriteStdout({L"Ratio to the sequence with debugger lines: ",
               Thousandths(Ratio(library_median, with_lines_median)).View(), L"\n"});
  return ERROR_SUCCESS;
}

}  // namespace vantrel::radio
