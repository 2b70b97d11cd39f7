// TDalvora: the connection object a script creates as "AddIn.Dalvora". On
// top of the host bridge it holds one database session, at most one current
// result and the AutoType switch; the handlers of the shared member table
// (TModule) work on exactly this state of the object that called them.
#pragma once

#include <cstdint>
#include <memory>

#include "addin/AddinComObjectUnit.h"
#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlResult.h"

namespace connection {

class TDalvora final : public addin::TAddin {
 public:
  // For the class factory: a new object holding its creator's reference.
  static IUnknown* Create();

  // The object that made a member-table request; fails for any other add-in.
  static TDalvora& Of(addin::TAddin& sender);

  // The session; exists from Init to Done, and asking outside that fails.
  mysql::TMysqlClient& Client();

  // None when there is no current result.
  mysql::TMysqlResult* CurrentResult() noexcept { return currentResult_.get(); }
  // Releases the current result first (a row-by-row one reads its remaining
  // rows), then keeps the new one, which may be none.
  void ReplaceResult(std::unique_ptr<mysql::TMysqlResult> result) noexcept;

  bool AutoType() const noexcept { return autoType_; }
  void SetAutoType(bool value) noexcept { autoType_ = value; }

  // Whether Query asked for buffered results; NextResult takes the further
  // results of the same statement the same way.
  bool ResultsBuffered() const noexcept { return resultsBuffered_; }
  void SetResultsBuffered(bool value) noexcept { resultsBuffered_ = value; }
  // What writing tables (PutAll) learnt of the server, good for the
  // connection it was learnt on (the session's ConnectionSerial).
  struct TWriteLimits {
    std::uint64_t Connection = 0;
    std::uint64_t MaxPacket = 0;  // 0: not learnt
    bool LocalFilesRefused = false;
  };
  TWriteLimits& WriteLimits() noexcept { return writeLimits_; }

 protected:
  // After the host probe: attach to the shared member table, make the session.
  HRESULT DoInit() override;
  // The result goes before the session it may still refer to.
  HRESULT DoDone() override;

 private:
  TDalvora() = default;
  ~TDalvora() override;

  std::unique_ptr<mysql::TMysqlClient> client_;
  std::unique_ptr<mysql::TMysqlResult> currentResult_;
  bool autoType_ = false;
  bool resultsBuffered_ = false;
  TWriteLimits writeLimits_;
};

}  // namespace connection
