// The operating system's text for an error code.
#pragma once

#include <string>

std::string SystemErrorText(int code);
