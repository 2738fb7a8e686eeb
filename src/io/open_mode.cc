#include "io/open_mode.h"

namespace vexa {

OpenMode ParseOpenMode(std::string_view mode) {
  auto has = [&](char c) { return mode.find(c) != std::string_view::npos; };
  OpenMode m;
  m.valid = true;
  if (has('+')) {
    m.reads = m.writes = true;
    if (has('w')) {
      m.create = m.truncate = true;
    } else if (has('a')) {
      m.create = m.append = true;
    }
  } else if (has('r')) {
    m.reads = true;
  } else if (has('w')) {
    m.writes = m.create = m.truncate = true;
  } else if (has('a')) {
    m.writes = m.create = m.append = true;
  } else {
    m.valid = false;
  }
  m.delete_on_close = has('D');
  m.exclusive = has('x') && m.create;
  m.new_only = (m.exclusive || has('n')) && m.create;
  m.unnamed = has('u') && m.truncate && m.reads && m.writes;
  return m;
}

}  // namespace vexa
