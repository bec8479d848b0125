#include "service/Daemon.h"

int main(int argc, char* argv[]) {
    return tallix::TallixdMain(argc, argv);
}
