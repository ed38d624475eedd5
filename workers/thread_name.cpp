#include "workers/thread_name.h"

#include <pthread.h>

#include <cstring>

void nameCurrentThread(const char* name) {
    // The kernel keeps 16 bytes with the terminating zero and refuses longer names.
    char shortName[16] = {};
    std::strncpy(shortName, name, sizeof shortName - 1);
    pthread_setname_np(pthread_self(), shortName);
}
