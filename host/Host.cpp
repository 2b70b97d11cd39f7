#include "host/Host.h"

#include "host/Utf8.h"
#include "host/ValueList.h"
#include "host/ValueTable.h"

namespace host {

namespace {
bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}
}  // namespace

THost::THost(TDialect dialect, bool showStatus, TOutput output)
    : dialect_(dialect),
      application_(std::make_unique<TApplication>(
          dialect, [this](const platform::TOleString& name) { return CreateObject(name); })),
      connection_(
          std::make_unique<THostConnection>(application_.get(), std::move(output), showStatus)) {}

THost::~THost() = default;

std::string THost::LoadAddin(const std::string& path) {
  auto loaded = std::make_unique<TAddinClass>(path);
  // The host learns the name from a first instance, as 1C does on loading.
  loaded->Create(connection_.get());
  classes_.push_back(std::move(loaded));
  return classes_.back()->ProgId();
}

platform::TOleVariant THost::CreateObject(const platform::TOleString& name) {
  const std::string text = Utf8FromUtf16(name);
  if (SameText(text, "ValueTable")) return Adopt(new TValueTable(dialect_));
  if (SameText(text, "ValueList")) return Adopt(new TValueList(dialect_));
  for (const auto& loaded : classes_)
    if (SameText(text, loaded->ProgId())) return loaded->Create(connection_.get());
  throw THostError("cannot create an object of type " + text);
}

}  // namespace host
