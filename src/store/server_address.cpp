#include "store/server_address.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "store/ku.h"
#include "store/record_keys.h"

namespace vellumo {

std::string StoredServerAddress(Ku& db) {
  std::vector<std::uint8_t> value;
  if (db.GetValue(record_keys::kServerAddressKey, &value) != 0) return {};
  std::string text(value.begin(), value.end());
  text.resize(std::min({text.size(), text.find('\0'), kServerAddressMaxBytes}));
  return text;
}

int StoreServerAddress(Ku& db, std::string_view ansiAddress) {
  const std::string_view text = ansiAddress.substr(0, kServerAddressMaxBytes);
  if (text.empty()) return db.Put(record_keys::kServerAddressKey, nullptr, 0);
  std::vector<std::uint8_t> value(text.begin(), text.end());
  value.push_back(0);
  return db.Put(record_keys::kServerAddressKey, value.data(), static_cast<std::uint32_t>(value.size()));
}

}  // namespace vellumo
