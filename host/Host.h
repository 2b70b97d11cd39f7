// The emulated 1C:Enterprise host session: one dialect, the application
// object, the connection object add-ins get at Init, the loaded add-in
// classes, and the creation of objects by name.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "host/AddinClass.h"
#include "host/Application.h"
#include "host/HostConnection.h"

namespace host {

class THost {
 public:
  // `output` receives error-log lines, and status-line lines when
  // `showStatus` is set.
  THost(TDialect dialect, bool showStatus, TOutput output);
  THost(const THost&) = delete;
  THost& operator=(const THost&) = delete;
  // Every object made through this host must be released before.
  ~THost();

  // Loads an add-in library and makes one instance to learn its extension
  // name, releasing it again. Answers the ProgID, "AddIn.<name>".
  std::string LoadAddin(const std::string& path);

  // "ValueTable", "ValueList" or the ProgID of a loaded add-in (letter case
  // ignored). Throws THostError for any other name.
  platform::TOleVariant CreateObject(const platform::TOleString& name);

  TDialect Dialect() const noexcept { return dialect_; }
  IDispatch* Application() noexcept { return application_.get(); }
  IDispatch* Connection() noexcept { return connection_.get(); }
  // The references add-ins hold on the application object.
  LONG ApplicationReferences() const noexcept { return application_->References() - 1; }

 private:
  TDialect dialect_;
  std::vector<std::unique_ptr<TAddinClass>> classes_;
  std::unique_ptr<TApplication> application_;
  std::unique_ptr<THostConnection> connection_;
};

}  // namespace host
