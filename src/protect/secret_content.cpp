#include "protect/secret_content.h"

#include "model/items.h"

namespace vellumo::protect {

namespace {

template <typename Encrypt>
StoreContentError StoredWith(std::u16string_view plainContent, std::u16string& out, Encrypt encrypt) {
  out.clear();
  // Checked before encrypting, so that a refused body is never put into a
  // cipher text only to be thrown away.
  if (StoredContentUnits(plainContent) > model::kMaxStoredContentChars) return StoreContentError::kTooLong;
  if (!IsSecretContent(plainContent)) {
    out.assign(plainContent);
    return StoreContentError::kOk;
  }
  const std::u16string body = encrypt(SecretBody(plainContent));
  if (body.empty()) return StoreContentError::kLocked;
  out.reserve(kSecretTagUnits + body.size());
  out.assign(SecretTag(plainContent));
  out += body;
  return StoreContentError::kOk;
}

}  // namespace

StoreContentError StoredSecretContent(std::u16string_view plainContent, const ContentProtection& protection,
                                      std::u16string& out) {
  return StoredWith(plainContent, out,
                    [&protection](std::u16string_view body) { return protection.EncryptBody(body); });
}

StoreContentError StoredSecretContent(std::u16string_view plainContent, const ContentKey& key, std::u16string& out) {
  return StoredWith(plainContent, out, [&key](std::u16string_view body) { return EncryptBody(body, key); });
}

std::u16string PlainSecretContent(std::u16string_view storedContent, const ContentProtection& protection) {
  if (!IsSecretContent(storedContent)) return std::u16string(storedContent);
  return std::u16string(SecretTag(storedContent)) + protection.DecryptBody(SecretBody(storedContent));
}

}  // namespace vellumo::protect
