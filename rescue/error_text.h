// The text that the standard error report shows for an error message.
#pragma once

#include <exception>
#include <string>

// The message with "." appended when the code of its last byte is greater than that of ".".
std::string ErrorReportText(const std::string& message);

// The message of an error kept from a failure; empty for none.
std::string ErrorMessageOf(const std::exception_ptr& error);
