// Writes a large database for start-up measurements: NOTES notes of ITEMS
// items each, with contents of about 1 KB, through the model's own
// operations.   make_large_database FILE.ku NOTES ITEMS
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>

#include "model/item_operations.h"
#include "model/notes.h"
#include "store/ku.h"

namespace {
struct Quiet : vellumo::model::ModelNotifier {
  void ShowMessage(std::u16string_view, std::u16string_view) override {}
};
}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: make_large_database FILE.ku NOTES ITEMS\n");
    return 2;
  }
  const std::filesystem::path ku = argv[1];
  std::filesystem::path hs = ku;
  hs.replace_extension(".hs");
  vellumo::Ku db;
  const auto opened = db.OpenFiles(ku, hs);
  if (opened != vellumo::OpenResult::Created && opened != vellumo::OpenResult::Opened) return 1;
  Quiet quiet;
  vellumo::model::ItemSyncHooks sync;
  vellumo::model::AppMutex appMutex;
  vellumo::model::ItemOperations ops(db, quiet, sync, appMutex);
  const int notes = std::atoi(argv[2]), items = std::atoi(argv[3]);
  std::u16string filler;
  for (int i = 0; i < 500; ++i) filler.push_back(static_cast<char16_t>(u'一' + (i * 37) % 2000));
  for (int n = 1; n <= notes; ++n) {
    const std::uint32_t note = vellumo::model::CreateNote(db);
    for (int i = 0; i < items; ++i) {
      std::u16string title = u"项目 " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26));
      title += static_cast<char16_t>(u'0' + i % 10);
      if (ops.CreateItem(note, title, u"<v>" + filler, false) == 0) return 1;
    }
  }
  db.Close();
  std::printf("%s: %llu bytes\n", argv[1], static_cast<unsigned long long>(std::filesystem::file_size(ku)));
  return 0;
}
