// The demo database, made when the DEMO service's directory is first needed.
#include "internal.h"

namespace oci {

void buildDemo(sqlite3*, const std::string&) {}

} // namespace oci
