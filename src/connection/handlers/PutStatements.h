// The statements PutAll sends: the look at the target's columns, and the two
// forms a batch of rows takes.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/handlers/TablePut.h"
#include "mysql/uMysqlEscape.h"

namespace connection {

// One row's values: their text, or none for NULL.
using TRowValues = std::vector<std::optional<std::string>>;

// SELECT `a`, ... FROM `t` LIMIT 0: the target's columns, their types and
// whether they take NULL, without a row.
std::string DescribeStatement(const TPutArguments& target);

// LOAD DATA LOCAL INFILE 'upload' [REPLACE|IGNORE] INTO TABLE `t` CHARACTER
// SET charset, the fields and lines of kLoadDataFormat, (`a`, ...). The
// character set is the connection's, so the rows read as an INSERT's would.
std::string LoadDataStatement(const TPutArguments& target, std::string_view uploadName,
                              std::string_view charset);
// A row as a line of that upload.
void AppendLoadDataRow(std::string& out, const TRowValues& values);

// INSERT [IGNORE] INTO `t` (`a`, ...) VALUES, or REPLACE INTO ...
std::string InsertHead(const TPutArguments& target);
// A row as the next tuple of those VALUES: every value a quoted string (as
// LOAD DATA reads every field), NULL as NULL, escaped for the session.
void AppendInsertRow(std::string& out, const TRowValues& values, const mysql::TEscaping& escaping);

}  // namespace connection
