#include "open_store.h"

#include "pg_store.h"
#include "sqlite_store.h"

namespace vellumo::syncd {

OpenedStore OpenStore(const std::filesystem::path& dataDir, const std::string& postgresUrl,
                      std::size_t postgresConnections) {
  OpenedStore opened;
  if (!postgresUrl.empty()) {
    auto pg = std::make_unique<PgStore>(postgresUrl, postgresConnections);
    opened.feed = std::make_unique<PgChangeFeed>(*pg);
    opened.store = std::move(pg);
    return opened;
  }
  opened.store = std::make_unique<SqliteStore>(dataDir);
  return opened;
}

}  // namespace vellumo::syncd
