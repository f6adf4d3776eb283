// Conversions between name/value lists on the wire and properties.
#pragma once

#include <coil/Properties.h>

#include "SDOPackage.hh"

namespace RTC {
namespace corba {

// Every key with a value, each as a string any, appended to nv.
void toNVList(const coil::Properties& prop, SDOPackage::NVList& nv);
// String values only; other value types are skipped.
coil::Properties toProperties(const SDOPackage::NVList& nv);

}  // namespace corba
}  // namespace RTC
