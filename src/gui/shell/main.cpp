// orva: the diagnosis tool's windows.
//   orva [--dir DIR] [--screenshots OUTDIR]
#include "shell/Startup.h"

int main(int argc, char** argv) {
    return orva::OrvaMain(argc, argv);
}
