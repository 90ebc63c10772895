#include "test_store.h"

#include <cstdlib>

#include "pg_store.h"

namespace vellumo::syncd::testing {

TestStore::TestStore() {
  if (const char* url = std::getenv("VELLUMO_TEST_POSTGRES"); url != nullptr && *url != '\0') url_ = url;
  opened_ = OpenStore(dir_.path(), url_);
  if (auto* pg = dynamic_cast<PgStore*>(opened_.store.get())) pg->EraseEverythingForTests();
}

}  // namespace vellumo::syncd::testing
