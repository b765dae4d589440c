// The XML Schema (XSD 1.0) of customer XML or of device XML: what the
// conversion walks read and write, for the integrator's own tools (editors
// that complete names, mapping designers, `xmllint --schema`).
#pragma once

#include <string>

#include "schema/SchemaVocabulary.h"

// The schema document, UTF-8 with a declaration. `version` is named in its
// documentation.
std::string WriteSchema(const CDictionary& dictionary, SchemaDialect dialect, const std::string& version);
