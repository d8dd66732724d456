// The hardware queries through the management service are not collected yet: their report
// lines stay empty until then.
#include "report/collectors.h"

namespace tovalen {

std::wstring get_serial_number_text() { return {}; }  // not yet collected
std::wstring get_memory_size_text() { return {}; }    // not yet collected

}  // namespace tovalen
