// The company values the buttons use, read from the machine policy each time one is needed, so
// that a changed policy applies at the next click. Nothing is written.
#pragma once

#include "shell/company_values.h"

namespace tovalen {

// The whole ticket form URL: TicketFormUrl when set, else the form on the helpdesk server
// (HelpdeskServer when set, else the built-in one). A set TicketFormUrl is the only value read.
ChosenValue current_form_url();

// PrintServer when set, else the built-in print server.
ChosenValue current_print_server();

// SupportMailbox when set, else the built-in mailbox.
ChosenValue current_support_mailbox();

}  // namespace tovalen
