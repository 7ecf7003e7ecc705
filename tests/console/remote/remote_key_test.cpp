// The remote control's key file: a new key at every start, a file only the
// user who runs the program may open, never an old file someone holds open.

#include "console/remote/remote_key.h"
#include "test_files.h"

#include <windows.h>
#include <aclapi.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(RemoteKey, IsFreshAtEveryStartAndForTheUserOnly) {
  wchar_t temp[MAX_PATH];
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"remote_key_test";
  CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring path = folder + L"\\remote.key";

  const RemoteKey first = writeFreshRemoteKey(folder);
  const RemoteKey second = writeFreshRemoteKey(folder);
  ASSERT_EQ(second.hex.size(), 32u) << second.error;
  EXPECT_EQ(second.hex.find_first_not_of("0123456789abcdef"), std::string::npos);
  EXPECT_NE(first.hex, second.hex);
  EXPECT_EQ(testfiles::readBytes(path.c_str()), second.hex);

  // Nobody but the user may open it. (Wine keeps no access list of its
  // own: it derives one from the file's Unix mode, the system account
  // included, and a file made without the list would show "Everyone".)
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_EQ(GetNamedSecurityInfoW(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                                  nullptr, &descriptor),
            static_cast<DWORD>(ERROR_SUCCESS));
  ASSERT_NE(dacl, nullptr);
  HANDLE token = nullptr;
  OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token);
  unsigned char user[256] = {};
  DWORD size = sizeof user;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
  CloseHandle(token);
  const PSID userSid = reinterpret_cast<const TOKEN_USER*>(user)->User.Sid;
  int forUser = 0;
  for (int i = 0; i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, i, reinterpret_cast<void**>(&ace)));
    const PSID sid = &ace->SidStart;
    forUser += EqualSid(sid, userSid) ? 1 : 0;
    EXPECT_TRUE(EqualSid(sid, userSid) || IsWellKnownSid(sid, WinLocalSystemSid)) << "entry " << i;
  }
  EXPECT_EQ(forUser, 1);
  LocalFree(descriptor);

  // Someone holds the old file open: it is not reused, and keeps its key.
  const HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const RemoteKey third = writeFreshRemoteKey(folder);
  EXPECT_TRUE(third.hex.empty());
  EXPECT_EQ(third.error, "the old remote.key could not be replaced");
  CloseHandle(held);
  EXPECT_EQ(testfiles::readBytes(path.c_str()), second.hex);
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

}  // namespace
