// Basic framework types: lifecycle results and states, execution context ids.
#pragma once

#include <omniORB4/CORBA.h>

#include "RTC.hh"
