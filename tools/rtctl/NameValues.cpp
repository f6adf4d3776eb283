#include "NameValues.h"

std::string NameValues::get(const SDOPackage::NVList& list, const std::string& name,
                            const std::string& fallback) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name != static_cast<const char*>(list[i].name)) continue;
        const char* text = nullptr;
        if (list[i].value >>= text) return text;
        return fallback;
    }
    return fallback;
}

bool NameValues::has(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name == static_cast<const char*>(list[i].name)) return true;
    }
    return false;
}

CORBA::ULong NameValues::slot(SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name == static_cast<const char*>(list[i].name)) return i;
    }
    CORBA::ULong index = list.length();
    list.length(index + 1);
    list[index].name = CORBA::string_dup(name.c_str());
    return index;
}

void NameValues::set(SDOPackage::NVList& list, const std::string& name, const std::string& value) {
    list[slot(list, name)].value <<= value.c_str();
}

void NameValues::setObject(SDOPackage::NVList& list, const std::string& name,
                           OpenRTM::InPortCdr_ptr object) {
    list[slot(list, name)].value <<= object;
}

std::string NameValues::show(const CORBA::Any& value) {
    const char* text = nullptr;
    if (value >>= text) return text;
    CORBA::TypeCode_var type = value.type();
    switch (type->kind()) {
        case CORBA::tk_null:
        case CORBA::tk_void:
            return "<empty>";
        case CORBA::tk_objref:
            return "<object reference>";
        default:
            break;
    }
    return "<not a string>";
}
