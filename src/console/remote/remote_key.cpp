#include "console/remote/remote_key.h"

#include "console/remote/remote_protocol.h"

#include <windows.h>
#include <bcrypt.h>

#include <memory>
#include <vector>

namespace {

struct HandleCloser {
  void operator()(HANDLE h) const {
    if (h && h != INVALID_HANDLE_VALUE) CloseHandle(h);
  }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

UniqueHandle owned(HANDLE h) { return UniqueHandle(h == INVALID_HANDLE_VALUE ? nullptr : h); }

// The token's user: the only one the key file lets in.
std::vector<unsigned char> currentUser() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  const UniqueHandle token = owned(raw);
  DWORD size = 0;
  GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> user(size);
  if (size == 0 || !GetTokenInformation(token.get(), TokenUser, user.data(), size, &size)) return {};
  return user;
}

// A protected DACL (nothing inherited from the folder) with one entry: full
// access for the user. The descriptor points into acl.
bool ownerOnly(PSID user, std::vector<unsigned char>& acl, SECURITY_DESCRIPTOR& descriptor) {
  acl.assign(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(user), 0);
  auto* list = reinterpret_cast<PACL>(acl.data());
  return InitializeAcl(list, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
         AddAccessAllowedAce(list, ACL_REVISION, FILE_ALL_ACCESS, user) &&
         InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION) &&
         SetSecurityDescriptorDacl(&descriptor, TRUE, list, FALSE) &&
         SetSecurityDescriptorControl(&descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

}  // namespace

RemoteKey writeFreshRemoteKey(const std::wstring& folder) {
  unsigned char bytes[remoteKeyBytes];
  if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG))) {
    return {{}, "the system gave no random numbers for the key"};
  }
  const std::string hex = keyHex(bytes, sizeof bytes);
  SecureZeroMemory(bytes, sizeof bytes);

  const std::vector<unsigned char> user = currentUser();
  std::vector<unsigned char> acl;
  SECURITY_DESCRIPTOR descriptor;
  if (user.empty() || !ownerOnly(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid, acl, descriptor)) {
    return {{}, "the key file's access list could not be made"};
  }
  // A new file every time: the access list is set as it is created, and a
  // handle someone opened on an earlier key file never sees this key.
  const std::wstring path = folder + L"\\" + remoteKeyFileName;
  if (!DeleteFileW(path.c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) {
    return {{}, "the old remote.key could not be replaced"};
  }
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, &descriptor, FALSE};
  UniqueHandle file =
      owned(CreateFileW(path.c_str(), GENERIC_WRITE, 0, &attributes, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return {{}, "remote.key could not be created"};
  DWORD written = 0;
  if (!WriteFile(file.get(), hex.data(), static_cast<DWORD>(hex.size()), &written, nullptr) ||
      written != hex.size()) {
    // No half key is left for a client to stumble over.
    file.reset();
    DeleteFileW(path.c_str());
    return {{}, "remote.key could not be written"};
  }
  return {hex, {}};
}
