// The conversions between variant kinds, shared by TOleVariant (which
// throws) and, on non-Windows builds, VariantChangeType (which answers
// HRESULTs). They never allocate COM memory and never change their input.
#pragma once

#include <cstdint>

#include "platform/com/Com.h"
#include "platform/os/CodePage.h"

namespace platform {

enum class TConversionStatus { Ok, Mismatch, Overflow };

// A non-owning, non-reference view of the value a variant holds: references
// (also to variants holding references) are followed. False when a
// reference is null, nested too deeply or of a kind that cannot be held by
// reference; `view` shares strings, objects and arrays with the source.
bool ResolveReferences(const VARIANT& source, VARIANT& view) noexcept;

// Each resolves references first; on anything but Ok `out` is unchanged.
TConversionStatus ConvertToInt64(const VARIANT& source, std::int64_t& out);
TConversionStatus ConvertToDouble(const VARIANT& source, double& out);
TConversionStatus ConvertToBool(const VARIANT& source, bool& out);
TConversionStatus ConvertToText(const VARIANT& source, TOleString& out);

}  // namespace platform
