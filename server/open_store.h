#pragma once
// Picks the back end from the command line.
#include <filesystem>
#include <memory>
#include <string>

#include "hub.h"
#include "store.h"

namespace vellumo::syncd {

// Carries changes between server processes that share one database.
class ChangeFeed {
 public:
  virtual ~ChangeFeed() = default;
  // Starts listening and relays the hub's local changes to the others.
  virtual void Attach(Hub& hub) = 0;
  virtual void Detach() = 0;
};

struct OpenedStore {
  std::unique_ptr<Store> store;
  std::unique_ptr<ChangeFeed> feed;  // null for the embedded store
};

// Throws StoreFailure.
[[nodiscard]] OpenedStore OpenStore(const std::filesystem::path& dataDir, const std::string& postgresUrl,
                                    std::size_t postgresConnections = 8);

}  // namespace vellumo::syncd
