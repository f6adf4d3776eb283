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

void setObject(SDOPackage::NVList& nv, const char* name, CORBA::Object_ptr object) {
    for (CORBA::ULong i = 0; i < nv.length(); ++i) {
        if (std::strcmp(nv[i].name, name) == 0) {
            nv[i].value <<= object;
            return;
        }
    }
    const CORBA::ULong n = nv.length();
    nv.length(n + 1);
    nv[n].name = name;
    nv[n].value <<= object;
}

CORBA::Object_ptr findObject(const SDOPackage::NVList& nv, const char* name) {
    CORBA::Object_ptr found = CORBA::Object::_nil();
    for (CORBA::ULong i = 0; i < nv.length(); ++i) {
        CORBA::Object_ptr ref;
        if (std::strcmp(nv[i].name, name) == 0 && (nv[i].value >>= CORBA::Any::to_object(ref))) {
            CORBA::release(found);
            found = CORBA::Object::_duplicate(ref);
        }
    }
    return found;
}

}  // namespace corba
}  // namespace RTC
