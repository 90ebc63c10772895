#include "shell/sync_identity.h"

#include <windows.h>

#include <vector>

#include "store/ku.h"
#include "store/record_keys.h"

namespace vellumo::shell {
namespace {

constexpr wchar_t kRegistryKey[] = L"Software\\Vellumo";
constexpr wchar_t kClientIdValue[] = L"SyncClientId";

class RegistryKey {
 public:
  RegistryKey() { (void)::RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key_, nullptr); }
  ~RegistryKey() {
    if (key_) ::RegCloseKey(key_);
  }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

std::uint32_t SyncClientId() {
  RegistryKey key;
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (key.get() && ::RegQueryValueExW(key.get(), kClientIdValue, nullptr, &type, reinterpret_cast<BYTE*>(&value),
                                      &size) == ERROR_SUCCESS &&
      type == REG_DWORD && value != 0)
    return value;
  std::uint32_t drawn = 0;
  if (!sync::DrawIdentifier(drawn)) return 0;
  if (key.get()) {
    value = drawn;
    (void)::RegSetValueExW(key.get(), kClientIdValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
  }
  return drawn;
}

std::uint32_t SyncDatabaseId(Ku& db) {
  std::uint8_t raw[4] = {};
  std::uint32_t length = sizeof raw;
  if (db.Get(record_keys::kDatabaseIdKey, raw, &length) == 0 && length >= 4)
    return raw[0] | raw[1] << 8 | raw[2] << 16 | static_cast<std::uint32_t>(raw[3]) << 24;
  std::uint32_t drawn = 0;
  if (!sync::DrawIdentifier(drawn)) return 0;
  for (int i = 0; i < 4; ++i) raw[i] = static_cast<std::uint8_t>(drawn >> (8 * i));
  (void)db.Put(record_keys::kDatabaseIdKey, raw, 4);
  return drawn;
}

sync::ProgramVersion RunningProgramVersion() {
  wchar_t path[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return {};
  std::vector<char> block(size);
  if (!::GetFileVersionInfoW(path, 0, size, block.data())) return {};
  VS_FIXEDFILEINFO* info = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &length) || !info) return {};
  return sync::VersionFromFileVersionMs(info->dwFileVersionMS);
}

}  // namespace vellumo::shell
