#include "protect/reencrypt.h"

#include <string>
#include <vector>

#include "model/items.h"
#include "model/notes.h"
#include "model/records.h"
#include "platform/utf16_bytes.h"
#include "protect/secret_content.h"
#include "protect/wipe_guard.h"

namespace vellumo::protect {

std::uint32_t ReencryptNoteItems(Ku& database, const ContentProtection& current, std::uint32_t note,
                                 const ContentKey& newKey) {
  if (!current.IsUnlocked()) return 0;
  std::uint32_t rewritten = 0;
  for (const std::uint32_t item : model::ListItems(database, note)) {
    const std::u16string content = model::GetItemContent(database, note, item);
    if (!IsSecretContent(content)) continue;
    std::vector<std::uint8_t> plain = current.DecryptContent(Utf16ToBytes(SecretBody(content)));
    WipeGuard wipePlain(plain);
    if (plain.empty()) continue;
    // The padding stays part of the body, so the body keeps its length and
    // its text exactly, zero code units inside it included.
    std::u16string plainContent(kSecretTagUnits + plain.size() / 2, u'\0');
    WipeGuard wipePlainContent(plainContent);
    SecretTag(content).copy(plainContent.data(), kSecretTagUnits);
    Utf16FromBytesInto(plain, std::span(plainContent).subspan(kSecretTagUnits));
    std::u16string stored;
    if (StoredSecretContent(plainContent, newKey, stored) != StoreContentError::kOk) continue;
    if (stored.size() != content.size()) continue;
    if (model::PutItemContent(database, note, item, stored) == 0) ++rewritten;
  }
  return rewritten;
}

ReplaceKeyResult ReplaceContentKey(Ku& database, ContentProtection& protection, const ContentKey& newKey) {
  ReplaceKeyResult result;
  if (!protection.IsUnlocked()) return result;
  for (const std::uint32_t note : model::ListNotes(database))
    result.rewritten += ReencryptNoteItems(database, protection, note, newKey);
  result.replaced = protection.RewrapContentKey(&newKey, nullptr);
  return result;
}

}  // namespace vellumo::protect
