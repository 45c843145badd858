#include "ui/Startup.h"

int main(int argc, char** argv)
{
    return kinetar::ui::RunKinetar(argc, argv);
}
