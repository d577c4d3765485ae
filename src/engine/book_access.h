// The grid workbook behind an engine, for the engine's own code and its tests. Code above
// the engine reaches cells through CDT_IF only.
#pragma once

class CDT_IF;

namespace ddt::grid {
class Workbook;
}

namespace ddt::engine {

class BookAccess {
 public:
  // The workbook of a grid-backed engine (both bindings are); null for any other engine.
  static grid::Workbook* Of(CDT_IF* engine);
  static grid::Workbook& Of(CDT_IF& engine);  // throws GridError for another engine
};

}  // namespace ddt::engine
