#include "connection/handlers/HostObjects.h"

#include "addin/HostAutomation.h"

namespace connection {

platform::TOleVariant NewHostObject(TDalvora& object, const std::string& kind) {
  const platform::TOleVariant app = object.GetAppDispatch();
  if (object.ExpressionDialect()) {
    return addin::HostFunction(app, "EvalExpr",
                               {platform::TOleVariant("CreateObject(\"" + kind + "\")")});
  }
  return addin::HostFunction(app, "NewObject", {platform::TOleVariant(kind)});
}

}  // namespace connection
