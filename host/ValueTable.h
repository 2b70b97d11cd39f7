// The host's value table: named columns and lines of values. In the
// expression dialect it is driven by line and column numbers (NewColumn,
// NewLine, SetValue...); in the object dialect through its Columns
// collection and row objects (Columns.Add, Add, row.Set...).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/HostObject.h"

namespace host {

struct TTableColumn {
  platform::TOleString Name;
  platform::TOleString TypeName;  // as NewColumn gave it; may be empty
};

struct TTableData {
  std::vector<TTableColumn> Columns;
  // Each line has a cell per column; columns added later start empty.
  std::vector<std::vector<platform::TOleVariant>> Lines;
};

class TValueTable final : public THostObject {
 public:
  explicit TValueTable(TDialect dialect);
  std::string TypeName() const override { return "ValueTable"; }
  const TTableData& Data() const noexcept { return *data_; }

 protected:
  DISPID MemberId(const platform::TOleString& name) override;
  void Call(DISPID member, WORD flags, const TCallArgs& args,
            platform::TOleVariant* result) override;

 private:
  void CallExpression(DISPID member, const TCallArgs& args, platform::TOleVariant* result);
  void CallObject(DISPID member, const TCallArgs& args, platform::TOleVariant* result);

  TDialect dialect_;
  std::shared_ptr<TTableData> data_;
};

}  // namespace host
