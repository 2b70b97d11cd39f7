#include "connection/HostObjects.h"

#include "addin/HostAutomation.h"

namespace connection {

platform::OleVariant NewHostObject(TDalvora& object, const std::string& kind) {
  const platform::OleVariant app = object.GetAppDispatch();
  if (object.ExpressionDialect()) {
    return addin::HostFunction(app, "EvalExpr",
                               {platform::OleVariant("CreateObject(\"" + kind + "\")")});
  }
  return addin::HostFunction(app, "NewObject", {platform::OleVariant(kind)});
}

}  // namespace connection
