// Field packets in the 4.1 layout and the older one (with 1- and 2-byte
// flags). The input is one payload.

#include "mysql/uMysqlFieldPacket.h"
#include "support/FuzzInput.h"

using namespace mysql;

namespace {

void CheckLength(const std::string& text, std::uint32_t length) {
  FuzzCheck(length <= text.size(), "length up to the first NUL");
  FuzzCheck(length == text.size() || text[length] == '\0', "length ends at a NUL");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TBytes packet(data, size);
  for (const bool layout41 : {false, true}) {
    for (const bool longFlags : {false, true}) {
      const auto field = DecodeFieldPacket(packet, layout41, longFlags);
      if (!field) continue;
      CheckLength(field->Name, field->NameLength);
      CheckLength(field->OrgName, field->OrgNameLength);
      CheckLength(field->Table, field->TableLength);
      CheckLength(field->OrgTable, field->OrgTableLength);
      CheckLength(field->Db, field->DbLength);
      CheckLength(field->Catalog, field->CatalogLength);
      FuzzCheck(field->Name.size() + field->Table.size() <= size, "names come from the packet");
      FuzzCheck(layout41 || (field->Catalog.empty() && field->CharsetNr == 0),
                "the older layout has no catalog and no character set");
    }
  }
  return 0;
}
