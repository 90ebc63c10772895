#include "notes/note_host.h"

namespace vellumo::notes {

NoteHost& Host() {
  static NoteHost host;
  return host;
}

}  // namespace vellumo::notes
