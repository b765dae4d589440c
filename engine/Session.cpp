#include "engine/Session.h"

namespace {

// Made when the library is loaded, before any call can reach it.
CSession g_session;

}  // namespace

CSession& TheSession() { return g_session; }

