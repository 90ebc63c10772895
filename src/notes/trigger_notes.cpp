#include "notes/trigger_notes.h"

#include "model/notes.h"
#include "model/records.h"
#include "platform/bytes.h"

namespace vellumo::notes {

namespace {

struct Collect {
  unsigned code;
  HeldModifiers held;
  std::vector<std::uint32_t> notes;
};

int CollectOpened(const std::uint8_t* key, std::uint32_t length, const std::uint8_t* valueHeader, void* context,
                  Ku&) {
  auto& collect = *static_cast<Collect*>(context);
  // Trigger flags are 4 bytes and therefore stored in the header itself.
  if (length != 6 || key[0] != model::kNoteMetaKind || key[1] != model::kMetaTriggers) return 1;
  if (LoadU16LE(valueHeader) != 4) return 1;
  const std::uint32_t flags = LoadU32LE(valueHeader + 2);
  if (model::trigger::Opens(flags, collect.code, collect.held.shift, collect.held.ctrl, collect.held.alt))
    collect.notes.push_back(LoadU32LE(key + 2));
  return 1;
}

}  // namespace

std::vector<std::uint32_t> NotesOpenedBy(Ku& db, unsigned triggerCode, HeldModifiers held) {
  Collect collect{triggerCode, held, {}};
  const model::Key start{model::kNoteMetaKind, model::kMetaTriggers, 0, 0, 0, 0};
  db.Scan(start, 3, 6, &CollectOpened, &collect);
  return collect.notes;
}

}  // namespace vellumo::notes
