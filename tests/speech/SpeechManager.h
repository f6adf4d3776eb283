// The one manager of a speech test process, made on first use with logging
// and naming off, with the speech module's factory registered.
#pragma once

#include <rtm/Manager.h>

RTC::Manager* speechManager();
