// The sizes of the fixed buffers every module uses.
#ifndef PLATFORM_SIZES_H
#define PLATFORM_SIZES_H

#define TEXT_SIZE 256       // texts and captions
#define PATH_SIZE 260       // paths handed to the system
#define MESSAGE_SIZE 1024   // formatted messages and key paths

#endif
