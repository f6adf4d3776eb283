// How the two ends of a corba_cdr push connection find each other: the
// receiving side publishes its InPortCdr object in the connector profile's
// properties, both as a stringified reference and as a typed one, and the
// sending side reads it back.
#pragma once

#include "DataPort_OpenRTM.hh"
#include "SDOPackage.hh"

namespace corbakit {

extern const char* const kInPortIor;  // "dataport.corba_cdr.inport_ior"
extern const char* const kInPortRef;  // "dataport.corba_cdr.inport_ref"

// Stores both forms of receiver in properties.
void publishInPortCdr(CORBA::ORB_ptr orb, OpenRTM::InPortCdr_ptr receiver,
                      SDOPackage::NVList& properties);

// The receiver published in properties (the stringified form first), or nil
// when there is none. A malformed stringified reference counts as none; a
// failing remote check of the reference's type throws the ORB's exception.
OpenRTM::InPortCdr_ptr publishedInPortCdr(CORBA::ORB_ptr orb, const SDOPackage::NVList& properties);

}  // namespace corbakit
