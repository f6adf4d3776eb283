#pragma once

#include <string>

#include "DataPort_OpenRTM.hh"
#include "SDOPackage.hh"

// Reading and writing SDO name/value lists whose values are strings (or,
// for a few data-port keys, object references).
class NameValues {
  public:
    // The string value of `name`; `fallback` when the name is missing or its
    // value holds no string.
    static std::string get(const SDOPackage::NVList& list, const std::string& name,
                           const std::string& fallback = "");
    static bool has(const SDOPackage::NVList& list, const std::string& name);
    // Replaces the value of `name`, or appends the pair.
    static void set(SDOPackage::NVList& list, const std::string& name, const std::string& value);
    // Stores a typed reference, as the framework does for "dataport.corba_cdr.inport_ref".
    static void setObject(SDOPackage::NVList& list, const std::string& name,
                          OpenRTM::InPortCdr_ptr object);
    // The value as it would be printed: the string, or a note on what it holds.
    static std::string show(const CORBA::Any& value);

  private:
    static CORBA::ULong slot(SDOPackage::NVList& list, const std::string& name);
};
