#include "platform/system_error.h"

#include <cstring>

std::string SystemErrorText(int code) { return std::strerror(code); }
