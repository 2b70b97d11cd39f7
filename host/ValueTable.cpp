#include "host/ValueTable.h"

#include "host/Utf8.h"

namespace host {

namespace {

const std::vector<std::string_view> kExpressionMembers = {
    "DeleteLines", "Clear",     "NewColumn",          "NewLine", "SetValue", "GetValue",
    "ColumnCount", "LineCount", "GetColumnParameters"};
enum TExpressionMember : DISPID {
  DeleteLines = 1,
  ClearAll,
  NewColumn,
  NewLine,
  SetValue,
  GetValue,
  ColumnCount,
  LineCount,
  GetColumnParameters
};

const std::vector<std::string_view> kObjectMembers = {"Clear", "Columns", "Add", "Count", "Get"};
enum TObjectMember : DISPID { ClearLines = 1, Columns, AddLine, LineTotal, GetLine };

std::string Text(const platform::TOleString& text) {
  return Utf8FromUtf16(text);
}

void Require(bool condition, const std::string& why) {
  if (!condition) throw THostError(why);
}

// A 1-based line number given as an argument.
std::size_t LineIndex(const TTableData& data, const TCallArgs& args, std::size_t index,
                      std::string_view member) {
  const std::int64_t line = args.Value(index).ToInt64();
  Require(line >= 1 && static_cast<std::uint64_t>(line) <= data.Lines.size(),
          std::string(member) + ": no line " + std::to_string(line));
  return static_cast<std::size_t>(line - 1);
}

// A column given by 1-based number or by name.
std::size_t ColumnIndex(const TTableData& data, const TCallArgs& args, std::size_t index,
                        std::string_view member) {
  const platform::TOleVariant column = args.Value(index);
  if (column.IsString()) {
    const platform::TOleString name = column.ToWide();
    for (std::size_t c = 0; c < data.Columns.size(); ++c)
      if (data.Columns[c].Name == name) return c;
    throw THostError(std::string(member) + ": no column " + Text(name));
  }
  const std::int64_t number = column.ToInt64();
  Require(number >= 1 && static_cast<std::uint64_t>(number) <= data.Columns.size(),
          std::string(member) + ": no column " + std::to_string(number));
  return static_cast<std::size_t>(number - 1);
}

platform::TOleVariant& Cell(TTableData& data, std::size_t line, std::size_t column) {
  std::vector<platform::TOleVariant>& cells = data.Lines[line];
  if (cells.size() < data.Columns.size()) cells.resize(data.Columns.size());
  return cells[column];
}

void AddColumn(TTableData& data, platform::TOleString name, platform::TOleString type) {
  data.Columns.push_back({std::move(name), std::move(type)});
  for (auto& cells : data.Lines) cells.resize(data.Columns.size());
}

platform::TOleVariant Count(std::size_t count) {
  return platform::TOleVariant(static_cast<LONG>(count));
}

void Answer(platform::TOleVariant* result, platform::TOleVariant value) {
  if (result) *result = std::move(value);
}

// One line of an object-dialect table.
class TTableRow final : public THostObject {
 public:
  TTableRow(std::shared_ptr<TTableData> data, std::size_t line)
      : data_(std::move(data)), line_(line) {}
  std::string TypeName() const override { return "ValueTableRow"; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override {
    return FindMemberName({"Set", "Get"}, name);
  }
  void Call(DISPID member, WORD, const TCallArgs& args, platform::TOleVariant* result) override {
    Require(line_ < data_->Lines.size(), "the row no longer belongs to its table");
    args.RequireAtMost(member == 1 ? 2 : 1, member == 1 ? "Set" : "Get");
    const std::int64_t column = args.Value(0).ToInt64();
    Require(column >= 0 && static_cast<std::uint64_t>(column) < data_->Columns.size(),
            "no column " + std::to_string(column));
    platform::TOleVariant& cell = Cell(*data_, line_, static_cast<std::size_t>(column));
    if (member == 1)
      cell = args.Value(1);
    else
      Answer(result, cell);
  }

 private:
  std::shared_ptr<TTableData> data_;
  std::size_t line_;
};

// One column of an object-dialect table: its Name.
class TColumnObject final : public THostObject {
 public:
  TColumnObject(std::shared_ptr<TTableData> data, std::size_t column)
      : data_(std::move(data)), column_(column) {}
  std::string TypeName() const override { return "ValueTableColumn"; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override {
    return FindMemberName({"Name"}, name);
  }
  void Call(DISPID, WORD flags, const TCallArgs& args, platform::TOleVariant* result) override {
    Require(column_ < data_->Columns.size(), "the column no longer belongs to its table");
    if (flags & DISPATCH_PROPERTYPUT) {
      data_->Columns[column_].Name = ArgText(args, 0);
      return;
    }
    Answer(result, platform::TOleVariant::FromWide(data_->Columns[column_].Name));
  }

 private:
  std::shared_ptr<TTableData> data_;
  std::size_t column_;
};

// The Columns collection of an object-dialect table.
class TColumnsObject final : public THostObject {
 public:
  explicit TColumnsObject(std::shared_ptr<TTableData> data) : data_(std::move(data)) {}
  std::string TypeName() const override { return "ValueTableColumns"; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override {
    return FindMemberName({"Add", "Clear", "Count", "Get"}, name);
  }
  void Call(DISPID member, WORD, const TCallArgs& args, platform::TOleVariant* result) override {
    switch (member) {
      case 1:  // Add(name, [type...])
        args.RequireAtMost(4, "Columns.Add");
        AddColumn(*data_, ArgText(args, 0),
                  args.IsOmitted(1) ? platform::TOleString() : ArgText(args, 1));
        Answer(result, MakeColumn(data_->Columns.size() - 1));
        return;
      case 2:  // Clear
        data_->Columns.clear();
        for (auto& cells : data_->Lines) cells.clear();
        return;
      case 3:  // Count
        Answer(result, Count(data_->Columns.size()));
        return;
      default: {  // Get(0-based index)
        const std::int64_t column = args.Value(0).ToInt64();
        Require(column >= 0 && static_cast<std::uint64_t>(column) < data_->Columns.size(),
                "Columns.Get: no column " + std::to_string(column));
        Answer(result, MakeColumn(static_cast<std::size_t>(column)));
      }
    }
  }

 private:
  platform::TOleVariant MakeColumn(std::size_t column) {
    return Adopt(new TColumnObject(data_, column));
  }
  std::shared_ptr<TTableData> data_;
};

}  // namespace

TValueTable::TValueTable(TDialect dialect)
    : dialect_(dialect), data_(std::make_shared<TTableData>()) {}

DISPID TValueTable::MemberId(const platform::TOleString& name) {
  return FindMemberName(dialect_ == TDialect::Expression ? kExpressionMembers : kObjectMembers,
                        name);
}

void TValueTable::Call(DISPID member, WORD flags, const TCallArgs& args,
                       platform::TOleVariant* result) {
  if (flags & DISPATCH_PROPERTYPUT) throw TMemberNotFound("ValueTable has no settable members");
  if (dialect_ == TDialect::Expression)
    CallExpression(member, args, result);
  else
    CallObject(member, args, result);
}

void TValueTable::CallExpression(DISPID member, const TCallArgs& args,
                                 platform::TOleVariant* result) {
  TTableData& data = *data_;
  switch (member) {
    case DeleteLines:
      data.Lines.clear();
      return;
    case ClearAll:
      data.Lines.clear();
      data.Columns.clear();
      return;
    case NewColumn:
      args.RequireAtMost(6, "NewColumn");
      AddColumn(data, ArgText(args, 0),
                args.IsOmitted(1) ? platform::TOleString() : ArgText(args, 1));
      return;
    case NewLine:
      args.RequireAtMost(1, "NewLine");
      data.Lines.emplace_back(data.Columns.size());
      return;
    case SetValue: {
      args.RequireAtMost(3, "SetValue");
      const std::size_t line = LineIndex(data, args, 0, "SetValue");
      Cell(data, line, ColumnIndex(data, args, 1, "SetValue")) = args.Value(2);
      return;
    }
    case GetValue: {
      args.RequireAtMost(2, "GetValue");
      const std::size_t line = LineIndex(data, args, 0, "GetValue");
      Answer(result, Cell(data, line, ColumnIndex(data, args, 1, "GetValue")));
      return;
    }
    case ColumnCount:
      Answer(result, Count(data.Columns.size()));
      return;
    case LineCount:
      Answer(result, Count(data.Lines.size()));
      return;
    default: {  // GetColumnParameters(column, [type by reference])
      args.RequireAtMost(7, "GetColumnParameters");
      const TTableColumn& column = data.Columns[ColumnIndex(data, args, 0, "GetColumnParameters")];
      args.WriteBack(1, platform::TOleVariant::FromWide(column.TypeName));
      Answer(result, platform::TOleVariant::FromWide(column.Name));
    }
  }
}

void TValueTable::CallObject(DISPID member, const TCallArgs& args, platform::TOleVariant* result) {
  TTableData& data = *data_;
  switch (member) {
    case ClearLines:
      data.Lines.clear();
      return;
    case Columns:
      Answer(result, Adopt(new TColumnsObject(data_)));
      return;
    case AddLine:
      args.RequireAtMost(1, "Add");
      data.Lines.emplace_back(data.Columns.size());
      Answer(result, Adopt(new TTableRow(data_, data.Lines.size() - 1)));
      return;
    case GetLine: {
      args.RequireAtMost(1, "Get");
      const std::int64_t line = args.Value(0).ToInt64();
      Require(line >= 0 && static_cast<std::uint64_t>(line) < data.Lines.size(),
              "Get: no line " + std::to_string(line));
      Answer(result, Adopt(new TTableRow(data_, static_cast<std::size_t>(line))));
      return;
    }
    default:  // Count
      Answer(result, Count(data.Lines.size()));
  }
}

}  // namespace host
