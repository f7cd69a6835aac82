// Exit code 0 when the lock of the program directory in argv[1] could be taken, 1 when it is held elsewhere.
#include "core/app/InstanceGuard.h"

int main(int argc, char** argv) {
    if (argc != 2)
        return 2;
    orva::InstanceGuard guard(argv[1]);
    return guard.acquired() ? 0 : 1;
}
