// Conversions between name/value lists on the wire and properties.
#pragma once

#include <coil/Properties.h>

#include <string>

#include "SDOPackage.hh"

namespace RTC {
namespace corba {

// Every key with a value, each as a string any.
void toNVList(const coil::Properties& prop, SDOPackage::NVList& nv);
// String values only; other value types are skipped.
coil::Properties toProperties(const SDOPackage::NVList& nv);
// The string value of name, or "" when missing or not a string.
std::string findString(const SDOPackage::NVList& nv, const char* name);
void appendString(SDOPackage::NVList& nv, const char* name, const std::string& value);
// Replaces the entry of that name (or appends it).
void setString(SDOPackage::NVList& nv, const char* name, const std::string& value);
// Replaces the entry of that name (or appends it) with an object reference.
void setObject(SDOPackage::NVList& nv, const char* name, CORBA::Object_ptr object);
// The object reference stored under name (a new reference), or nil.
CORBA::Object_ptr findObject(const SDOPackage::NVList& nv, const char* name);

}  // namespace corba
}  // namespace RTC
