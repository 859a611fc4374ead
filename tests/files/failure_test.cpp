#include "files/failure.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <filesystem>

#include "support/temp_dir.h"
#endif

namespace kestrel {
namespace {

// An error the system reported without a number is an I/O error, wherever it arises.
TEST(OsErrors, NoNumberIsADeviceError) { EXPECT_EQ(failure_from_os_error(0).number(), 57); }

TEST(WindowsErrors, MapOntoTheTable) {
  struct Case {
    unsigned long windows_error;
    int number;
    std::string description;
  };
  const std::vector<Case> cases = {
      {2, 53, "File not found"},                        // ERROR_FILE_NOT_FOUND
      {3, 76, "Path not found"},                        // ERROR_PATH_NOT_FOUND
      {15, 76, "Path not found"},                       // ERROR_INVALID_DRIVE
      {53, 76, "Path not found"},                       // ERROR_BAD_NETPATH
      {267, 76, "Path not found"},                      // ERROR_DIRECTORY
      {4, 67, "Too many files"},                        // ERROR_TOO_MANY_OPEN_FILES
      {5, 75, "Path/File access error"},                // ERROR_ACCESS_DENIED
      {32, 70, "Permission denied"},                    // ERROR_SHARING_VIOLATION
      {33, 70, "Permission denied"},                    // ERROR_LOCK_VIOLATION
      {19, 70, "Permission denied"},                    // ERROR_WRITE_PROTECT
      {112, 61, "Disk full"},                           // ERROR_DISK_FULL
      {39, 61, "Disk full"},                            // ERROR_HANDLE_DISK_FULL
      {123, 52, "Bad file name or number"},             // ERROR_INVALID_NAME
      {206, 52, "Bad file name or number"},             // ERROR_FILENAME_EXCED_RANGE
      {30, 57, "Device I/O error"},                     // ERROR_READ_FAULT
      {1921, 81, "Too many levels of symbolic links"},  // ERROR_CANT_RESOLVE_FILENAME
      {0xFFFFFFFF, 57, "Device I/O error"},
  };
  for (const Case& c : cases) {
    const Failure failure = failure_from_windows_error(c.windows_error);
    EXPECT_EQ(failure.number(), c.number) << c.windows_error;
    EXPECT_EQ(failure.description(), c.description) << c.windows_error;
  }
}

#ifdef _WIN32
// The codes the table relies on are the ones the system gives for these situations.
TEST(WindowsErrors, TheSystemsOwnErrorsMapAsTheTableSays) {
  testing::CurrentTempDir dir;
  std::filesystem::create_directory("folder");
  const HANDLE held = CreateFileW(L"held.bas", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  struct Case {
    const wchar_t* path;
    int number;
  };
  const std::vector<Case> cases = {
      {L"missing.bas", 53},
      {L"no_such_folder\\x.bas", 76},
      {L"folder", 75},
      {L"held.bas", 70},
  };
  for (const Case& c : cases) {
    const HANDLE file = CreateFileW(c.path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    const DWORD error = GetLastError();
    EXPECT_EQ(file, INVALID_HANDLE_VALUE);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    EXPECT_EQ(failure_from_windows_error(error).number(), c.number) << error;
  }
  CloseHandle(held);
}
#endif

}  // namespace
}  // namespace kestrel
