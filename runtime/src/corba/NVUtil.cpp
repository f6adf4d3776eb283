#include "NVUtil.h"

#include <cstring>

namespace RTC {
namespace corba {

void toNVList(const coil::Properties& prop, SDOPackage::NVList& nv) {
    for (const std::string& key : prop.propertyNames())
        appendString(nv, key.c_str(), prop.getProperty(key));
}

coil::Properties toProperties(const SDOPackage::NVList& nv) {
    coil::Properties prop;
    for (CORBA::ULong i = 0; i < nv.length(); ++i) {
        const char* value = nullptr;
        if (nv[i].value >>= value)
            prop.setProperty(static_cast<const char*>(nv[i].name), value ? value : "");
    }
    return prop;
}

std::string findString(const SDOPackage::NVList& nv, const char* name) {
    for (CORBA::ULong i = 0; i < nv.length(); ++i) {
        if (std::strcmp(nv[i].name, name) != 0) continue;
        const char* value = nullptr;
        if (nv[i].value >>= value) return value ? value : "";
        return "";
    }
    return "";
}

void appendString(SDOPackage::NVList& nv, const char* name, const std::string& value) {
    const CORBA::ULong n = nv.length();
    nv.length(n + 1);
    nv[n].name = name;
    nv[n].value <<= value.c_str();
}

void setString(SDOPackage::NVList& nv, const char* name, const std::string& value) {
    for (CORBA::ULong i = 0; i < nv.length(); ++i) {
        if (std::strcmp(nv[i].name, name) == 0) {
            nv[i].value <<= value.c_str();
            return;
        }
    }
    appendString(nv, name, value);
}

}  // namespace corba
}  // namespace RTC
