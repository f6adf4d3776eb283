#include "NVUtil.h"

#include <corbakit/NameValues.h>

namespace RTC {
namespace corba {

void toNVList(const coil::Properties& prop, SDOPackage::NVList& nv) {
    for (const std::string& key : prop.propertyNames())
        corbakit::appendString(nv, key, prop.getProperty(key));
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

}  // namespace corba
}  // namespace RTC
