// How an export is declared. The undecorated names and ordinals come from the deliverable's export
// definition (frame/exports/*.def); here only the linkage and the stdcall convention.
//
// No C++ exception may cross an export: the product is built without exceptions, and every export
// is noexcept.
#pragma once

#include "win32_api.h"

#define KELPA_EXPORT extern "C"
