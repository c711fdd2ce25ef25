#include "hub/HubProgram.h"

int main(int argc, char* argv[])
{
    return orva::hub::runHub(argc, argv);
}
