// Prints the program directory it chose and its skin folder, one per line, as an installed program
// would choose them: orva_dir_probe [--dir DIR]
#include "core/app/ProgramDirectory.h"

#include <cstdio>

int main(int argc, char** argv) {
    orva::InitProgramDirectory(argc, argv);
    std::printf("%s\n%s\n", orva::ProgramDirectory().c_str(), orva::SkinDirectory().c_str());
    return 0;
}
