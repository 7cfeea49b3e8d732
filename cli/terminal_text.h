// Text between the command line and the user's terminal. Addresses and file names are UTF-8
// inside the program; a terminal whose locale has another code set (GBK, Big5) gives and gets
// text in that one.
#pragma once

#include <string>
#include <string_view>

namespace cli {

// An argument as the program works with it: in UTF-8.
std::string FromTerminal(const std::string& text);
// UTF-8 text as the terminal shows it.
std::string ToTerminal(std::string text);

// An address as a listing shows it: decoded for reading (DisplayedAddress), for the terminal.
std::string ShownAddress(std::string_view address);

}  // namespace cli
