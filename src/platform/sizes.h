// The sizes of the fixed buffers every module uses, each named by what it
// holds (a text of the log has its own, LOG_TEXT_SIZE, with the record).
#ifndef PLATFORM_SIZES_H
#define PLATFORM_SIZES_H

#define CAPTION_SIZE 256    // a box's caption: an application's name cut to fit, and " Uninstall"
#define KEY_NAME_SIZE 256   // a registry key's name: at most 255 characters
#define PATH_SIZE 260       // paths handed to the system
#define MESSAGE_SIZE 1024   // formatted messages and key paths

#endif
