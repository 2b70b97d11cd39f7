#pragma once
// The message of the TAddinError an operation throws, or "(no failure)", so
// that tests compare failures as texts.

#include <functional>
#include <string>

#include "addin/AddinHelper.h"

inline std::string AddinFailure(const std::function<void()>& operation) {
  try {
    operation();
  } catch (const addin::TAddinError& error) {
    return error.what();
  }
  return "(no failure)";
}
