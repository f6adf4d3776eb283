// Data port types (RTC::Time, RTC::TimedString, ...) generated from our IDL.
#pragma once

#include <omniORB4/CORBA.h>

#include "BasicDataType.hh"
