// The session layer: session settings, the server connection and the login check.
#pragma once

#include "session/connection.h"
#include "session/login.h"
#include "session/session.h"
#include "session/settings.h"
