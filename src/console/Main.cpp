#include "ConnScan.h"

int main(int argc, char** argv)
{
    return ConnScanMain(argc, argv);
}
