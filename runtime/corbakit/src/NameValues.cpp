#include "corbakit/NameValues.h"

namespace corbakit {

namespace {

// Index of name, appended (with no value yet) when missing.
CORBA::ULong slot(SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name == static_cast<const char*>(list[i].name)) return i;
    }
    const CORBA::ULong index = list.length();
    list.length(index + 1);
    list[index].name = name.c_str();
    return index;
}

}  // namespace

std::string findString(const SDOPackage::NVList& list, const std::string& name,
                       const std::string& fallback) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name != static_cast<const char*>(list[i].name)) continue;
        const char* text = nullptr;
        if ((list[i].value >>= text) && text != nullptr) return text;
        return fallback;
    }
    return fallback;
}

bool hasName(const SDOPackage::NVList& list, const std::string& name) {
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name == static_cast<const char*>(list[i].name)) return true;
    }
    return false;
}

void appendString(SDOPackage::NVList& list, const std::string& name, const std::string& value) {
    const CORBA::ULong index = list.length();
    list.length(index + 1);
    list[index].name = name.c_str();
    list[index].value <<= value.c_str();
}

void setString(SDOPackage::NVList& list, const std::string& name, const std::string& value) {
    list[slot(list, name)].value <<= value.c_str();
}

void setValue(SDOPackage::NVList& list, const std::string& name, const CORBA::Any& value) {
    list[slot(list, name)].value = value;
}

CORBA::Object_ptr findObject(const SDOPackage::NVList& list, const std::string& name) {
    CORBA::Object_var found;
    for (CORBA::ULong i = 0; i < list.length(); ++i) {
        if (name != static_cast<const char*>(list[i].name)) continue;
        // to_object hands over a reference of our own.
        CORBA::Object_var ref;
        if (list[i].value >>= CORBA::Any::to_object(ref.out())) found = ref._retn();
    }
    return found._retn();
}

std::string describeValue(const CORBA::Any& value) {
    const char* text = nullptr;
    if ((value >>= text) && text != nullptr) return text;
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

}  // namespace corbakit
