#include "corbakit/CdrConnection.h"

#include "corbakit/NameValues.h"

namespace corbakit {

const char* const kInPortIor = "dataport.corba_cdr.inport_ior";
const char* const kInPortRef = "dataport.corba_cdr.inport_ref";

void publishInPortCdr(CORBA::ORB_ptr orb, OpenRTM::InPortCdr_ptr receiver,
                      SDOPackage::NVList& properties) {
    CORBA::String_var ior = orb->object_to_string(receiver);
    setString(properties, kInPortIor, static_cast<const char*>(ior));
    // Typed as the InPortCdr it is, so that either kind of extraction works.
    CORBA::Any ref;
    ref <<= receiver;
    setValue(properties, kInPortRef, ref);
}

OpenRTM::InPortCdr_ptr publishedInPortCdr(CORBA::ORB_ptr orb,
                                          const SDOPackage::NVList& properties) {
    const std::string ior = findString(properties, kInPortIor);
    if (!ior.empty()) {
        CORBA::Object_var object;
        try {
            object = orb->string_to_object(ior.c_str());
        } catch (const CORBA::BAD_PARAM&) {
            // Not an IOR: try the typed reference.
        }
        OpenRTM::InPortCdr_var receiver = OpenRTM::InPortCdr::_narrow(object.in());
        if (!CORBA::is_nil(receiver.in())) return receiver._retn();
    }
    CORBA::Object_var object = findObject(properties, kInPortRef);
    return OpenRTM::InPortCdr::_narrow(object.in());
}

}  // namespace corbakit
