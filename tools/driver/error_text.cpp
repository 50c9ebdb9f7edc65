#include "error_text.h"

namespace driver {

std::string ErrorText(DWORD error)
{
    char text[512] = "";
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                                  error, 0, text, sizeof(text), NULL);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r'))
        text[--length] = '\0';
    return "error " + std::to_string(error) + (length ? " (" + std::string(text) + ")" : "");
}

}  // namespace driver
