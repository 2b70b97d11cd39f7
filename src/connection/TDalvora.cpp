#include "connection/TDalvora.h"

#include "connection/OrbelinModule.h"

namespace connection {

IUnknown* TDalvora::Create() {
  return static_cast<ILanguageExtender*>(new TDalvora);
}

TDalvora& TDalvora::Of(addin::TAddin& sender) {
  auto* object = dynamic_cast<TDalvora*>(&sender);
  if (!object) throw addin::TAddinError("The calling object is not a Dalvora connection");
  return *object;
}

mysql::TMysqlClient& TDalvora::Client() {
  if (!client_) throw addin::TAddinError("The connection object has not been initialised");
  return *client_;
}

void TDalvora::ReplaceResult(std::unique_ptr<mysql::TMysqlResult> result) noexcept {
  currentResult_.reset();
  currentResult_ = std::move(result);
}

HRESULT TDalvora::DoInit() {
  const HRESULT probe = TAddin::DoInit();
  SetMemberTable(Module().AddinHelper());
  client_ = std::make_unique<mysql::TMysqlClient>();
  currentResult_.reset();
  return probe;
}

HRESULT TDalvora::DoDone() {
  currentResult_.reset();
  client_.reset();
  return TAddin::DoDone();
}

TDalvora::~TDalvora() {
  // A host that never called Done still gets its result and session closed
  // in the right order.
  currentResult_.reset();
  client_.reset();
}

}  // namespace connection
