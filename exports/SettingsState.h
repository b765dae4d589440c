// Option state that the settings-driven exports leave for later conversions.
#pragma once

// Write the device namespace as default namespace on customer output roots.
extern bool g_enableDefaultNamespace;
