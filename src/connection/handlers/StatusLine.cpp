#include "connection/handlers/StatusLine.h"

#include "platform/com/Bstr.h"

namespace connection {

namespace {

IStatusLine& StatusLineOf(TDalvora& object) {
  IStatusLine* statusLine = object.StatusLine();
  if (!statusLine) throw addin::TAddinError("The host offers no status line");
  return *statusLine;
}

}  // namespace

void ResetStatus(TDalvora& object) {
  if (FAILED(StatusLineOf(object).ResetStatusLine())) {
    throw addin::TAddinError("The host refused to reset its status line");
  }
}

void ShowStatus(TDalvora& object, const std::string& text) {
  const platform::TBstr message = platform::TBstr::FromAnsi(text);
  if (FAILED(StatusLineOf(object).SetStatusLine(message.Get()))) {
    throw addin::TAddinError("The host refused to show a status line");
  }
}

}  // namespace connection
