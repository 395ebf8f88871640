#include "core/ServiceObject.h"
