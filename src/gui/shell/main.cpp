// orva: the diagnosis tool's windows.
//   orva [--dir DIR] [--screenshots OUTDIR]
#include "gui/shell/Startup.h"

int main(int argc, char** argv) {
    return orva::OrvaMain(argc, argv);
}
