// Data port types (RTC::Time, RTC::TimedString, ...) generated from our IDL.
#ifndef RTM_IDL_BASICDATATYPESKEL_H
#define RTM_IDL_BASICDATATYPESKEL_H

#include <omniORB4/CORBA.h>

#include "BasicDataType.hh"

#endif
