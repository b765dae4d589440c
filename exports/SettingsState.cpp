#include "exports/SettingsState.h"

bool g_enableDefaultNamespace = false;
