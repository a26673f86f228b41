#include "app/run.h"

int main(int argc, char **argv)
{
    return quillpost::run(argc, argv);
}
