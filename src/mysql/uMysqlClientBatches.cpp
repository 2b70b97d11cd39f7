// TMysqlClient, rows written in batches: statements whose rows are uploaded
// from memory, and the transaction the session opens for a batch that must
// stand or fall as one.

#include <algorithm>

#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlLocalInfile.h"

namespace mysql {

TQueryResult TMysqlClient::QueryUploading(std::string_view statement, const TMemoryUpload& upload) {
  const TValueScope<const TMemoryUpload*> offered(upload_, &upload);
  return Query(statement, true);
}

int TMysqlClient::SendUpload(const TMemoryUpload& upload) {
  const std::span<const std::uint8_t> data = upload.Data;
  for (std::size_t at = 0; at < data.size(); at += kLocalFileBlock) {
    if (net_.WritePacket(data.subspan(at, std::min(kLocalFileBlock, data.size() - at))) != 0) {
      net_.SetClientError(ErrServerLost);
      return -1;
    }
  }
  return RefuseLocalFile();  // the empty packet that ends the upload
}

bool TMysqlClient::BeginOwnTransaction() {
  if (!Query("START TRANSACTION", true).Ok) return false;
  ownTransaction_ = TOwnTransaction::Open;
  return true;
}

bool TMysqlClient::EndOwnTransaction(bool commit) {
  // A connection found closed took the transaction along; noting that while
  // it is still the session's own keeps the script's session out of it.
  if (ownTransaction_ == TOwnTransaction::Open && !net_.IsOpen()) NoteLostConnection();
  bool ended = false;
  if (ownTransaction_ == TOwnTransaction::Open) {
    ended = RunOwnStatement(commit ? "COMMIT" : "ROLLBACK");
    if (!net_.IsOpen()) NoteLostConnection();
  }
  ownTransaction_ = TOwnTransaction::None;
  return ended;
}

}  // namespace mysql
