#include "protect/reencrypt.h"

#include <string>
#include <vector>

#include "model/items.h"
#include "model/records.h"
#include "platform/secure_random.h"

namespace vellumo::protect {


std::uint32_t ReencryptNoteItems(Ku& database, const ContentProtection& current, std::uint32_t note,
                                 const ContentKey& newKey) {
  if (!current.IsUnlocked()) return 0;
  std::uint32_t rewritten = 0;
  for (const std::uint32_t item : model::ListItems(database, note)) {
    const std::u16string content = model::GetItemContent(database, note, item);
    if (content.size() <= 3) continue;
    const std::u16string_view tag = std::u16string_view(content).substr(0, 3);
    if (tag != u"<k>" && tag != u"<K>") continue;
    const std::vector<std::uint8_t> body = Utf16ToBytes(std::u16string_view(content).substr(3));
    std::vector<std::uint8_t> plain = current.DecryptContent(body);
    if (plain.empty()) continue;
    std::vector<std::uint8_t> cipher = EncryptContent(plain, newKey);
    platform::SecureWipe(plain.data(), plain.size());
    if (cipher.size() != body.size()) continue;
    if (model::PutItemContent(database, note, item, std::u16string(tag) + Utf16FromBytes(cipher)) == 0) ++rewritten;
  }
  return rewritten;
}

}  // namespace vellumo::protect
