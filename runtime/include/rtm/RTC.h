// Basic framework types: lifecycle results and states, execution context ids.
#pragma once

#include <omniORB4/CORBA.h>

#include "RTC.hh"

// Marks a module's init function for export (component sources write
// "DLL_EXPORT void XInit(RTC::Manager*)").
#ifndef DLL_EXPORT
#define DLL_EXPORT __attribute__((visibility("default")))
#endif
