#include "connection/handlers/TablePut.h"

#include <algorithm>
#include <charconv>
#include <exception>
#include <new>
#include <optional>
#include <stdexcept>
#include <string_view>

#include "addin/HostDialect.h"
#include "connection/handlers/HandlerValues.h"
#include "connection/handlers/PutStatements.h"
#include "connection/handlers/StatusLine.h"
#include "connection/values/SqlValueText.h"
#include "mysql/uMysqlCharsets.h"
#include "mysql/uMysqlCodec.h"
#include "mysql/uMysqlErrors.h"
#include "mysql/uMysqlFieldPacket.h"

namespace connection {

namespace {

using platform::TOleVariant;

// More would not go measurably faster (one round trip per 16 MiB is
// nothing), and the add-in lives in a 32-bit host's address space.
constexpr std::uint64_t kLargestBatch = 16u << 20;
// What a statement of rows leaves free of max_allowed_packet. The server
// refuses a packet that reaches the limit, and under the compressed protocol
// it counts the packet's 4-byte header and what is left of the block before
// it; the command byte comes on top of the text.
constexpr std::uint64_t kPacketRoom = 64;
// What LOAD DATA calls the rows uploaded from memory.
constexpr std::string_view kUploadName = "orbelin-put-all";
// Where, inside the script's transaction, a batch can be taken back to.
constexpr std::string_view kSavepoint = "orbelin_put_all";

// The server's ways of refusing LOAD DATA LOCAL before any row is sent: the
// command is not allowed (older servers), local data is disabled (MySQL 8),
// the local infile capability is off (MariaDB).
bool RefusesLocalFiles(std::int32_t error) {
  return error == 1148 || error == 3948 || error == 4166;
}

// Why writing stopped: an error number and its message.
class TPutFailure : public std::runtime_error {
 public:
  TPutFailure(std::int32_t number, const std::string& message)
      : std::runtime_error(message), Number(number) {}
  std::int32_t Number;
};

TPutFailure ClientFailure(std::int32_t number, std::initializer_list<mysql::TErrorArg> args) {
  return {number, mysql::FormatClientError(number, args)};
}

// A statement refused without a new error (the connection closed and not
// to be made again) fails as one that could not be sent: -1 never comes
// with LastErrorNo 0, which says that every line was written.
TPutFailure LastFailure(const mysql::TMysqlClient& client) {
  if (client.LastErrorNo() == 0) return ClientFailure(mysql::ErrServerGone, {});
  return {client.LastErrorNo(), client.LastError()};
}

// The lines [First, End) of the host table as one statement's rows.
struct TBatch {
  std::int32_t First = 0;
  std::int32_t End = 0;
  std::uint64_t Rows = 0;
  std::string Text;
};

// A batch that stands or falls as one. LOAD DATA LOCAL without REPLACE or
// IGNORE takes rows as if IGNORE were given (the server cannot stop an upload
// half-way): a duplicate is skipped and a value the server must change is
// changed, where INSERT would fail. Such a batch is taken back: to a
// savepoint inside the script's transaction, by the session's own
// transaction outside one.
class TBatchScope {
 public:
  enum class TKind : std::uint8_t { None, Savepoint, Own };

  TBatchScope(mysql::TMysqlClient& client, TKind kind) : client_(client), kind_(kind) {}
  ~TBatchScope() { static_cast<void>(End(false)); }
  TBatchScope(const TBatchScope&) = delete;
  TBatchScope& operator=(const TBatchScope&) = delete;

  [[nodiscard]] TKind Kind() const { return kind_; }

  [[nodiscard]] bool Begin() {
    if (kind_ == TKind::Savepoint) open_ = Run("SAVEPOINT ");
    if (kind_ == TKind::Own) open_ = client_.BeginOwnTransaction();
    return kind_ == TKind::None || open_;
  }

  // Keeps the batch's rows, or takes them back. False when that failed.
  [[nodiscard]] bool End(bool keep) {
    if (!open_) return true;
    open_ = false;
    if (kind_ == TKind::Own) return client_.EndOwnTransaction(keep);
    if (keep) return Run("RELEASE SAVEPOINT ");
    return Run("ROLLBACK TO SAVEPOINT ") && Run("RELEASE SAVEPOINT ");
  }

 private:
  bool Run(std::string_view verb) {
    return client_.Query(std::string(verb).append(kSavepoint), true).Ok;
  }

  mysql::TMysqlClient& client_;
  TKind kind_;
  bool open_ = false;
};

class TTablePut {
 public:
  TTablePut(TDalvora& object, addin::THostTable& table, const TPutArguments& target,
            std::int32_t lineCount)
      : object_(object),
        client_(object.Client()),
        table_(table),
        target_(target),
        lineCount_(lineCount),
        values_(target.Columns.size()) {}

  // The rows the server accepted; none when writing failed (recorded).
  std::optional<std::uint64_t> Run() {
    // Before anything of this call: the rows join the script's transaction.
    scriptTransaction_ = client_.InTransaction();
    try {
      if (!Describe() || !LearnLimits()) throw LastFailure(client_);
      upload_ = UploadPossible();
      insertHead_ = InsertHead(target_);
      while (next_ <= lineCount_) WriteBatch();
    } catch (const TPutFailure& failure) {
      return Fail(failure);
    } catch (const std::bad_alloc&) {
      return Fail(ClientFailure(mysql::ErrOutOfMemory, {}));
    }
    return accepted_;
  }

 private:
  // The target's columns: their classes and whether they take NULL.
  bool Describe() {
    const mysql::TQueryResult described = client_.Query(DescribeStatement(target_), true);
    if (!described.Ok) return false;
    if (described.Result) {
      for (const mysql::TFieldDescriptor& field : described.Result->Fields())
        columns_.push_back({ColumnClassOf(field.Type), (field.Flags & mysql::kNotNullFlag) == 0});
    }
    columns_.resize(target_.Columns.size());
    return true;
  }

  // The largest statement the server takes, once per connection.
  bool LearnLimits() {
    TDalvora::TWriteLimits& limits = object_.WriteLimits();
    if (limits.MaxPacket != 0 && limits.Connection == client_.ConnectionSerial()) return true;
    const mysql::TQueryResult answer = client_.Query("SELECT @@max_allowed_packet", true);
    if (!answer.Ok) return false;
    // The smallest the server allows, should it not say.
    std::uint64_t maxPacket = 1024;
    if (answer.Result && !answer.Result->Eof()) {
      const std::string_view text = answer.Result->Value(0).value_or("");
      std::from_chars(text.data(), text.data() + text.size(), maxPacket);
    }
    limits = {client_.ConnectionSerial(), std::max<std::uint64_t>(maxPacket, 1024), false};
    return true;
  }

  // Whether rows may go by LOAD DATA LOCAL (every login asks for local
  // files): the server has not refused them on this connection, and it names
  // the connection's character set (which LOAD DATA must be told; it would
  // read the rows in the database's otherwise).
  bool UploadPossible() {
    if (object_.WriteLimits().LocalFilesRefused) return false;
    const mysql::TQueryResult answer =
        client_.Query("SELECT @@character_set_client, @@sql_mode", true);
    if (!answer.Ok || !answer.Result || answer.Result->Eof()) {
      if (!client_.Connected()) throw LastFailure(client_);
      // A server too old to name them: INSERT it is.
      client_.ClearError();
      return false;
    }
    const std::string_view charset = answer.Result->Value(0).value_or("");
    const std::string_view mode = answer.Result->Value(1).value_or("");
    // The name the server reports stands unquoted in the statement.
    if (charset.empty() || !mysql::IsWellFormedCharsetName(charset)) return false;
    // LOAD DATA reads a character of big5, gbk, gb18030, sjis or cp932
    // whole, so the escape of a second byte that looks like a backslash
    // would be read as one: such rows go by INSERT, escaped character-wise.
    if (mysql::LayoutOfCharset(charset) != mysql::TMultibyteLayout::Safe) return false;
    strict_ = mode.find("STRICT_TRANS_TABLES") != std::string_view::npos ||
              mode.find("STRICT_ALL_TABLES") != std::string_view::npos;
    loadStatement_ = LoadDataStatement(target_, kUploadName, charset);
    return true;
  }

  void WriteBatch() {
    const TBatch batch = Gather();
    if (upload_ ? Upload(batch) : Insert(batch)) {
      next_ = batch.End;
      return;
    }
    // The server refused local files: the same lines again by INSERT.
    upload_ = false;
    object_.WriteLimits().LocalFilesRefused = true;
    carried_ = false;
    next_ = batch.First;
  }

  // Lines from next_ on, as many as one statement holds (one at least).
  TBatch Gather() {
    TBatch batch;
    batch.First = next_;
    const std::uint64_t limit =
        std::min(object_.WriteLimits().MaxPacket - kPacketRoom, kLargestBatch);
    if (!upload_) batch.Text = insertHead_;
    for (std::int32_t line = next_; line <= lineCount_; ++line) {
      if (!carried_) EncodeLine(line);
      carried_ = true;
      const std::size_t joined = row_.size() + (!upload_ && batch.Rows > 0 ? 1 : 0);
      if (batch.Rows > 0 && batch.Text.size() + joined > limit) break;
      if (!upload_ && batch.Rows > 0) batch.Text.push_back(',');
      batch.Text += row_;
      carried_ = false;
      ++batch.Rows;
    }
    batch.End = batch.First + static_cast<std::int32_t>(batch.Rows);
    return batch;
  }

  // The line's values, converted for their columns, into row_.
  void EncodeLine(std::int32_t line) {
    std::size_t column = 0;
    try {
      ShowStatus(object_, std::string("Writing... ").append(std::to_string(line)));
      table_.GoToLine(line);
      for (column = 0; column < values_.size(); ++column)
        values_[column] =
            SqlValueText(table_.Cell(static_cast<std::int32_t>(column)), columns_[column]);
    } catch (const TValueNotWritable& refusal) {
      throw ClientFailure(mysql::ErrValueNotWritable,
                          {line, target_.Columns[column], refusal.what()});
    } catch (const std::bad_alloc&) {
      throw;
    } catch (const std::exception& refusal) {
      throw ClientFailure(mysql::ErrFillRefused, {line, refusal.what()});
    }
    row_.clear();
    if (upload_) {
      AppendLoadDataRow(row_, values_);
    } else {
      AppendInsertRow(row_, values_, client_.Escaping());
    }
  }

  // False when the server refused local files before taking any row.
  bool Upload(const TBatch& batch) {
    using TKind = TBatchScope::TKind;
    TBatchScope scope(client_, target_.Duplicates != TDuplicates::Refuse ? TKind::None
                               : scriptTransaction_                      ? TKind::Savepoint
                                                                         : TKind::Own);
    if (!scope.Begin()) throw LastFailure(client_);
    const mysql::TQueryResult written =
        client_.QueryUploading(loadStatement_, {kUploadName, mysql::AsBytes(batch.Text)});
    if (!written.Ok) {
      const TPutFailure failure = LastFailure(client_);
      static_cast<void>(scope.End(false));
      if (RefusesLocalFiles(failure.Number) && client_.Connected()) return false;
      throw failure;
    }
    const std::uint64_t taken = client_.AffectedRows();
    if (scope.Kind() != TKind::None) {
      if (const auto refusal = Refusal(batch.Rows, taken)) {
        static_cast<void>(scope.End(false));
        throw *refusal;
      }
      if (!scope.End(true)) throw LastFailure(client_);
    }
    Count(batch.Rows, taken);
    return true;
  }

  bool Insert(const TBatch& batch) {
    if (!client_.Query(batch.Text, true).Ok) throw LastFailure(client_);
    Count(batch.Rows, client_.AffectedRows());
    return true;
  }

  // What an INSERT of the batch would have failed with: a row the server
  // skipped (a duplicate, a violated constraint), or, in a strict sql_mode,
  // a value it had to change. Notes do not count.
  std::optional<TPutFailure> Refusal(std::uint64_t rows, std::uint64_t taken) {
    const bool skipped = taken < rows;
    if (!skipped && (client_.WarningCount() == 0 || !strict_)) return std::nullopt;
    const mysql::TQueryResult warnings = client_.Query("SHOW WARNINGS", true);
    if (!warnings.Ok || !warnings.Result) return LastFailure(client_);
    mysql::TMysqlResult& list = *warnings.Result;
    for (list.First(); !list.Eof(); list.Next()) {
      const std::string_view level = list.Value(0).value_or("");
      if (level != "Error" && level != "Warning") continue;
      const std::string_view code = list.Value(1).value_or("");
      std::int32_t number = 0;
      std::from_chars(code.data(), code.data() + code.size(), number);
      return TPutFailure(number, std::string(list.Value(2).value_or("")));
    }
    if (!skipped) return std::nullopt;
    return ClientFailure(mysql::ErrRowsRefused, {rows - taken, rows});
  }

  // Every row of a REPLACE batch is written (some in place of old ones,
  // which the affected rows count twice); otherwise the rows the server
  // inserted.
  void Count(std::uint64_t rows, std::uint64_t taken) {
    accepted_ += target_.Duplicates == TDuplicates::Replace ? rows : taken;
  }

  // Records the failure with the rows written before it; rows written inside
  // the script's transaction are gone when its connection is.
  std::nullopt_t Fail(const TPutFailure& failure) {
    std::string text = "After " + std::to_string(accepted_) + " rows written";
    if (scriptTransaction_ && (!client_.Connected() || client_.TransactionLost()))
      text += ", lost with the transaction";
    client_.SetError(failure.Number, text.append(": ").append(failure.what()));
    return std::nullopt;
  }

  TDalvora& object_;
  mysql::TMysqlClient& client_;
  addin::THostTable& table_;
  const TPutArguments& target_;
  std::int32_t lineCount_;
  std::vector<TTargetColumn> columns_;
  TRowValues values_;
  bool scriptTransaction_ = false;
  bool upload_ = false;
  bool strict_ = false;
  std::string loadStatement_;
  std::string insertHead_;
  // The next line to gather, and whether row_ already holds it (it did not
  // fit into the batch before).
  std::int32_t next_ = 1;
  bool carried_ = false;
  std::string row_;
  std::uint64_t accepted_ = 0;
};

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t") - first + 1));
}

std::string AsciiLowerCase(std::string text) {
  for (char& c : text)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return text;
}

}  // namespace

TPutArguments ReadPutArguments(const addin::TParams& params) {
  TPutArguments arguments;
  arguments.Table = Param(params, 0).Dereferenced();
  if (!arguments.Table.IsDispatch())
    throw addin::TAddinError("PutAll takes a value table as its first argument");
  arguments.TableName = Param(params, 1).ToString();
  if (arguments.TableName.empty())
    throw addin::TAddinError("PutAll needs the name of the table to write to");

  const TOleVariant& columns = Param(params, 2);
  const std::string list = addin::TAddin::IsOmitted(columns) ? "" : Trimmed(columns.ToString());
  for (std::size_t from = 0; !list.empty() && from <= list.size();) {
    const std::size_t comma = std::min(list.find(',', from), list.size());
    std::string name = Trimmed(std::string_view(list).substr(from, comma - from));
    if (name.empty()) throw addin::TAddinError("PutAll: the column list names an empty column");
    arguments.Columns.push_back(std::move(name));
    from = comma + 1;
  }

  const TOleVariant& mode = Param(params, 3);
  const std::string duplicates =
      addin::TAddin::IsOmitted(mode) ? "" : AsciiLowerCase(Trimmed(mode.ToString()));
  if (duplicates == "replace") {
    arguments.Duplicates = TDuplicates::Replace;
  } else if (duplicates == "ignore") {
    arguments.Duplicates = TDuplicates::Ignore;
  } else if (!duplicates.empty()) {
    throw addin::TAddinError("PutAll: duplicates are \"\", \"replace\" or \"ignore\", not \"" +
                             duplicates + "\"");
  }
  return arguments;
}

TOleVariant PutTable(TDalvora& object, const TPutArguments& arguments) {
  ResetStatus(object);
  addin::THostTable table(arguments.Table, object.Dialect());
  const std::int32_t columnCount = table.ColumnCount();
  TPutArguments target = arguments;
  if (target.Columns.empty()) {
    for (std::int32_t c = 0; c < columnCount; ++c) target.Columns.push_back(table.ColumnName(c));
  } else if (target.Columns.size() > static_cast<std::size_t>(std::max(columnCount, 0))) {
    throw addin::TAddinError("PutAll: the column list names " +
                             std::to_string(target.Columns.size()) + " columns, the table has " +
                             std::to_string(columnCount));
  }
  if (target.Columns.empty()) throw addin::TAddinError("PutAll: the table has no columns");
  const std::int32_t lines = table.LineCount();

  mysql::TMysqlClient& client = object.Client();
  // LastErrorNo 0 afterwards: every line was written.
  client.ClearError();
  std::optional<std::uint64_t> accepted = 0;
  if (lines > 0) accepted = TTablePut(object, table, target, lines).Run();
  if (accepted) ShowStatus(object, "Writing... done.");
  ResetStatus(object);
  return accepted ? Int64Bits(*accepted) : TOleVariant(-1);
}

}  // namespace connection
