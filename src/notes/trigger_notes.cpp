#include "notes/trigger_notes.h"

#include <array>

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
                  Ku& database) {
  auto& collect = *static_cast<Collect*>(context);
  if (length != 6 || key[0] != model::kNoteMetaKind || key[1] != model::kMetaTriggers) return 1;
  const ScannedValue value(valueHeader, database);
  std::array<std::uint8_t, 4> bytes{};
  if (value.Length() != bytes.size() || value.Read(bytes) != 0) return 1;
  const std::uint32_t flags = LoadU32LE(bytes.data());
  if (model::trigger::Opens(flags, collect.code, collect.held.shift, collect.held.ctrl, collect.held.alt))
    collect.notes.push_back(LoadU32LE(key + 2));
  return 1;
}

}  // namespace

std::vector<std::uint32_t> NotesOpenedBy(Ku& db, unsigned triggerCode, HeldModifiers held) {
  Collect collect{triggerCode, held, {}};
  const model::Key start = model::NoteMetaKey(model::kMetaTriggers, 0);
  db.Scan(start, 3, 6, &CollectOpened, &collect);
  return collect.notes;
}

}  // namespace vellumo::notes
