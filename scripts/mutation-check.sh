#!/usr/bin/env bash
# Asks whether the unit tests of the Windows-free code notice small faults: each fault of the
# fixed list below (a comparison flipped, a constant off by one, a mask changed) is put alone into
# a copy of the sources, pure_tests is rebuilt there and run, and the run must fail. The script
# fails, naming them, when a fault survives (no test noticed it), and also when a fault's text is
# no longer found exactly once in its file or the faulty copy does not compile: the list must be
# kept in step with the code, never silently skipped.
#
#   scripts/mutation-check.sh                 every fault
#   scripts/mutation-check.sh boot_text.cpp   only the faults of files whose path contains a word
#
# The working tree is never written to. The copy lives in build/mutation/ (TOVALEN_MUTATION_DIR)
# and is brought in step with the tree at each start, so an interrupted run leaves nothing wrong
# behind. One build directory is reused: each fault recompiles one file and relinks, without
# sanitizers but with the standard library's own checks, which stop an index past an array
# (a fault that makes the tests abort or hang is caught as well).
set -euo pipefail
export LC_ALL=C
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
work="${TOVALEN_MUTATION_DIR:-$root/build/mutation}"
copy="$work/tree"
build="$work/build"
readonly RUN_SECONDS=60  # a fault that makes the tests loop is caught by this bound

# One fault a record: the file, then "- " and the text it changes (exactly once in the file), then
# "+ " and what the text becomes. "#" lines say which test case catches it. A new Windows-free
# function gets a few faults here: a boundary moved by one, a comparison flipped, a constant
# changed, each one a test row should notice.
read_faults() {
  cat <<'FAULTS'
# decoding the boot line: a lead byte read as a continuation byte
src/report/boot_text.cpp
- bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }
+ bool is_continuation(unsigned char byte) { return (byte & 0x80) == 0x80; }
# lead bytes 0xF8 to 0xFF taken for four-byte sequences
src/report/boot_text.cpp
- if ((first & 0xF8) == 0xF0) {
+ if ((first & 0xF0) == 0xF0) {
# the highest code point refused
src/report/boot_text.cpp
- code_point <= 0x10FFFF &&
+ code_point < 0x10FFFF &&
# the first encoded surrogate let through
src/report/boot_text.cpp
- !(code_point >= 0xD800 && code_point <= 0xDFFF);
+ !(code_point >= 0xD801 && code_point <= 0xDFFF);
# stray carriage returns kept
src/report/boot_text.cpp
- if (output[i] != '\r') {
+ if (output[i] != '\n') {
# the flexible control: an index past the end taken for a control
src/platform/dpi_layout.cpp
- if (!request.flexible || *request.flexible >= request.controls.size()) {
+ if (!request.flexible || *request.flexible > request.controls.size()) {
# the flexible control: the last control never flexible
src/platform/dpi_layout.cpp
- if (!request.flexible || *request.flexible >= request.controls.size()) {
+ if (!request.flexible || *request.flexible + 1 >= request.controls.size()) {
# a control exactly at the flexible one's bottom edge left in place
src/platform/dpi_layout.cpp
- request.controls[i].top >= flexible_bottom
+ request.controls[i].top > flexible_bottom
# a half pixel rounded down
src/platform/dpi_layout.cpp
- const std::int64_t half = DESIGN_DPI / 2;
+ const std::int64_t half = DESIGN_DPI / 2 - 1;
# a picture drawn for exactly the window's scale refused
src/platform/dpi_layout.cpp
- const bool within = static_cast<std::int64_t>(drawn_heights[i]) * DESIGN_DPI <=
+ const bool within = static_cast<std::int64_t>(drawn_heights[i]) * DESIGN_DPI <
# the smallest fitting picture chosen instead of the largest
src/platform/dpi_layout.cpp
- if (within && drawn_heights[i] > drawn_heights[chosen]) {
+ if (within && drawn_heights[i] < drawn_heights[chosen]) {
# the flexible control giving up more than it has
src/platform/dpi_layout.cpp
- std::clamp(layout.client_height - request.available_client_height, 0, std::max(flexible.height, 0));
+ std::clamp(layout.client_height - request.available_client_height, 0, std::max(flexible.height, 0) + 1);
# icon sizes: a stored 0 read as 255
src/platform/ico_directory.cpp
- int dimension(std::uint8_t stored) { return stored == 0 ? 256 : stored; }
+ int dimension(std::uint8_t stored) { return stored == 0 ? 255 : stored; }
# icon images: one that ends exactly at the end of the file refused
src/platform/ico_directory.cpp
- static_cast<std::uint64_t>(entry.offset) + entry.bytes > file.size()
+ static_cast<std::uint64_t>(entry.offset) + entry.bytes >= file.size()
# registry text: the high byte of a code unit shifted wrongly
src/report/registry_rendering.cpp
- return static_cast<wchar_t>(data[offset] | (data[offset + 1] << 8));
+ return static_cast<wchar_t>(data[offset] | (data[offset + 1] << 7));
# registry numbers: a 32-bit number read from three bytes
src/report/registry_rendering.cpp
- if (data.size() < 4) {
+ if (data.size() < 3) {
# registry numbers: a 32-bit number shown unsigned
src/report/registry_rendering.cpp
- return std::to_wstring(static_cast<std::int32_t>(static_cast<std::uint32_t>(little_endian(data, 4))));
+ return std::to_wstring(static_cast<std::uint32_t>(little_endian(data, 4)));
# registry paths: a trailing backslash kept
src/report/registry_rendering.cpp
- if (!key_path.empty() && key_path.back() == L'\\') {
+ if (!key_path.empty() && key_path.back() == L'/') {
# hexadecimal digits: the low nibble masked to three bits
src/report/hex_text.h
- text.push_back(HEX_DIGITS[byte & 0x0F]);
+ text.push_back(HEX_DIGITS[byte & 0x07]);
# byte sizes: exactly 1024 left in the smaller unit
src/report/byte_size.cpp
- while (v >= 1024) {
+ while (v > 1024) {
# byte sizes: three integer digits keeping their decimals
src/report/byte_size.cpp
- if (position >= 4) {
+ if (position >= 5) {
# uptime: an hour of each day counted twice
src/report/uptime.cpp
- const std::int64_t hours = s / 3600 - 24 * days;
+ const std::int64_t hours = s / 3600 - 23 * days;
# the Windows 11 build: its first build not counted
src/report/report_layout.cpp
- return value >= minimum;
+ return value > minimum;
# commands: a 21st part let in (it would be written past the parts' table)
src/comline/command_text.cpp
- if (part_number >= MAX_COMMAND_PARTS || !part_is_complete(*part) || equals_seen) {
+ if (part_number > MAX_COMMAND_PARTS || !part_is_complete(*part) || equals_seen) {
# commands: a backslash after "=" let through
src/comline/command_text.cpp
- if (part_number >= MAX_COMMAND_PARTS || !part_is_complete(*part) || equals_seen) {
+ if (part_number >= MAX_COMMAND_PARTS || !part_is_complete(*part)) {
# commands: two argument lists in a part
src/comline/command_text.cpp
- return part.open_count == part.close_count && part.open_count <= 1 && part.token_count >= 1;
+ return part.open_count == part.close_count && part.open_count <= 2 && part.token_count >= 1;
# commands: the delimiters' bit set folded onto half its width
src/comline/command_text.cpp
- ascii_[code / 64] |= std::uint64_t{1} << (code % 64);
+ ascii_[code / 64] |= std::uint64_t{1} << (code % 32);
# commands: ")" before "(" let through
src/comline/command_text.cpp
- if (part->open_count == 0) {
+ if (part->open_count < 0) {
# numbers: 2^63 let in as a positive number
src/comline/command_text.cpp
- const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63) - 1;
+ const std::uint64_t limit = negative ? std::uint64_t{1} << 63 : (std::uint64_t{1} << 63);
# numbers: -128 not a one-byte number
src/comline/command_text.cpp
- } else if (value >= std::numeric_limits<std::int8_t>::min() && value <= std::numeric_limits<std::int8_t>::max()) {
+ } else if (value > std::numeric_limits<std::int8_t>::min() && value <= std::numeric_limits<std::int8_t>::max()) {
# numbers: 32767 not a two-byte number
src/comline/command_text.cpp
- } else if (value >= std::numeric_limits<std::int16_t>::min() && value <= std::numeric_limits<std::int16_t>::max()) {
+ } else if (value >= std::numeric_limits<std::int16_t>::min() && value < std::numeric_limits<std::int16_t>::max()) {
# numbers: a sign with no digit read as zero
src/comline/command_text.cpp
- return has_digit;
+ return has_digit || token.size() == 1;
# numbers: a real too large, not beginning with 1, read as zero
src/comline/command_text.cpp
- if (whole.find_first_of(L"123456789") != std::wstring_view::npos) {
+ if (whole.find_first_of(L"1") != std::wstring_view::npos) {
# numbers: a negative real too small to hold loses its sign
src/comline/command_text.cpp
- value = token.front() == L'-' ? -0.0 : 0.0;
+ value = token.front() == L'+' ? -0.0 : 0.0;
# escapes: three digits taken for a whole escape
src/comline/command_text.cpp
- constexpr std::size_t escape_digits = 4;
+ constexpr std::size_t escape_digits = 3;
# escapes: the low 7 bits kept instead of 8
src/comline/command_text.cpp
- text[out++] = static_cast<wchar_t>(value & 0xFF);
+ text[out++] = static_cast<wchar_t>(value & 0x7F);
# company values: the form URL's host taken after the first "@", not the last
src/shell/company_values.cpp
- const std::size_t at = authority.rfind(L'@');
+ const std::size_t at = authority.find(L'@');
# company values: a host name of 254 characters
src/shell/company_values.cpp
- constexpr std::size_t MAX_HOST_NAME = 253;
+ constexpr std::size_t MAX_HOST_NAME = 254;
# company values: a label of 64 characters
src/shell/company_values.cpp
- constexpr std::size_t MAX_LABEL = 63;
+ constexpr std::size_t MAX_LABEL = 64;
# company values: port 65536
src/shell/company_values.cpp
- constexpr unsigned long MAX_PORT = 65535;
+ constexpr unsigned long MAX_PORT = 65536;
# company values: port 0
src/shell/company_values.cpp
- return value >= 1;
+ return value >= 0;
# company values: the zero-width space no blank
src/shell/company_values.cpp
- return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 ||
+ return c == 0x20 || c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 ||
# company values: a label ending in a hyphen
src/shell/company_values.cpp
- if (label.front() == L'-' || label.back() == L'-') {
+ if (label.front() == L'-') {
# company values: the registry type names read one past their table
src/shell/company_values.cpp
- return type < names.size() ? names[type] : L"type " + std::to_wstring(type);
+ return type <= names.size() ? names[type] : L"type " + std::to_wstring(type);
# company values: an empty policy value deciding instead of the next key
src/shell/company_values.cpp
- stored.type == REGISTRY_SZ &&
+ stored.type != REGISTRY_SZ &&
# company values: a key's helpdesk server deciding before its form URL
src/shell/company_values.cpp
- if (holds_value(key.form_url)) {
+ if (holds_value(key.form_url) && !holds_value(key.helpdesk_server)) {
# company values: an empty helpdesk server deciding instead of the installer's values
src/shell/company_values.cpp
- if (holds_value(key.helpdesk_server)) {
+ if (key.helpdesk_server.state != StoredValue::State::absent) {
# company values: the form made on the built-in server instead of the one chosen
src/shell/company_values.cpp
- server.text = helpdesk_form_url(server.text);
+ server.text = helpdesk_form_url(built_in_server);
# mail text: "z" encoded
src/shell/action_texts.cpp
- (byte >= 'a' && byte <= 'z')
+ (byte >= 'a' && byte < 'z')
# mail text: "~" encoded
src/shell/action_texts.cpp
- byte == '_' || byte == '~';
+ byte == '_';
# mail text: the some-delims but the first encoded
src/shell/action_texts.cpp
- return is_unreserved(byte) || RAW_IN_MAIL.find(byte) != std::string_view::npos; }
+ return is_unreserved(byte) || RAW_IN_MAIL.find(byte) == 0; }
# mail: a mail of exactly the longest length cut
src/shell/action_texts.cpp
- if (whole.size() <= MAX_MAIL_URL_LENGTH) {
+ if (whole.size() < MAX_MAIL_URL_LENGTH) {
# mail: the room one short of the largest that fits
src/shell/action_texts.cpp
- while (too_long - fits > 1) {
+ while (too_long - fits > 2) {
# ticket form: an empty pair of braces taken for a placeholder
src/shell/action_texts.cpp
- if (end > open + 1 && end < url.size() && url[end] == L'}') {
+ if (end >= open + 1 && end < url.size() && url[end] == L'}') {
# ticket form: a placeholder's value left unencoded
src/shell/action_texts.cpp
- : percent_encoded(field->value, is_unreserved);
+ : field->value;
# network: of two default routes the one with the higher sum taken
src/report/traffic_adapter.cpp
- if (chosen == nullptr || metric < lowest) {
+ if (chosen == nullptr || metric > lowest) {
# network: the interface's metric left out of the route's
src/report/traffic_adapter.cpp
- const std::uint64_t metric = std::uint64_t{route.metric} + adapter->ipv4_metric;
+ const std::uint64_t metric = std::uint64_t{route.metric};
# Run commands: the opening quote taken for the closing one
packaging/stop_program/run_command.cpp
- const std::size_t closing = command.find(L'"', 1);
+ const std::size_t closing = command.find(L'"', 0);
# antivirus: a snoozed scanner taken for one that is on
src/report/antivirus_facts.cpp
- constexpr std::uint32_t SCANNER_BITS = 0xF000;
+ constexpr std::uint32_t SCANNER_BITS = 0xE000;
# antivirus: out-of-date signatures taken for up to date
src/report/antivirus_facts.cpp
- constexpr std::uint32_t DEFINITIONS_BITS = 0x00F0;
+ constexpr std::uint32_t DEFINITIONS_BITS = 0x00E0;
# antivirus: a state beyond 32 bits cut to its low half
src/report/antivirus_facts.cpp
- constexpr std::int64_t LARGEST_STATE = 0xFFFFFFFF;
+ constexpr std::int64_t LARGEST_STATE = 0x1FFFFFFFF;
# network: a tie of metrics going to the later adapter
src/report/traffic_adapter.cpp
- adapter.ipv4_metric < chosen->ipv4_metric)) {
+ adapter.ipv4_metric <= chosen->ipv4_metric)) {
# a report file's folder: the first lower-case letter left as it is
src/platform/report_file_rules.cpp
- return c >= L'a' && c <= L'z' ?
+ return c > L'a' && c <= L'z' ?
# a report file's folder: the last lower-case letter left as it is
src/platform/report_file_rules.cpp
- return c >= L'a' && c <= L'z' ?
+ return c >= L'a' && c < L'z' ?
# a report file's folder: only one trailing separator taken off
src/platform/report_file_rules.cpp
- while (!text.empty() && text.back() == L'\\') {
+ if (!text.empty() && text.back() == L'\\') {
# a report file's folder: the UNC prefix made into a lone separator
src/platform/report_file_rules.cpp
- text = L"\\\\";
+ text = L"\\";
# a report file's folder: two empty paths taken for one folder
src/platform/report_file_rules.cpp
- return !folder.empty() && folder == comparable_folder(final_path);
+ return folder == comparable_folder(final_path);
# a drive's root cut to "C:"
src/platform/report_file_rules.cpp
- full_path[last - 1] == L':' ? last + 1 : last;
+ full_path[last - 1] == L':' ? last : last;
# a path ending in a separator taken for a file
src/platform/report_file_rules.cpp
- if (last == std::wstring_view::npos || last + 1 == full_path.size()) {
+ if (last == std::wstring_view::npos || last + 2 == full_path.size()) {
# an account whose SID only begins like a trusted one's trusted
src/platform/report_file_rules.cpp
- if (sid == trusted) {
+ if (sid.starts_with(trusted)) {
# a folder without an access list taken for a closed one
src/platform/report_file_rules.cpp
- if (!folder.has_access_list) {
+ if (!folder.has_access_list && false) {
# an entry for the folder's children taken as one for the folder
src/platform/report_file_rules.cpp
- if (entry.allows && !entry.inherit_only && (entry.rights & CHANGING_RIGHTS) != 0 &&
+ if (entry.allows && (entry.rights & CHANGING_RIGHTS) != 0 &&
# a denying entry taken for a granting one
src/platform/report_file_rules.cpp
- if (entry.allows && !entry.inherit_only && (entry.rights & CHANGING_RIGHTS) != 0 &&
+ if (!entry.inherit_only && (entry.rights & CHANGING_RIGHTS) != 0 &&
# the right to add folders read as another bit
src/platform/report_file_rules.cpp
- constexpr std::uint32_t ADD_SUBDIRECTORY = 0x0004;
+ constexpr std::uint32_t ADD_SUBDIRECTORY = 0x0008;
# the right to delete children overlooked
src/platform/report_file_rules.cpp
- constexpr std::uint32_t DELETE_CHILD = 0x0040;
+ constexpr std::uint32_t DELETE_CHILD = 0x0080;
# generic write read as generic execute
src/platform/report_file_rules.cpp
- constexpr std::uint32_t GENERIC_WRITE_RIGHTS = 0x40000000;
+ constexpr std::uint32_t GENERIC_WRITE_RIGHTS = 0x20000000;
# report lines: the unit separator (0x1F) left to break a line
src/report/report_layout.cpp
- return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
+ return c < 0x1F || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
# report lines: DEL kept
src/report/report_layout.cpp
- return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
+ return c < 0x20 || (c > 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
# report lines: the last C1 control kept
src/report/report_layout.cpp
- return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
+ return c < 0x20 || (c >= 0x7F && c < 0x9F) || c == 0x2028 || c == 0x2029;
# report lines: the paragraph separator kept
src/report/report_layout.cpp
- return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
+ return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x202A;
# report lines: the last line's value may break lines
src/report/report_layout.cpp
- text += one_line_text(v.av_defs_date);
+ text += v.av_defs_date;
# mail: a line break in the user's name reaching the subject
src/shell/action_texts.cpp
- const MailTexts mail{support_mailbox, one_line_text(upper_case_user), mail_lines(v, last_boot)};
+ const MailTexts mail{support_mailbox, std::wstring(upper_case_user), mail_lines(v, last_boot)};
# mail: a line break in a value starting a line of its own
src/shell/action_texts.cpp
- line.value = one_line_text(*line.value);
+ line.value = *line.value;
# logon server: a name one character too long let in
src/report/logon_server.cpp
- name.size() > LONGEST_LOGON_SERVER_NAME
+ name.size() > LONGEST_LOGON_SERVER_NAME + 1
# logon server: the longest name refused
src/report/logon_server.cpp
- name.size() > LONGEST_LOGON_SERVER_NAME
+ name.size() >= LONGEST_LOGON_SERVER_NAME
# logon server: a name starting with a dot or a hyphen let in
src/report/logon_server.cpp
- !is_letter_or_digit(name.front())
+ !is_name_character(name.front())
# logon server: "z" refused
src/report/logon_server.cpp
- (c >= L'a' && c <= L'z')
+ (c >= L'a' && c < L'z')
# logon server: "A" refused
src/report/logon_server.cpp
- (c >= L'A' && c <= L'Z')
+ (c > L'A' && c <= L'Z')
# logon server: "9" refused
src/report/logon_server.cpp
- (c >= L'0' && c <= L'9')
+ (c >= L'0' && c < L'9')
# report files: the text file without its byte-order mark's last byte
src/report/report_files.cpp
- constexpr char UTF8_BYTE_ORDER_MARK[] = "\xEF\xBB\xBF";
+ constexpr char UTF8_BYTE_ORDER_MARK[] = "\xEF\xBB";
# report files: the last high surrogate taken for no surrogate
src/report/report_files.cpp
- bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFF; }
+ bool is_high_surrogate(char32_t c) { return c >= 0xD800 && c <= 0xDBFE; }
# report files: the JSON's moment of collection cut to its day
src/report/report_files.cpp
- object["collected_at"] = std::string(collected_at);
+ object["collected_at"] = std::string(collected_at.substr(0, 10));
# report files: the collection moment's day and month swapped
src/report/report_files.cpp
- "%04d-%02d-%02dT%02d:%02d:%02dZ", year, month, day, hour, minute, second);
+ "%04d-%02d-%02dT%02d:%02d:%02dZ", year, day, month, hour, minute, second);
# command line: the switches read with their case
src/shell/command_line.cpp
- [](wchar_t a, wchar_t b) { return std::towlower(a) == std::towlower(b); });
+ [](wchar_t a, wchar_t b) { return a == b; });
# command line: a switch in the FILE's place taken for the file
src/shell/command_line.cpp
- if (arguments.size() < 2 || arguments[1].empty() || arguments[1].front() == L'/') {
+ if (arguments.size() < 2 || arguments[1].empty()) {
# command line: a third argument let through
src/shell/command_line.cpp
- if (arguments.size() > 2) {
+ if (arguments.size() > 3) {
# command line: "/?" with something after it shows the usage
src/shell/command_line.cpp
- return arguments.size() == 1 ? CommandLineRequest{RunMode::show_usage, {}, {}}
+ return arguments.size() >= 1 ? CommandLineRequest{RunMode::show_usage, {}, {}}
# CIM dates: a year divisible by 100 taken for a leap year
src/report/antivirus_facts.cpp
- bool is_leap_year(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }
+ bool is_leap_year(int year) { return year % 4 == 0 || year % 400 == 0; }
# CIM dates: the first year of the calendar refused
src/report/antivirus_facts.cpp
- constexpr int FIRST_YEAR = 1601;
+ constexpr int FIRST_YEAR = 1602;
# CIM dates: hour 24 let in
src/report/antivirus_facts.cpp
- !within(decimal_field(text.substr(8, 2)), 0, 23) ||
+ !within(decimal_field(text.substr(8, 2)), 0, 24) ||
# CIM dates: a malformed offset let through
src/report/antivirus_facts.cpp
- !decimal_field(text.substr(15, 6)) || !decimal_field(text.substr(22, 3))) {
+ !decimal_field(text.substr(15, 6))) {
# antivirus: with no product on, the last one shown instead of the first
src/report/antivirus_facts.cpp
- return products.empty() ? nullptr : &products.front();
+ return products.empty() ? nullptr : &products.back();
# antivirus: an empty signature date from the defender status taken over the product's state
src/report/antivirus_facts.cpp
- const bool dated = defender != nullptr && !defender->signatures_date.empty();
+ const bool dated = defender != nullptr;
# antivirus: a name without a version given a trailing blank
src/report/antivirus_facts.cpp
- if (!version.empty()) {
+ if (true) {
# network: a tunnel taken for the adapter of the traffic
src/report/traffic_adapter.cpp
- return adapter.up && !adapter.loopback && !adapter.tunnel && adapter.ipv4_default_gateway &&
+ return adapter.up && !adapter.loopback && adapter.ipv4_default_gateway &&
# network: an adapter without an IPv4 address taken for the adapter of the traffic
src/report/traffic_adapter.cpp
- return adapter.up && !adapter.loopback && adapter.first_ipv4.has_value();
+ return adapter.up && !adapter.loopback;
# tray: the selection that follows a click's release shows the report a second time
src/platform/tray_requests.cpp
- return previous_notification == TRAY_LEFT_BUTTON_UP ? TrayRequest{} : TrayRequest{TrayAction::show_report, false};
+ return previous_notification != TRAY_LEFT_BUTTON_UP ? TrayRequest{} : TrayRequest{TrayAction::show_report, false};
# tray: Enter or Space on the icon taken for a click, so the focus is not given back
src/platform/tray_requests.cpp
- return {TrayAction::show_report, true};
+ return {TrayAction::show_report, false};
# tray: the context menu after a right click's release opens a second menu
src/platform/tray_requests.cpp
- return previous_notification == TRAY_RIGHT_BUTTON_UP ? TrayRequest{} : TrayRequest{TrayAction::open_menu, true};
+ return TrayRequest{TrayAction::open_menu, true};
# tray: the context-menu key taken for a right click
src/platform/tray_requests.cpp
- TrayRequest{TrayAction::open_menu, true};
+ TrayRequest{TrayAction::open_menu, false};
# tray: a right click's release opens no menu (the first version sends no context menu)
src/platform/tray_requests.cpp
- return {TrayAction::open_menu, false};
+ return {};
FAULTS
}

files=()
texts=()
replacements=()
notes=()
parse_faults() {
  local line note="" file="" text="" have_text=false
  while IFS= read -r line; do
    case $line in
      '#'*) note=${line#'# '} ;;
      '- '*) text=${line#- }; have_text=true ;;
      '+ '*)
        if [[ -z $file || $have_text != true ]]; then
          echo "mutation-check: a fault without its file or text before: $line" >&2
          exit 2
        fi
        files+=("$file"); texts+=("$text"); replacements+=("${line#+ }"); notes+=("$note")
        file="" text="" note="" have_text=false
        ;;
      '') ;;
      *) file=$line ;;
    esac
  done < <(read_faults)
}

# Reads a whole file into $content, its last line end included.
load() {
  content=""
  IFS= read -r -d '' content <"$1" || true
}

# Brings the copy in step with the tree: a file that differs is written anew, so its time is
# later than any object built from a faulty version of it.
sync_copy() {
  local rel
  mkdir -p "$copy"
  while IFS= read -r rel; do
    if ! cmp -s "$root/$rel" "$copy/$rel"; then
      mkdir -p "$copy/$(dirname "$rel")"
      cp "$root/$rel" "$copy/$rel"
    fi
  done < <(cd "$root" && find CMakeLists.txt cmake src tests packaging -type f)
  while IFS= read -r rel; do
    [[ -e $root/$rel ]] || rm -f "$copy/$rel"
  done < <(cd "$copy" && find CMakeLists.txt cmake src tests packaging -type f)
}

build_and_run() {
  local log=$1
  if ! cmake --build "$build" --target pure_tests >"$log" 2>&1; then
    return 2
  fi
  # A fault that makes the tests abort is caught too; the shell's own word about it goes nowhere.
  { timeout "$RUN_SECONDS" "$build/tests/pure_tests" --gtest_brief=1 >>"$log" 2>&1; } 2>/dev/null || return 1
  return 0
}

parse_faults
mkdir -p "$work"
exec 9>"$work/lock"
flock 9  # one run at a time over the one copy

words=("$@")
chosen=()
for i in "${!files[@]}"; do
  if ((${#words[@]} == 0)); then
    chosen+=("$i")
    continue
  fi
  for word in "${words[@]}"; do
    if [[ ${files[i]} == *"$word"* ]]; then
      chosen+=("$i")
      break
    fi
  done
done

# Every fault must still match before anything is built.
stale=0
for i in "${chosen[@]}"; do
  path="$root/${files[i]}"
  if [[ ! -f $path ]]; then
    echo "mutation-check: fault $((i + 1)): no file ${files[i]}" >&2
    stale=1
    continue
  fi
  load "$path"
  rest=${content//"${texts[i]}"/}
  count=$(((${#content} - ${#rest}) / ${#texts[i]}))
  if ((count != 1)); then
    echo "mutation-check: fault $((i + 1)) (${notes[i]}): its text is found $count times in ${files[i]}, not once:" >&2
    echo "    ${texts[i]}" >&2
    stale=1
  fi
done
((stale == 0)) || exit 2

start=$SECONDS
sync_copy
# Unoptimised and without debug information, linked by lld where it is there: a fault costs one
# quick compile and link.
linker=()
if command -v ld.lld >/dev/null; then
  linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
fi
cmake -S "$copy" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE= -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  "-DCMAKE_CXX_FLAGS=-O0 -D_GLIBCXX_ASSERTIONS" "${linker[@]}" -DTOVALEN_FUZZ=OFF >/dev/null
log="$work/last.log"
if ! build_and_run "$log"; then
  cat "$log" >&2
  echo "mutation-check: the tests do not pass without any fault" >&2
  exit 2
fi

# The copy's faulty file is put back however the run ends.
current=""
original=""
restore() {
  if [[ -n $current ]]; then
    printf '%s' "$original" >"$copy/$current"
    current=""
  fi
}
trap restore EXIT
trap 'exit 130' INT TERM

survivors=()
for i in "${chosen[@]}"; do
  current=${files[i]}
  load "$copy/$current"
  original=$content
  before=${original%%"${texts[i]}"*}
  line=$(($(printf '%s' "$before" | wc -l) + 1))
  name="${files[i]}:$line: ${notes[i]}"
  printf '%s' "${original/"${texts[i]}"/"${replacements[i]}"}" >"$copy/$current"
  status=0
  build_and_run "$log" || status=$?
  restore
  case $status in
    0) survivors+=("$name"); echo "SURVIVED  $name" ;;
    1) echo "caught    $name" ;;
    *)
      tail -20 "$log" >&2
      echo "mutation-check: fault $((i + 1)) does not compile: $name" >&2
      exit 2
      ;;
  esac
done

echo "mutation check: ${#chosen[@]} faults, $((${#chosen[@]} - ${#survivors[@]})) caught, ${#survivors[@]} survived ($((SECONDS - start)) s)"
if ((${#survivors[@]} > 0)); then
  printf 'no test noticed: %s\n' "${survivors[@]}" >&2
  exit 1
fi
