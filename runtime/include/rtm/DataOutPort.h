#pragma once

#include <rtm/OutPort.h>
