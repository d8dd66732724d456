// Where the antivirus sources get the management service's object for a namespace. The program
// always binds the moniker; a test may stand in for the service here, and for nothing else.
#pragma once

#include <string_view>

namespace tovalen {

namespace comline {
struct ComLineObject;
}

using ServiceObjectSource = comline::ComLineObject* (*)(std::wstring_view moniker);

comline::ComLineObject* bind_service_moniker(std::wstring_view moniker);

extern ServiceObjectSource antivirus_service_source;

}  // namespace tovalen
