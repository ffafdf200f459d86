#include "threads_check.h"

#include <cstdint>

#include "../tool_support.h"
#include "console.h"
#include "handle_count.h"

namespace vantrel::radio {
namespace {

constexpr int kQueryThreads = 4;
constexpr std::uint32_t kQueriesPerThread = 100;
constexpr std::uint32_t kSwitches = 4;
// Placed in the BOOL before each query, so an answer that was never stored shows.
constexpr BOOL kUnwritten = 0x5A5A5A5A;

struct Shared {
  const RadioLibrary* library;
  volatile LONG queries;
  volatile LONG failed_queries;
  volatile LONG out_of_range;
  volatile LONG switches;
  volatile LONG failed_switches;
};

DWORD WINAPI QueryThread(void* parameter) {
  Shared& shared = *static_cast<Shared*>(parameter);
  for (std::uint32_t i = 0; i < kQueriesPerThread; ++i) {
    BOOL enabled = kUnwritten;
    const DWORD error = shared.library->IsEnabled(&enabled);
    InterlockedIncrement(&shared.queries);
    if (error != ERROR_SUCCESS) {
      InterlockedIncrement(&shared.failed_queries);
    } else if (enabled != FALSE && enabled != TRUE) {
      InterlockedIncrement(&shared.out_of_range);
    }
  }
  return 0;
}

DWORD WINAPI SwitchThread(void* parameter) {
  Shared& shared = *static_cast<Shared*>(parameter);
  for (std::uint32_t i = 0; i < kSwitches; ++i) {
    InterlockedIncrement(&shared.switches);
    if (shared.library->Enable(i % 2 == 0 ? TRUE : FALSE) != ERROR_SUCCESS) {
      InterlockedIncrement(&shared.failed_switches);
    }
  }
  return 0;
}

// Starts the threads, waits for all of them and closes their handles; false if one of them
// could not be started (those started have still ended).
bool RunThreads(Shared& shared, DWORD& error) {
  HANDLE threads[kQueryThreads + 1] = {};
  int started = 0;
  error = ERROR_SUCCESS;
  for (int i = 0; i <= kQueryThreads && error == ERROR_SUCCESS; ++i) {
    LPTHREAD_START_ROUTINE routine = i == 0 ? SwitchThread : QueryThread;
    threads[i] = CreateThread(nullptr, 0, routine, &shared, 0, nullptr);
    if (threads[i] == nullptr) {
      error = GetLastError();
    } else {
      ++started;
    }
  }
  WaitForMultipleObjects(static_cast<DWORD>(started), threads, TRUE, INFINITE);
  for (int i = 0; i < started; ++i) CloseHandle(threads[i]);
  return error == ERROR_SUCCESS;
}

}  // namespace

DWORD RunThreadsCheck(const RadioLibrary& library) {
  // One call first: the platform opens some handles for good on first use (keys, the device
  // manager's state), and those are not the library's.
  BOOL enabled = FALSE;
  library.IsEnabled(&enabled);
  const std::uint32_t handles_before = CountOpenHandles();

  Shared shared{};
  shared.library = &library;
  DWORD error = ERROR_SUCCESS;
  if (!RunThreads(shared, error)) {
    WriteStdout({L"A thread could not be started: error ", tools::Decimal(error).View(), L".\n"});
    return error;
  }
  const std::uint32_t handles_after = CountOpenHandles();

  using tools::Decimal;
  WriteStdout({L"Queries: ", Decimal(static_cast<std::uint32_t>(shared.queries)).View(),
               L", failed: ", Decimal(static_cast<std::uint32_t>(shared.failed_queries)).View(),
               L", out of range: ", Decimal(static_cast<std::uint32_t>(shared.out_of_range)).View(),
               L".\n"});
  WriteStdout({L"Switches: ", Decimal(static_cast<std::uint32_t>(shared.switches)).View(),
               L", failed: ", Decimal(static_cast<std::uint32_t>(shared.failed_switches)).View(),
               L".\n"});
  WriteStdout({L"Handles: ", Decimal(handles_before).View(), L" before, ",
               Decimal(handles_after).View(), L" after.\n"});
  if (shared.failed_queries != 0 || shared.out_of_range != 0 || shared.failed_switches != 0) {
    return ERROR_INVALID_DATA;
  }
  return handles_after == handles_before ? ERROR_SUCCESS : ERROR_TOO_MANY_OPEN_FILES;
}

}  // namespace vantrel::radio
