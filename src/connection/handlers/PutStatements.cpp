#include "connection/handlers/PutStatements.h"

#include "connection/values/SqlText.h"

namespace connection {

namespace {

std::string ColumnList(const TPutArguments& target) {
  std::string list;
  for (const std::string& column : target.Columns) {
    if (!list.empty()) list += ", ";
    list += QuoteName(column);
  }
  return list;
}

}  // namespace

std::string DescribeStatement(const TPutArguments& target) {
  return "SELECT " + ColumnList(target) + " FROM " + QuoteName(target.TableName) + " LIMIT 0";
}

std::string LoadDataStatement(const TPutArguments& target, std::string_view uploadName,
                              std::string_view charset) {
  std::string statement = "LOAD DATA LOCAL INFILE ";
  AppendQuoted(statement, uploadName, {});
  if (target.Duplicates == TDuplicates::Replace) statement += " REPLACE";
  if (target.Duplicates == TDuplicates::Ignore) statement += " IGNORE";
  statement += " INTO TABLE " + QuoteName(target.TableName);
  statement.append(" CHARACTER SET ").append(charset).append(" ").append(kLoadDataFormat);
  return statement + " (" + ColumnList(target) + ")";
}

void AppendLoadDataRow(std::string& out, const TRowValues& values) {
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.push_back('\t');
    AppendLoadDataField(out, values[i]);
  }
  out.push_back('\n');
}

std::string InsertHead(const TPutArguments& target) {
  std::string head;
  switch (target.Duplicates) {
    case TDuplicates::Replace:
      head = "REPLACE INTO ";
      break;
    case TDuplicates::Ignore:
      head = "INSERT IGNORE INTO ";
      break;
    default:
      head = "INSERT INTO ";
  }
  return head + QuoteName(target.TableName) + " (" + ColumnList(target) + ") VALUES ";
}

void AppendInsertRow(std::string& out, const TRowValues& values, const mysql::TEscaping& escaping) {
  out.push_back('(');
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) out.push_back(',');
    if (values[i]) {
      AppendQuoted(out, *values[i], escaping);
    } else {
      out.append("NULL");
    }
  }
  out.push_back(')');
}

}  // namespace connection
