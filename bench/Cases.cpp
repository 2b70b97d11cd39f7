#include "bench/Cases.h"

namespace bench {

namespace {
// Loads nothing and reads nothing: the memory every child starts with.
Digest Idle(const CaseArgs&) {
  return {};
}
}  // namespace

std::string Digest::Line() const {
  return "rows " + std::to_string(Rows) + " values " + std::to_string(Values) + " bytes " +
         std::to_string(Bytes);
}

const std::vector<CaseEntry>& AllCases() {
  static const std::vector<CaseEntry> cases = {
      {"idle", Idle},
      {"orbelin-buffered", OrbelinBuffered},
      {"orbelin-rowbyrow", OrbelinRowByRow},
      {"orbelin-statements", OrbelinStatements},
      {"orbelin-statements-noping", OrbelinStatementsNoPing},
      {"cc-buffered", ConnectorBuffered},
      {"cc-rowbyrow", ConnectorRowByRow},
      {"cc-statements", ConnectorStatements},
      {"floor", RawFloor},
      {"host-query", HostQueryRowsCount},
      {"host-last", HostQueryLast},
      {"host-loop", HostFetchValueLoop},
      {"host-fetchall", HostFetchAll},
      {"host-fetchall-autotype", HostFetchAllAutoType},
      {"host-fill-baseline", HostFillBaseline},
  };
  return cases;
}

}  // namespace bench
