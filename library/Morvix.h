#pragma once
// The one header an embedding application includes: the session, its delegates (errors too) and
// log, its remote objects, the script peer's binding, the library's type table, the
// notification that a message has been applied, and the platform objects an application drives
// (the main loop, the notification centre, the application and its windows) and the errors
// the session reports.

#include "core/base/LogEntry.h"
#include "core/objects/BasicObject.h"
#include "core/objects/ObjectRegistry.h"
#include "core/script/JSBinding.h"
#include "core/session/ClientProvider.h"
#include "core/session/MorvixClient.h"
#include "core/session/MorvixClientDelegate.h"
#include "core/session/MorvixClientErrorDelegate.h"
#include "library/RemoteTypes.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/MainLoop.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"
