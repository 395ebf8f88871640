#include "core/objects/ServiceObject.h"
