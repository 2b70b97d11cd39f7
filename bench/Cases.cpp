#include "bench/Cases.h"

#include <iostream>

namespace bench {

namespace {
// Loads nothing and reads nothing: the memory every child starts with.
Digest Idle(const CaseArgs&) {
  return {};
}
}  // namespace

void ReportTimed(double seconds) {
  std::cout << "timed_s " << seconds << std::endl;
}

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
      {"orbelin-statements-pingwait", OrbelinStatementsPingAwaited},
      {"orbelin-connect", OrbelinConnect},
      {"cc-buffered", ConnectorBuffered},
      {"cc-rowbyrow", ConnectorRowByRow},
      {"cc-statements", ConnectorStatements},
      {"cc-connect", ConnectorConnect},
      {"floor", RawFloor},
      {"floor-statements", RawFloorStatements},
      {"floor-statements-ping", RawFloorStatementsPing},
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
