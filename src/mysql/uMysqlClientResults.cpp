// TMysqlClient, its result sets: reading field lists and rows, turning an
// announced result set into a buffered or row-by-row TMysqlResult, and
// feeding a row-by-row result as its row source.

#include <new>

#include "mysql/uMysqlClient.h"
#include "mysql/uMysqlGreeting.h"
#include "mysql/uMysqlReplies.h"

namespace mysql {

bool TMysqlClient::ReadFieldList(std::uint32_t fieldCount) {
  std::vector<TFieldDescriptor> fields;
  const bool longFlags = (serverCapabilities_ & CLIENT_LONG_FLAG) != 0;
  for (;;) {
    if (SafeRead() < 0) return false;
    const TBytes packet = net_.Payload();
    if (IsEndOfData(packet)) break;
    // Field packets beyond the announced count are read and dropped.
    if (fields.size() == fieldCount) continue;
    auto field = DecodeFieldPacket(packet, Layout41(), longFlags);
    if (!field) {
      FailMalformed();
      return false;
    }
    fields.push_back(std::move(*field));
  }
  TakeEndOfData(false);
  // Fewer descriptions than announced columns: rows could not be matched to
  // columns (and a huge announced count must not size anything).
  if (fields.size() != fieldCount) {
    FailMalformed();
    return false;
  }
  pendingFields_ = std::move(fields);
  pendingFieldCount_ = fieldCount;
  return true;
}

bool TMysqlClient::ReadRows(std::vector<TFieldDescriptor>& fields, TRowStore& rows) {
  for (;;) {
    if (SafeRead() < 0) return false;
    const TBytes packet = net_.Payload();
    if (IsEndOfData(packet)) {
      TakeEndOfData(true);
      for (std::size_t column = 0; column < fields.size(); ++column)
        fields[column].MaxLength = rows.LongestValues()[column];
      return true;
    }
    if (!rows.Append(packet)) {
      FailMalformed();
      return false;
    }
  }
}

int TMysqlClient::ReadRow(std::size_t columns, TCurrentRow& row) {
  return GuardMemory(-1, [&] {
    const int read = ReadRowPacket(columns, row);
    // No row follows: the last one must outlive the packet buffer.
    if (read != 0) row.Keep();
    return read;
  });
}

int TMysqlClient::ReadRowPacket(std::size_t columns, TCurrentRow& row) {
  if (SafeRead() < 0) return -1;
  if (IsEndOfData(net_.Payload())) {
    TakeEndOfData(true);
    return 1;  // the previous row's values stay
  }
  if (!row.Assign(net_.MutablePayload(), columns)) {
    FailMalformed();
    return -1;
  }
  return 0;
}

void TMysqlClient::KeepActiveRow() noexcept {
  if (activeResult_ != nullptr) activeResult_->KeepRow();
}

void TMysqlClient::DrainRows() {
  // A stalled server must not hold the caller: after that long without a
  // byte the read fails and closes the connection. A slow server that keeps
  // sending is waited for to the end.
  const TReadSilenceScope bound(net_, DrainSeconds());
  while (SafeRead() >= 0) {
    if (IsEndOfData(net_.Payload())) {
      TakeEndOfData(true);
      return;
    }
  }
}

void TMysqlClient::TakeEndOfData(bool endsResult) {
  NoteReply();
  if (!Layout41()) return;
  if (const auto end = ParseEndOfData(net_.Payload())) {
    warningCount_ = end->WarningCount;
    TakeServerStatus(end->ServerStatus);
    // The end of a field list says nothing yet of results after this one.
    if (endsResult) moreResults_ = (serverStatus_ & SERVER_MORE_RESULTS_EXISTS) != 0;
    // Meaningful only where the client asked the server to report changes.
    if (sessionTracked_ && (serverStatus_ & SERVER_SESSION_STATE_CHANGED))
      session_.NoteStateChanged(lastEffects_);
  }
}

void TMysqlClient::FreeFields() {
  pendingFields_.clear();
  pendingFieldCount_ = 0;
}

std::unique_ptr<TMysqlResult> TMysqlClient::StoreResult() {
  if (pendingFields_.empty()) return nullptr;
  if (status_ != TMysqlStatus::ResultPending) {
    net_.SetClientError(ErrCommandsOutOfSync);
    return nullptr;
  }
  std::unique_ptr<TMysqlResult> result;
  try {
    std::vector<TFieldDescriptor> fields = std::move(pendingFields_);
    TRowStore rows(fields.size());
    if (ReadRows(fields, rows))
      result = std::make_unique<TMysqlResult>(std::move(fields), std::move(rows));
  } catch (const std::bad_alloc&) {
    // The rest of the rows are still on their way; only a new connection
    // gets the stream back in step.
    result.reset();
    net_.SetClientError(ErrOutOfMemory);
    net_.Close();
  }
  FreeFields();
  status_ = TMysqlStatus::Ready;
  if (!result) return nullptr;
  affectedRows_ = result->RowCount();
  return result;
}

std::unique_ptr<TMysqlResult> TMysqlClient::UseResult() {
  if (pendingFields_.empty()) return nullptr;
  if (status_ != TMysqlStatus::ResultPending) {
    net_.SetClientError(ErrCommandsOutOfSync);
    return nullptr;
  }
  // The result registers itself as the one being fed (Feed).
  TRowSource& source = *this;
  auto result = std::make_unique<TMysqlResult>(source, std::move(pendingFields_));
  FreeFields();
  status_ = TMysqlStatus::ReadingRows;
  // Reads the first row, which becomes the current one (BOF stays set).
  result->Next();
  return result;
}

void TMysqlClient::Feed(TRowSink& sink) {
  activeResult_ = &sink;
}

void TMysqlClient::EndRows(std::uint64_t rowsRead) {
  activeResult_ = nullptr;
  status_ = TMysqlStatus::Ready;
  if (net_.IsOpen()) static_cast<void>(net_.ShrinkBuffer());
  affectedRows_ = rowsRead;
}

void TMysqlClient::AbandonRows(std::uint64_t rowsRead) {
  if (status_ == TMysqlStatus::ReadingRows) {
    DrainRows();
    EndRows(rowsRead);
  }
  activeResult_ = nullptr;
}

}  // namespace mysql
