// SDO name/value lists whose values are strings (or, for a few data-port
// keys, object references), as every framework interface carries them.
#pragma once

#include <string>

#include "SDOPackage.hh"

namespace corbakit {

// The string value of name; fallback when the name is missing or its value
// holds no string.
std::string findString(const SDOPackage::NVList& list, const std::string& name,
                       const std::string& fallback = "");
bool hasName(const SDOPackage::NVList& list, const std::string& name);
void appendString(SDOPackage::NVList& list, const std::string& name, const std::string& value);
// Replaces the value of name, or appends the pair.
void setString(SDOPackage::NVList& list, const std::string& name, const std::string& value);
// Replaces the value of name with any value (an object reference, say), or appends the pair.
void setValue(SDOPackage::NVList& list, const std::string& name, const CORBA::Any& value);
// The last object reference stored under name (a new reference), or nil.
CORBA::Object_ptr findObject(const SDOPackage::NVList& list, const std::string& name);
// The value as it would be printed: the string, or a note on what it holds.
std::string describeValue(const CORBA::Any& value);

}  // namespace corbakit
