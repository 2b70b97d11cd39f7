#include "host/ValueList.h"

namespace host {

namespace {
// Adding is AddValue in the expression dialect and Add in the object dialect;
// the parameter list calls (GetListSize, GetValue) are the same in both.
enum TListMember : DISPID { AddItem = 1, GetListSize, GetValue };
}  // namespace

DISPID TValueList::MemberId(const platform::TOleString& name) {
  return FindMemberName(
      {dialect_ == TDialect::Expression ? "AddValue" : "Add", "GetListSize", "GetValue"}, name);
}

void TValueList::Call(DISPID member, WORD flags, const TCallArgs& args,
                      platform::TOleVariant* result) {
  if (flags & DISPATCH_PROPERTYPUT) throw TMemberNotFound("ValueList has no settable members");
  switch (member) {
    case AddItem:
      args.RequireAtMost(2, "AddValue");
      items_.push_back(
          {args.Value(0), args.IsOmitted(1) ? platform::TOleString() : ArgText(args, 1)});
      return;
    case GetListSize:
      args.RequireAtMost(1, "GetListSize");
      if (result) *result = platform::TOleVariant(static_cast<LONG>(items_.size()));
      return;
    default: {  // GetValue(1-based index, presentation by reference)
      args.RequireAtMost(2, "GetValue");
      const std::int64_t index = args.Value(0).ToInt64();
      if (index < 1 || static_cast<std::uint64_t>(index) > items_.size())
        throw THostError("GetValue: no item " + std::to_string(index));
      const TListItem& item = items_[static_cast<std::size_t>(index - 1)];
      args.WriteBack(1, platform::TOleVariant::FromWide(item.Presentation));
      if (result) *result = item.Value;
    }
  }
}

}  // namespace host
