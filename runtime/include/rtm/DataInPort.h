#pragma once

#include <rtm/InPort.h>
