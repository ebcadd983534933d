#include "tviewerprogram.h"

int main(int argc, char *argv[])
{
    return TViewerProgram::Run(argc, argv);
}
