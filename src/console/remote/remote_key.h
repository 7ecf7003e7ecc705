#pragma once
// The remote control's key: fresh at every start, from the system's
// cryptographic generator, written as hex digits to "remote.key" in the
// data folder, a file only the user who runs the program may open.

#include <string>

inline constexpr wchar_t remoteKeyFileName[] = L"remote.key";

struct RemoteKey {
  std::string hex;    // empty when no key could be made and written
  std::string error;  // why not, for the operator
};

// Replaces the folder's key file with a new key. An old file that cannot
// be removed is not reused (someone else may hold it open): no key then.
RemoteKey writeFreshRemoteKey(const std::wstring& folder);
