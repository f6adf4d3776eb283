// Basic framework types: lifecycle results and states, execution context ids.
#ifndef RTM_RTC_H
#define RTM_RTC_H

#include <omniORB4/CORBA.h>

#include "RTC.hh"

#endif
