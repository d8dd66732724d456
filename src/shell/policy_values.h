// The company values the buttons use, read each time one is needed, so that a changed value
// applies at the next click: Group Policy's (the machine policy key) first, then the one the
// installer was given (its own key), then the built-in one. Nothing is written.
#pragma once

#include "shell/company_values.h"

namespace tovalen {

// The whole ticket form URL: Group Policy's TicketFormUrl, else the form on its HelpdeskServer,
// else the installer's TicketFormUrl, else the form on its HelpdeskServer, else the form on the
// built-in server. A server set by Group Policy thus comes before a form URL given to the installer.
ChosenValue current_form_url();

// PrintServer when set, else the built-in print server.
ChosenValue current_print_server();

// SupportMailbox when set, else the built-in mailbox.
ChosenValue current_support_mailbox();

}  // namespace tovalen
